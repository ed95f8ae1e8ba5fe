#include "link/win_serial_backend.h"

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

namespace ftdi {

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

struct WinSerialBackend::Port {
    HANDLE h = INVALID_HANDLE_VALUE;
    std::string name;
    bool txStalled = false;
    DWORD held = 0;                 // bytes a stalled bridge keeps in its transmit queue
    DWORD readTimeoutMs = 0;
    DWORD writeTimeoutMs = 0;
    std::vector<uint8_t> early;     // bytes taken off the port while waiting for data
};

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

std::vector<comports::Device> WinSerialBackend::allDevices() {
    const char* only = std::getenv("ORVELLA_VIRTUAL_ONLY");
    bool virtualOnly = only && *only && std::strcmp(only, "0") != 0;
    std::vector<comports::Device> real;
    if (!virtualOnly) real = comPortsDescribed("Kestrova Drevani");
    return comports::merge(real, pedalregistry::list(pedalregistry::folder()), virtualOnly);
}

WinSerialBackend::Port* WinSerialBackend::port(FT_HANDLE handle) const {
    for (Port* p : open_) {
        if (p == handle) return p;
    }
    return nullptr;
}

WinSerialBackend::Port* WinSerialBackend::portOn(const std::string& name) const {
    for (Port* p : open_) {
        if (p->name == name) return p;
    }
    return nullptr;
}

FT_STATUS WinSerialBackend::openEx(const char* arg, DWORD flags, FT_HANDLE* handle) {
    if (!handle || !arg) return FT_INVALID_PARAMETER;
    *handle = nullptr;
    problem_.clear();
    if (flags != FT_OPEN_BY_SERIAL_NUMBER && flags != FT_OPEN_BY_DESCRIPTION) return FT_INVALID_PARAMETER;
    if (!*arg) return FT_DEVICE_NOT_FOUND;
    FT_STATUS result = FT_DEVICE_NOT_FOUND;
    for (const comports::Device& dev : allDevices()) {
        if (!comports::matches(dev, arg, flags)) continue;
        result = FT_DEVICE_NOT_OPENED;
        if (portOn(dev.port)) continue;     // one handle per device
        HANDLE h = INVALID_HANDLE_VALUE;
        auto parked = parked_.find(dev.port);
        if (parked != parked_.end()) {      // held for this program's run: already set up
            h = parked->second;
            parked_.erase(parked);
        } else {
            // No sharing: the claim. Another program holding the port makes
            // this fail, and the next device is tried.
            h = CreateFileW(platform::widen(comports::devicePath(dev.port)).c_str(), GENERIC_READ | GENERIC_WRITE,
                            0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (h == INVALID_HANDLE_VALUE) {
                DWORD why = GetLastError();
                if (why == ERROR_ACCESS_DENIED || why == ERROR_SHARING_VIOLATION)
                    problem_ = "the pedal is in use by another program (" + dev.port + ")";
                continue;
            }
            auto kept = baud_.find(dev.port);
            SetupComm(h, queueSize, queueSize);     // a hint; drivers may keep their own sizes
            if (!configure(h, kept == baud_.end() ? CBR_9600 : kept->second) ||
                !setReadTimeout(h, defaultTimeoutMs, false) || !setWriteTimeout(h, defaultTimeoutMs)) {
                CloseHandle(h);
                continue;
            }
        }
        // A closed port receives nothing; drop whatever a late reply left meanwhile.
        PurgeComm(h, PURGE_RXCLEAR | PURGE_RXABORT);
        Port* p = new Port;
        p->h = h;
        p->name = dev.port;
        p->txStalled = dev.txStalled;
        open_.push_back(p);
        *handle = p;
        problem_.clear();
        return FT_OK;
    }
    return result;
}

FT_STATUS WinSerialBackend::createDeviceInfoList(DWORD* count) {
    listed_ = allDevices();
    if (count) *count = static_cast<DWORD>(listed_.size());
    return FT_OK;
}

FT_STATUS WinSerialBackend::getDeviceInfoDetail(DWORD index, std::string& serial, std::string& description,
                                                FT_HANDLE* handle) {
    if (index >= listed_.size()) return FT_DEVICE_NOT_FOUND;
    serial = listed_[index].serial;
    description = listed_[index].description;
    if (handle) *handle = portOn(listed_[index].port);
    return FT_OK;
}

std::string WinSerialBackend::portName(DWORD index) const {
    return index < listed_.size() ? listed_[index].port : std::string();
}

FT_STATUS WinSerialBackend::setUSBParameters(FT_HANDLE handle, DWORD in, DWORD out) {
    Port* p = port(handle);
    if (!p) return FT_INVALID_HANDLE;
    SetupComm(p->h, std::max<DWORD>(in, queueSize), std::max<DWORD>(out, queueSize));
    return FT_OK;
}

FT_STATUS WinSerialBackend::setTimeouts(FT_HANDLE handle, DWORD readMs, DWORD writeMs) {
    Port* p = port(handle);
    if (!p) return FT_INVALID_HANDLE;
    p->readTimeoutMs = readMs;
    p->writeTimeoutMs = writeMs;
    return setWriteTimeout(p->h, writeMs ? writeMs : defaultTimeoutMs) ? FT_OK : FT_IO_ERROR;
}

FT_STATUS WinSerialBackend::setBaudRate(FT_HANDLE handle, DWORD baud) {
    Port* p = port(handle);
    if (!p) return FT_INVALID_HANDLE;
    switch (baud) {
    case 9600: case 19200: case 38400: case 57600: case 115200: case 230400: break;
    default: return FT_INVALID_BAUD_RATE;
    }
    if (!configure(p->h, baud)) return FT_IO_ERROR;
    baud_[p->name] = baud;
    return FT_OK;
}

FT_STATUS WinSerialBackend::purge(FT_HANDLE handle, DWORD mask) {
    Port* p = port(handle);
    if (!p) return FT_INVALID_HANDLE;
    DWORD flags = 0;
    if (mask & FT_PURGE_RX) {
        flags |= PURGE_RXCLEAR | PURGE_RXABORT;
        p->early.clear();
    }
    if (mask & FT_PURGE_TX) {
        flags |= PURGE_TXCLEAR | PURGE_TXABORT;
        p->held = 0;
    }
    if (!flags) return FT_OK;
    return PurgeComm(p->h, flags) ? FT_OK : FT_IO_ERROR;
}

FT_STATUS WinSerialBackend::write(FT_HANDLE handle, const uint8_t* data, DWORD n, DWORD* written) {
    Port* p = port(handle);
    if (written) *written = 0;
    if (!p) return FT_INVALID_HANDLE;
    if (p->txStalled) {     // accepted into the queue, never sent
        p->held += n;
        if (written) *written = n;
        return FT_OK;
    }
    DWORD done = 0;
    // A write time-out is FT_OK with the count moved, as with the library.
    if (!WriteFile(p->h, data, n, &done, nullptr)) {
        if (written) *written = done;
        return FT_IO_ERROR;
    }
    if (written) *written = done;
    return FT_OK;
}

FT_STATUS WinSerialBackend::read(FT_HANDLE handle, uint8_t* data, DWORD n, DWORD* got) {
    Port* p = port(handle);
    if (got) *got = 0;
    if (!p) return FT_INVALID_HANDLE;
    DWORD done = std::min<DWORD>(n, static_cast<DWORD>(p->early.size()));
    std::copy(p->early.begin(), p->early.begin() + done, data);
    p->early.erase(p->early.begin(), p->early.begin() + done);
    if (done < n) {
        DWORD more = 0;
        bool ok = setReadTimeout(p->h, p->readTimeoutMs ? p->readTimeoutMs : defaultTimeoutMs, false) &&
                  ReadFile(p->h, data + done, n - done, &more, nullptr);
        done += more;
        if (!ok) {
            if (got) *got = done;
            return FT_IO_ERROR;
        }
    }
    if (got) *got = done;   // a read time-out is FT_OK with the count read
    return FT_OK;
}

FT_STATUS WinSerialBackend::queueStatus(FT_HANDLE handle, DWORD* rx) {
    Port* p = port(handle);
    if (!p) return FT_INVALID_HANDLE;
    DWORD in = 0;
    if (!queued(p->h, &in, nullptr)) return FT_IO_ERROR;
    if (rx) *rx = in + static_cast<DWORD>(p->early.size());
    return FT_OK;
}

FT_STATUS WinSerialBackend::getStatus(FT_HANDLE handle, DWORD* rx, DWORD* tx, DWORD* events) {
    Port* p = port(handle);
    if (!p) return FT_INVALID_HANDLE;
    DWORD in = 0, out = 0;
    if (!queued(p->h, &in, &out)) return FT_IO_ERROR;
    if (rx) *rx = in + static_cast<DWORD>(p->early.size());
    if (tx) *tx = out + p->held;
    if (events) *events = 0;
    return FT_OK;
}

FT_STATUS WinSerialBackend::close(FT_HANDLE handle) {
    Port* p = port(handle);
    if (!p) return FT_INVALID_HANDLE;
    open_.erase(std::find(open_.begin(), open_.end(), p));
    if (kept_ > 0)
        parked_[p->name] = p->h;    // still this program's until its claim ends
    else
        CloseHandle(p->h);
    delete p;
    return FT_OK;
}

void WinSerialBackend::claim(bool keep) {
    if (keep) {
        ++kept_;
        return;
    }
    if (kept_ > 0) --kept_;
    if (kept_ > 0) return;
    for (const auto& parked : parked_) CloseHandle(parked.second);
    parked_.clear();
}

void WinSerialBackend::waitForData(FT_HANDLE handle, int timeoutMs) {
    Port* p = port(handle);
    DWORD in = 0;
    if (!p || !queued(p->h, &in, nullptr)) {
        Sleep(static_cast<DWORD>(std::max(timeoutMs, 0)));     // the device is gone: nothing will come
        return;
    }
    if (in > 0 || !p->early.empty()) {
        // Bytes are there; a short nap lets the rest of a reply come in.
        Sleep(1);
        return;
    }
    // Comm events do not work on every driver; a read that returns with the
    // first byte does. What it takes is kept for the next read.
    uint8_t buffer[64];
    DWORD got = 0;
    if (setReadTimeout(p->h, static_cast<DWORD>(std::max(timeoutMs, 1)), true) &&
        ReadFile(p->h, buffer, sizeof buffer, &got, nullptr))
        p->early.insert(p->early.end(), buffer, buffer + got);
    else
        Sleep(static_cast<DWORD>(std::max(timeoutMs, 0)));
}

}  // namespace ftdi
