#include "link/WinSerialBackend.h"

// <initguid.h> first, so the device property keys are defined here.
#include <initguid.h>
#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>
#include <devpkey.h>
#include <devguid.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/platform.h"
#include "link/PedalRegistry.h"

namespace serialport {

namespace {

constexpr DWORD defaultTimeoutMs = 5000;    // the library's 0 means "forever"; kept finite here
constexpr DWORD queueSize = 4096;

// A registry or property string as UTF-8.
std::string wideText(const wchar_t* text, size_t bytes) {
    std::wstring value(text, bytes / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return platform::narrow(value);
}

bool configure(HANDLE h, DWORD baud) {
    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) return false;
    // Raw 8N1, no flow control of any kind, modem lines left as they are.
    dcb.BaudRate = baud;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    return SetCommState(h, &dcb) != 0;
}

// ReadFile returns when n bytes came or totalMs passed; with both "interval"
// fields at MAXDWORD it returns as soon as one byte is there.
bool setReadTimeout(HANDLE h, DWORD totalMs, bool firstByte) {
    COMMTIMEOUTS t;
    if (!GetCommTimeouts(h, &t)) return false;     // the write fields stay as set
    t.ReadIntervalTimeout = firstByte ? MAXDWORD : 0;
    t.ReadTotalTimeoutMultiplier = firstByte ? MAXDWORD : 0;
    t.ReadTotalTimeoutConstant = std::max<DWORD>(totalMs, 1);
    return SetCommTimeouts(h, &t) != 0;
}

bool setWriteTimeout(HANDLE h, DWORD totalMs) {
    COMMTIMEOUTS t;
    if (!GetCommTimeouts(h, &t)) return false;
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = totalMs;
    return SetCommTimeouts(h, &t) != 0;
}

bool queued(HANDLE h, DWORD* in, DWORD* out) {
    DWORD errors = 0;
    COMSTAT status;
    if (!ClearCommError(h, &errors, &status)) return false;
    if (in) *in = status.cbInQue;
    if (out) *out = status.cbOutQue;
    return true;
}

}  // namespace

std::vector<comports::Device> comPortsDescribed(const std::string& description) {
    std::vector<comports::Device> found;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return found;
    SP_DEVINFO_DATA info;
    info.cbSize = sizeof info;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &info); ++i) {
        // The description the USB device itself reports, not the driver's name for it.
        DEVPROPTYPE type = 0;
        wchar_t text[256];
        DWORD size = 0;
        if (!SetupDiGetDevicePropertyW(set, &info, &DEVPKEY_Device_BusReportedDeviceDesc, &type,
                                       reinterpret_cast<BYTE*>(text), sizeof text - sizeof(wchar_t), &size, 0) ||
            type != DEVPROP_TYPE_STRING)
            continue;
        if (wideText(text, size) != description) continue;
        HKEY key = SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        wchar_t name[32];
        DWORD nameSize = sizeof name - sizeof(wchar_t), valueType = 0;
        LONG got = RegQueryValueExW(key, L"PortName", nullptr, &valueType, reinterpret_cast<BYTE*>(name), &nameSize);
        RegCloseKey(key);
        if (got != ERROR_SUCCESS || valueType != REG_SZ) continue;
        std::string port = comports::portName(wideText(name, nameSize));
        wchar_t instance[512];
        if (port.empty() || !SetupDiGetDeviceInstanceIdW(set, &info, instance, 511, nullptr)) continue;
        comports::Device device;
        device.description = description;
        device.serial = comports::serialFromInstanceId(platform::narrow(instance));
        device.port = port;
        found.push_back(device);
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

std::vector<Device> WinSerialBackend::list() {
    const char* only = std::getenv("ORVELLA_VIRTUAL_ONLY");
    bool virtualOnly = only && *only && std::strcmp(only, "0") != 0;
    std::vector<comports::Device> real;
    if (!virtualOnly) real = comPortsDescribed("Kestrova Drevani");
    return comports::merge(real, pedalregistry::list(pedalregistry::folder()), virtualOnly);
}

// One open COM port.
class WinSerialBackend::ComPort : public Port {
public:
    ComPort(WinSerialBackend& owner, const Device& device, Held held)
        : Port(device), owner_(owner), h_(held.port), mutex_(held.owner) {}
    ~ComPort() override { owner_.closed(device().port, {h_, mutex_}); }

    FT_STATUS setup(unsigned baud, int readMs, int writeMs) override {
        switch (baud) {
        case 9600: case 19200: case 38400: case 57600: case 115200: case 230400: break;
        default: return FT_INVALID_BAUD_RATE;
        }
        SetupComm(h_, queueSize, queueSize);
        readMs_ = static_cast<DWORD>(std::max(readMs, 0));
        if (!configure(h_, baud) || !setWriteTimeout(h_, writeMs > 0 ? static_cast<DWORD>(writeMs) : defaultTimeoutMs))
            return FT_IO_ERROR;
        owner_.baud_[device().port] = baud;
        return FT_OK;
    }

    FT_STATUS purge(bool rx, bool tx) override {
        DWORD flags = 0;
        if (rx) {
            flags |= PURGE_RXCLEAR | PURGE_RXABORT;
            early_.clear();
        }
        if (tx) flags |= PURGE_TXCLEAR | PURGE_TXABORT;
        if (!flags) return FT_OK;
        return PurgeComm(h_, flags) ? FT_OK : FT_IO_ERROR;
    }

    FT_STATUS write(const uint8_t* data, uint32_t n, uint32_t& written) override {
        written = 0;
        // Whatever arrived before a command cannot be its reply.
        early_.clear();
        PurgeComm(h_, PURGE_RXCLEAR);
        DWORD done = 0;
        // A write time-out is FT_OK with the count moved.
        BOOL ok = WriteFile(h_, data, n, &done, nullptr);
        written = done;
        return ok ? FT_OK : FT_IO_ERROR;
    }

    FT_STATUS read(uint8_t* data, uint32_t n, uint32_t& got) override {
        got = std::min<uint32_t>(n, static_cast<uint32_t>(early_.size()));
        std::copy(early_.begin(), early_.begin() + got, data);
        early_.erase(early_.begin(), early_.begin() + got);
        if (got < n) {
            DWORD more = 0;
            bool ok = setReadTimeout(h_, readMs_ ? readMs_ : defaultTimeoutMs, false) &&
                      ReadFile(h_, data + got, n - got, &more, nullptr);
            got += more;
            if (!ok) return FT_IO_ERROR;
        }
        return FT_OK;   // a read time-out is FT_OK with the count read
    }

    FT_STATUS queues(uint32_t& rx, uint32_t& tx) override {
        DWORD in = 0, out = 0;
        if (!queued(h_, &in, &out)) return FT_IO_ERROR;
        rx = in + static_cast<uint32_t>(early_.size());
        tx = out;
        return FT_OK;
    }

    void waitForData(int timeoutMs) override {
        DWORD in = 0;
        if (!queued(h_, &in, nullptr)) {
            Sleep(static_cast<DWORD>(std::max(timeoutMs, 0)));     // the device is gone: nothing will come
            return;
        }
        if (in > 0 || !early_.empty()) {
            // Bytes are there; a short nap lets the rest of a reply come in.
            Sleep(1);
            return;
        }
        // Comm events do not work on every driver; a read that returns with the
        // first byte does. What it takes is kept for the next read.
        uint8_t buffer[64];
        DWORD got = 0;
        if (setReadTimeout(h_, static_cast<DWORD>(std::max(timeoutMs, 1)), true) &&
            ReadFile(h_, buffer, sizeof buffer, &got, nullptr))
            early_.insert(early_.end(), buffer, buffer + got);
        else
            Sleep(static_cast<DWORD>(std::max(timeoutMs, 0)));
    }

    // No lock file to note it in: the next program of ours opens the port
    // only once this one let it go, and drops what came meanwhile at its open.
    void noteLateReply(int) override {}

private:
    WinSerialBackend& owner_;
    HANDLE h_;
    HANDLE mutex_;
    DWORD readMs_ = 0;
    std::vector<uint8_t> early_;    // bytes taken off the port while waiting for data
};

FT_STATUS WinSerialBackend::open(const std::string& key, bool byDescription, std::unique_ptr<Port>& port,
                                 std::string& problem) {
    port.reset();
    problem.clear();
    FT_STATUS result = FT_DEVICE_NOT_FOUND;
    for (const Device& dev : list()) {
        if (!matches(dev, key, byDescription)) continue;
        result = FT_DEVICE_NOT_OPENED;
        if (open_.count(dev.port)) continue;    // one port per device
        const std::string inUse = "the pedal is in use by another program (" + dev.port + ")";
        Held held{INVALID_HANDLE_VALUE, nullptr};
        auto parked = parked_.find(dev.port);
        if (parked != parked_.end()) {      // held for this program's run: already set up
            held = parked->second;
            parked_.erase(parked);
        } else {
            // The claim. The port's mutex first: owned by another program,
            // the port is its; abandoned (its owner died), it is taken over.
            held.owner = CreateMutexW(nullptr, FALSE, platform::widen("Local\\orvella-" + dev.port).c_str());
            if (!held.owner) continue;
            DWORD waited = WaitForSingleObject(held.owner, 0);
            if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
                CloseHandle(held.owner);
                problem = inUse;
                continue;
            }
            // No sharing: another program holding the port makes this fail,
            // and the next device is tried.
            held.port = CreateFileW(platform::widen(comports::devicePath(dev.port)).c_str(),
                                    GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (held.port == INVALID_HANDLE_VALUE) {
                DWORD why = GetLastError();
                if (why == ERROR_ACCESS_DENIED || why == ERROR_SHARING_VIOLATION) problem = inUse;
                ReleaseMutex(held.owner);
                CloseHandle(held.owner);
                continue;
            }
            auto kept = baud_.find(dev.port);
            SetupComm(held.port, queueSize, queueSize);     // a hint; drivers may keep their own sizes
            if (!configure(held.port, kept == baud_.end() ? CBR_9600 : kept->second) ||
                !setReadTimeout(held.port, defaultTimeoutMs, false) || !setWriteTimeout(held.port, defaultTimeoutMs)) {
                letGo(held);
                continue;
            }
        }
        // A closed port receives nothing; drop whatever a late reply left meanwhile.
        PurgeComm(held.port, PURGE_RXCLEAR | PURGE_RXABORT);
        open_.insert(dev.port);
        port.reset(new ComPort(*this, dev, held));
        problem.clear();
        return FT_OK;
    }
    return result;
}

void WinSerialBackend::letGo(Held held) {
    CloseHandle(held.port);
    ReleaseMutex(held.owner);
    CloseHandle(held.owner);
}

void WinSerialBackend::closed(const std::string& name, Held held) {
    open_.erase(name);
    if (kept_ > 0)
        parked_[name] = held;   // still this program's until its claim ends
    else
        letGo(held);
}

void WinSerialBackend::claim(bool keep) {
    if (keep) {
        ++kept_;
        return;
    }
    if (kept_ > 0) --kept_;
    if (kept_ > 0) return;
    for (const auto& parked : parked_) letGo(parked.second);
    parked_.clear();
}

WinSerialBackend::~WinSerialBackend() {
    kept_ = 0;
    claim(false);
}

}  // namespace serialport
