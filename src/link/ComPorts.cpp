#include "link/ComPorts.h"

#include <cctype>

namespace comports {

static std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string portName(const std::string& text) {
    std::string name = upper(text);
    if (name.compare(0, 4, "\\\\.\\") == 0) name.erase(0, 4);
    if (name.size() < 4 || name.size() > 6 || name.compare(0, 3, "COM") != 0 || name[3] == '0') return std::string();
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return std::string();
    }
    return name;
}

std::string devicePath(const std::string& port) { return "\\\\.\\" + port; }

std::string serialFromInstanceId(const std::string& id) {
    size_t first = id.find('\\');
    if (first == std::string::npos) return std::string();
    std::string bus = upper(id.substr(0, first));
    if (bus == "FTDIBUS") {
        size_t end = id.find('\\', first + 1);
        std::string hardware = id.substr(first + 1, end == std::string::npos ? std::string::npos : end - first - 1);
        size_t plus = hardware.rfind('+');
        if (plus == std::string::npos) return std::string();
        std::string serial = hardware.substr(plus + 1);
        if (serial.size() < 2) return std::string();
        serial.pop_back();  // the port letter ('A' for a one-port bridge)
        return serial;
    }
    if (bus == "USB") {
        size_t second = id.find('\\', first + 1);
        if (second == std::string::npos) return std::string();
        std::string serial = id.substr(second + 1);
        // Windows makes up an instance id with '&' when the device has no serial number.
        return serial.find('&') == std::string::npos ? serial : std::string();
    }
    return std::string();
}

std::vector<Device> merge(const std::vector<Device>& real, const std::vector<pedalregistry::Entry>& registered,
                          bool virtualOnly) {
    std::vector<Device> all;
    if (!virtualOnly) all = real;
    for (const pedalregistry::Entry& entry : registered) {
        std::string port = portName(entry.tty);
        if (port.empty() || !pedalregistry::alive(entry)) continue;
        Device device;
        device.description = entry.description;
        device.serial = entry.serial;
        device.port = port;
        all.push_back(device);
    }
    return all;
}

}  // namespace comports
