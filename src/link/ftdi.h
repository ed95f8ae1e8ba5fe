// The D2XX calls the link uses, under their published names and meanings,
// served by a backend chosen at run time: the system's serial driver (on
// Linux the tty driver, real bridges found through sysfs; on Windows the
// bridge's virtual COM port, found through SetupAPI; on both, virtual pedals
// registered in the folder named by ORVELLA_PEDAL_DIR), or an in-process fake
// installed by tests.
#pragma once

#include <cstdint>
#include <string>

typedef void* FT_HANDLE;
typedef uint32_t FT_STATUS;
#ifdef _WIN32
typedef unsigned long DWORD;    // as <windows.h> has it, so both may be included
#else
typedef uint32_t DWORD;
#endif

// Status values as the library publishes them.
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

enum { FT_OPEN_BY_SERIAL_NUMBER = 1, FT_OPEN_BY_DESCRIPTION = 2 };
enum { FT_PURGE_RX = 1, FT_PURGE_TX = 2 };

// pArg1 is a NUL-terminated serial number or description.
FT_STATUS FT_OpenEx(void* pArg1, DWORD flags, FT_HANDLE* pHandle);
FT_STATUS FT_CreateDeviceInfoList(DWORD* numDevs);
// serialNumber receives at most 16 bytes, description at most 64 (both NUL-terminated).
FT_STATUS FT_GetDeviceInfoDetail(DWORD index, DWORD* flags, DWORD* type, DWORD* id, DWORD* locId,
                                 void* serialNumber, void* description, FT_HANDLE* pHandle);
FT_STATUS FT_SetUSBParameters(FT_HANDLE handle, DWORD inTransferSize, DWORD outTransferSize);
FT_STATUS FT_SetTimeouts(FT_HANDLE handle, DWORD readTimeout, DWORD writeTimeout);
FT_STATUS FT_SetBaudRate(FT_HANDLE handle, DWORD baudRate);
FT_STATUS FT_Purge(FT_HANDLE handle, DWORD mask);
FT_STATUS FT_Write(FT_HANDLE handle, void* buffer, DWORD bytesToWrite, DWORD* bytesWritten);
FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytesToRead, DWORD* bytesReturned);
FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes);
FT_STATUS FT_GetStatus(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes, DWORD* eventState);
FT_STATUS FT_Close(FT_HANDLE handle);

namespace ftdi {

// Length of the serial-number buffer FT_GetDeviceInfoDetail fills.
constexpr int serialBufferSize = 16;

// What a backend provides; the FT_ functions above forward to the current one.
class Backend {
public:
    virtual ~Backend() = default;
    virtual FT_STATUS openEx(const char* arg, DWORD flags, FT_HANDLE* handle) = 0;
    virtual FT_STATUS createDeviceInfoList(DWORD* count) = 0;
    virtual FT_STATUS getDeviceInfoDetail(DWORD index, std::string& serial, std::string& description,
                                          FT_HANDLE* handle) = 0;
    virtual FT_STATUS setUSBParameters(FT_HANDLE handle, DWORD in, DWORD out) = 0;
    virtual FT_STATUS setTimeouts(FT_HANDLE handle, DWORD readMs, DWORD writeMs) = 0;
    virtual FT_STATUS setBaudRate(FT_HANDLE handle, DWORD baud) = 0;
    virtual FT_STATUS purge(FT_HANDLE handle, DWORD mask) = 0;
    virtual FT_STATUS write(FT_HANDLE handle, const uint8_t* data, DWORD n, DWORD* written) = 0;
    virtual FT_STATUS read(FT_HANDLE handle, uint8_t* data, DWORD n, DWORD* got) = 0;
    virtual FT_STATUS queueStatus(FT_HANDLE handle, DWORD* rx) = 0;
    virtual FT_STATUS getStatus(FT_HANDLE handle, DWORD* rx, DWORD* tx, DWORD* events) = 0;
    virtual FT_STATUS close(FT_HANDLE handle) = 0;
    // Blocks for at most timeoutMs or until new bytes may have arrived on the
    // receive side; never returns at once when nothing can change (no spin).
    virtual void waitForData(FT_HANDLE handle, int timeoutMs) = 0;
    // The port of entry `index` of the last device list (a tty path), or
    // empty when the backend has no such notion.
    virtual std::string portName(DWORD index) const { (void)index; return std::string(); }
    // The claim: one program owns a device at a time. Every backend reserves
    // each device it opens against other programs for as long as the handle
    // is open and, while claims are kept (counted: each true needs a false),
    // holds it until the last claim ends, so a run of transactions is never
    // interleaved with another program's (the serial driver: an exclusive
    // open kept for the run and a lock file; Windows: the port opened without
    // sharing, kept for the run). An open refused because another program
    // holds the device fails with openProblem() saying "in use by another
    // program". Within one program the devices are shared. No default: a
    // backend that cannot claim cannot serve the link.
    virtual void claim(bool keep) = 0;
    // Why the last openEx failed, in words for the user ("the pedal is in
    // use by another program (pid 4242)"), or empty when its status says all.
    virtual std::string openProblem() const { return std::string(); }
    // A reply on this device timed out and may still arrive within ms: the
    // next program to open the device waits it out and drops it, so the late
    // bytes never answer its first command. (Within one program PedalLink
    // does the same itself.)
    virtual void noteLateReply(FT_HANDLE handle, int ms) {
        (void)handle;
        (void)ms;
    }
};

// Installs a backend (not owned); nullptr restores the serial-driver backend.
void setBackend(Backend* backend);
Backend& backend();

// Blocks on the device for at most timeoutMs, waking early when bytes arrive.
void waitForData(FT_HANDLE handle, int timeoutMs);

}  // namespace ftdi
