// The serial port contract every backend of the link provides: list the
// devices, open one, claim devices for a whole run, and on an open port set
// it up, write, read, purge, drain (the queues), wait for data and close
// (destroy the Port). Every call is required; the claim in particular has no
// default, so no platform can leave a device unreserved.
//
// Backends: the system's serial driver (on Linux the tty driver, real
// bridges found through sysfs; on Windows the bridge's virtual COM port,
// found through SetupAPI; on both, virtual pedals registered in the folder
// named by ORVELLA_PEDAL_DIR), or a test double the tests install.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Result codes of the port calls; PedalLink reports them as its own codes
// ("error code 2"), so their numbers stay as the pedal's tools have always
// shown them.
typedef uint32_t FT_STATUS;
enum {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_OTHER_ERROR = 18
};

namespace serialport {

struct Device {
    std::string description;
    std::string serial;
    std::string port;           // /dev/ttyUSB0, a pseudo-terminal, COM5; may be empty
};

// The link keeps serial numbers cut to this many characters; such a cut one
// still opens the device whose longer serial number it begins.
constexpr size_t cutSerialLength = 11;
// Whether a device answers to an open by description or by serial number
// (an empty serial number names no device).
bool matches(const Device& device, const std::string& key, bool byDescription);

// One open device. Destroying it closes it.
class Port {
public:
    explicit Port(Device device) : device_(std::move(device)) {}
    virtual ~Port() = default;
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;
    const Device& device() const { return device_; }

    // Raw 8N1 at `baud` (9600 ... 230400; others: FT_INVALID_BAUD_RATE; kept
    // for the device's next open), reads and writes bounded by the time-outs
    // in ms (0: a finite default).
    virtual FT_STATUS setup(unsigned baud, int readMs, int writeMs) = 0;
    // A time-out is FT_OK with the count moved.
    virtual FT_STATUS write(const uint8_t* data, uint32_t n, uint32_t& written) = 0;
    virtual FT_STATUS read(uint8_t* data, uint32_t n, uint32_t& got) = 0;
    virtual FT_STATUS purge(bool rx, bool tx) = 0;
    // Drain: bytes received and not read yet, bytes written and not sent yet
    // (what the driver reports: a bridge that stalls keeps them there).
    virtual FT_STATUS queues(uint32_t& rx, uint32_t& tx) = 0;
    // Blocks for at most timeoutMs or until new bytes may have arrived;
    // never returns at once when nothing can change (no spin).
    virtual void waitForData(int timeoutMs) = 0;
    // A reply timed out and may still arrive within ms: the next program to
    // open the device waits it out and drops it, so the late bytes never
    // answer its first command (a backend without lock files has no other
    // program to tell, as the port stays claimed meanwhile).
    virtual void noteLateReply(int ms) = 0;

private:
    Device device_;
};

class Backend {
public:
    virtual ~Backend() = default;
    // Every device now, in order (real ones first); nothing is opened.
    virtual std::vector<Device> list() = 0;
    // Opens the first device matching `key` that this program may have,
    // reserving it against other programs while open. On failure `problem`
    // says why in words when the status does not ("the pedal is in use by
    // another program (pid 4242)", a permission the user lacks); a device
    // held by another program is refused with "in use by another program".
    virtual FT_STATUS open(const std::string& key, bool byDescription, std::unique_ptr<Port>& port,
                           std::string& problem) = 0;
    // The claim: while kept (counted: each true needs a false), every device
    // this program opens stays reserved for it, closed ports included, until
    // the last claim ends, so a run of transactions is never interleaved with
    // another program's. Within one program the devices are shared.
    virtual void claim(bool keep) = 0;
};

// Installs a backend (not owned); nullptr restores the serial-driver backend.
void setBackend(Backend* backend);
Backend& backend();

// Installs a backend for the life of a scope.
class ScopedBackend {
public:
    explicit ScopedBackend(Backend& b) { setBackend(&b); }
    ~ScopedBackend() { setBackend(nullptr); }
    ScopedBackend(const ScopedBackend&) = delete;
    ScopedBackend& operator=(const ScopedBackend&) = delete;
};

}  // namespace serialport
