// The serial port contract served by the kernel's serial driver: FTDI
// bridges found through sysfs (/dev/ttyUSBn) first, then the virtual pedals
// registered in ORVELLA_PEDAL_DIR (pseudo-terminals), all driven through the
// same tty code.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "link/SerialPort.h"

namespace serialport {

// The FTDI serial devices the kernel driver knows, ordered by tty number:
// entries ttyUSBn of the usb-serial bus bound to ftdi_sio, each with the
// product and serial strings of its USB device (two folders up).
std::vector<Device> realDevices(const std::string& busFolder = "/sys/bus/usb-serial/devices");
// Real devices first, then the registered virtual pedals. With the
// environment variable ORVELLA_VIRTUAL_ONLY set (and not "0") real devices
// are left out, so tests never reach a pedal that happens to be plugged in.
std::vector<Device> allDevices(const std::string& busFolder = "/sys/bus/usb-serial/devices");

// The claim on Linux: the tty opened exclusively (TIOCEXCL) and an flock on
// its lock file, both kept for the run while claims are kept.
class TtyBackend : public Backend {
public:
    ~TtyBackend() override;     // lets every device go (its ports are closed before)
    std::vector<Device> list() override { return allDevices(); }
    FT_STATUS open(const std::string& key, bool byDescription, std::unique_ptr<Port>& port,
                   std::string& problem) override;
    void claim(bool keep) override;

    // The lock file that reserves a device (a tty path) for one program:
    // "orvella-<name>.lock" in ORVELLA_LOCK_DIR when set, else /run/lock
    // when writable, else the temporary folder. It holds the owner's pid
    // (and "late MS", wall-clock milliseconds, while a reply may still come),
    // mode 0644, and goes when the device is let go (unless it still tells
    // the next program of a late reply). One left behind by a
    // program that is gone is taken over; its late-reply note is trusted
    // only when the file is this user's.
    static std::string lockFileFor(const std::string& devicePath);

private:
    class TtyPort;
    // Takes this program's lock on a device (kept when it has it already);
    // false, with `problem` set, when another program holds it.
    bool lock(const std::string& path, std::string& problem);
    // Lets the device go (its held terminal, its lock) unless claims are
    // kept or the device is open.
    void unlock(const std::string& path);
    void releaseLock(const std::string& path);     // whatever the claims
    void closed(const std::string& path, int fd);  // a port's end
    void awaitLateBytes(int fd, int64_t untilMs);
    // The lock file's note: the pid, and "late MS" when lateUntil is not 0.
    void writeLockNote(const std::string& path, int64_t lateUntil);
    // How long a reply sent to a program that then died may still come.
    static constexpr int InFlightMs = 4000;

    std::map<std::string, int> locks_;      // device path -> the lock file held (flock)
    // Device path -> the terminal, still open and exclusive, of a port
    // closed while claims are kept: the run holds the device, not only its lock.
    std::map<std::string, int> parked_;
    std::set<std::string> open_;            // devices with an open port (one each)
    // Device path -> wall-clock ms until which a reply another program
    // (or this one, earlier) left unanswered may still arrive.
    std::map<std::string, int64_t> lateUntil_;
    int kept_ = 0;                          // claim(true) not yet undone
    // The rate last set per device: like the bridge chip, a device keeps it
    // from one port to the next (9600 until set).
    std::map<std::string, unsigned> baud_;
};

}  // namespace serialport
