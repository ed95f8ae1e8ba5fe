#include "link/ftdi.h"

#include <cstring>

#ifdef _WIN32
#include "link/win_serial_backend.h"
#else
#include "link/TtyBackend.h"
#endif

namespace ftdi {

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

void waitForData(FT_HANDLE handle, int timeoutMs) { backend().waitForData(handle, timeoutMs); }

}  // namespace ftdi

using ftdi::backend;

FT_STATUS FT_OpenEx(void* pArg1, DWORD flags, FT_HANDLE* pHandle) {
    return backend().openEx(static_cast<const char*>(pArg1), flags, pHandle);
}

FT_STATUS FT_CreateDeviceInfoList(DWORD* numDevs) { return backend().createDeviceInfoList(numDevs); }

FT_STATUS FT_GetDeviceInfoDetail(DWORD index, DWORD* flags, DWORD* type, DWORD* id, DWORD* locId,
                                 void* serialNumber, void* description, FT_HANDLE* pHandle) {
    std::string serial, text;
    FT_STATUS st = backend().getDeviceInfoDetail(index, serial, text, pHandle);
    if (flags) *flags = 0;
    if (type) *type = 0;
    if (id) *id = 0;
    if (locId) *locId = 0;
    if (st != FT_OK) return st;
    // The library's fixed buffers: 16 bytes of serial number, 64 of description.
    if (serialNumber) {
        std::strncpy(static_cast<char*>(serialNumber), serial.c_str(), ftdi::serialBufferSize - 1);
        static_cast<char*>(serialNumber)[ftdi::serialBufferSize - 1] = 0;
    }
    if (description) {
        std::strncpy(static_cast<char*>(description), text.c_str(), 63);
        static_cast<char*>(description)[63] = 0;
    }
    return FT_OK;
}

FT_STATUS FT_SetUSBParameters(FT_HANDLE h, DWORD in, DWORD out) { return backend().setUSBParameters(h, in, out); }
FT_STATUS FT_SetTimeouts(FT_HANDLE h, DWORD r, DWORD w) { return backend().setTimeouts(h, r, w); }
FT_STATUS FT_SetBaudRate(FT_HANDLE h, DWORD baud) { return backend().setBaudRate(h, baud); }
FT_STATUS FT_Purge(FT_HANDLE h, DWORD mask) { return backend().purge(h, mask); }

FT_STATUS FT_Write(FT_HANDLE h, void* buffer, DWORD n, DWORD* written) {
    return backend().write(h, static_cast<const uint8_t*>(buffer), n, written);
}

FT_STATUS FT_Read(FT_HANDLE h, void* buffer, DWORD n, DWORD* got) {
    return backend().read(h, static_cast<uint8_t*>(buffer), n, got);
}

FT_STATUS FT_GetQueueStatus(FT_HANDLE h, DWORD* rx) { return backend().queueStatus(h, rx); }
FT_STATUS FT_GetStatus(FT_HANDLE h, DWORD* rx, DWORD* tx, DWORD* ev) { return backend().getStatus(h, rx, tx, ev); }
FT_STATUS FT_Close(FT_HANDLE h) { return backend().close(h); }
