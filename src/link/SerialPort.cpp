#include "link/SerialPort.h"

#ifdef _WIN32
#include "link/WinSerialBackend.h"
#else
#include "link/TtyBackend.h"
#endif

namespace serialport {

bool matches(const Device& device, const std::string& key, bool byDescription) {
    if (key.empty()) return false;
    if (byDescription) return device.description == key;
    if (device.serial == key) return true;
    return key.size() == cutSerialLength && device.serial.size() > key.size() &&
           device.serial.compare(0, key.size(), key) == 0;
}

static Backend* installed = nullptr;

void setBackend(Backend* b) { installed = b; }

Backend& backend() {
#ifdef _WIN32
    static WinSerialBackend serialDriver;
#else
    static TtyBackend serialDriver;
#endif
    return installed ? *installed : serialDriver;
}

}  // namespace serialport
