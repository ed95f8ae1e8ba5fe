// The D2XX calls served by the kernel's serial driver: FTDI bridges found
// through sysfs (/dev/ttyUSBn) first, then the virtual pedals registered in
// ORVELLA_PEDAL_DIR (pseudo-terminals), all driven through the same tty code.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "link/ftdi.h"

namespace ftdi {

struct TtyDevice {
    std::string description;
    std::string serial;
    std::string path;           // /dev/ttyUSB0 or a pseudo-terminal
    bool txStalled = false;     // virtual pedal whose bridge never drains
};

// The FTDI serial devices the kernel driver knows, ordered by tty number:
// entries ttyUSBn of the usb-serial bus bound to ftdi_sio, each with the
// product and serial strings of its USB device (two folders up).
std::vector<TtyDevice> realDevices(const std::string& busFolder = "/sys/bus/usb-serial/devices");
// Real devices first, then the registered virtual pedals. With the
// environment variable ORVELLA_VIRTUAL_ONLY set (and not "0") real devices
// are left out, so tests never reach a pedal that happens to be plugged in.
std::vector<TtyDevice> allDevices(const std::string& busFolder = "/sys/bus/usb-serial/devices");

class TtyBackend : public Backend {
public:
    ~TtyBackend() override;     // lets every device go
    FT_STATUS openEx(const char* arg, DWORD flags, FT_HANDLE* handle) override;
    FT_STATUS createDeviceInfoList(DWORD* count) override;
    FT_STATUS getDeviceInfoDetail(DWORD index, std::string& serial, std::string& description,
                                  FT_HANDLE* handle) override;
    FT_STATUS setUSBParameters(FT_HANDLE handle, DWORD in, DWORD out) override;
    FT_STATUS setTimeouts(FT_HANDLE handle, DWORD readMs, DWORD writeMs) override;
    FT_STATUS setBaudRate(FT_HANDLE handle, DWORD baud) override;
    FT_STATUS purge(FT_HANDLE handle, DWORD mask) override;
    FT_STATUS write(FT_HANDLE handle, const uint8_t* data, DWORD n, DWORD* written) override;
    FT_STATUS read(FT_HANDLE handle, uint8_t* data, DWORD n, DWORD* got) override;
    FT_STATUS queueStatus(FT_HANDLE handle, DWORD* rx) override;
    FT_STATUS getStatus(FT_HANDLE handle, DWORD* rx, DWORD* tx, DWORD* events) override;
    FT_STATUS close(FT_HANDLE handle) override;
    void waitForData(FT_HANDLE handle, int timeoutMs) override;
    std::string portName(DWORD index) const override;

    // Opening by serial number also accepts the first cutSerialLength
    // characters of a longer serial number, the form the link's slots keep.
    static constexpr size_t cutSerialLength = 11;

    void claim(bool keep) override;
    std::string openProblem() const override { return problem_; }
    // Kept in the lock file as "late MS" (wall-clock milliseconds) after the
    // owner's pid.
    void noteLateReply(FT_HANDLE handle, int ms) override;

    // The lock file that reserves a device (a tty path) for one program:
    // "orvella-<name>.lock" in ORVELLA_LOCK_DIR when set, else /run/lock
    // when writable, else the temporary folder. It holds the owner's pid,
    // mode 0644, and goes when the device is let go. One left behind by a
    // program that is gone is taken over; its late-reply note is trusted
    // only when the file is this user's.
    static std::string lockFileFor(const std::string& devicePath);

private:
    struct Port;
    static bool matches(const TtyDevice& dev, const char* arg, DWORD flags);
    // Takes this program's lock on a device (kept when it has it already);
    // false, with problem_ set, when another program holds it.
    bool lock(const std::string& path);
    // Lets the device go (its held terminal, its lock) unless claims are
    // kept or the device is open.
    void unlock(const std::string& path);
    void releaseLock(const std::string& path);     // whatever the claims
    std::string problem_;                   // why the last openEx failed, for the user
    std::map<std::string, int> locks_;      // device path -> the lock file held (flock)
    // Device path -> the terminal, still open and exclusive, of a handle
    // closed while claims are kept: the run holds the device, not only its lock.
    std::map<std::string, int> parked_;
    // Device path -> wall-clock ms until which a reply another program
    // (or this one, earlier) left unanswered may still arrive.
    std::map<std::string, int64_t> lateUntil_;
    void awaitLateBytes(int fd, int64_t untilMs);
    // The lock file's note: the pid, and "late MS" when lateUntil is not 0.
    void writeLockNote(const std::string& path, int64_t lateUntil);
    // How long a reply sent to a program that then died may still come.
    static constexpr int InFlightMs = 4000;
    int kept_ = 0;                          // claim(true) not yet undone
    Port* port(FT_HANDLE handle) const;
    Port* portOn(const std::string& path) const;   // the open port of a device, if any
    std::vector<TtyDevice> listed_;     // the list of the last FT_CreateDeviceInfoList
    std::vector<Port*> open_;
    // The rate last set per device: like the bridge chip, a device keeps it
    // from one handle to the next (9600 until set).
    std::map<std::string, unsigned> baud_;
};

}  // namespace ftdi
