// The D2XX calls served on Windows by the FTDI bridge's virtual COM port:
// bridges found through SetupAPI by the USB description the bus reports,
// then the virtual pedals registered in ORVELLA_PEDAL_DIR under a COM port's
// name. A port is opened with CreateFile without sharing, which is the claim
// (Windows then refuses it to every other program): for one transaction, or
// for the whole run while claims are kept. It is set to raw 8N1 with
// SetCommState and waited on with read time-outs (COMMTIMEOUTS), never with
// comm events.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "link/com_ports.h"
#include "link/ftdi.h"

namespace ftdi {

// The COM ports whose USB device reports the given description, in the
// order SetupAPI lists them.
std::vector<comports::Device> comPortsDescribed(const std::string& description);

class WinSerialBackend : public Backend {
public:
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
    void claim(bool keep) override;
    std::string openProblem() const override { return problem_; }

private:
    struct Port;
    static std::vector<comports::Device> allDevices();
    Port* port(FT_HANDLE handle) const;
    Port* portOn(const std::string& name) const;
    std::vector<comports::Device> listed_;  // the list of the last FT_CreateDeviceInfoList
    std::vector<Port*> open_;
    std::map<std::string, DWORD> baud_;     // kept per port from one handle to the next (9600 until set)
    // Port name -> the handle of a port closed while claims are kept: still
    // open without sharing, so the run keeps it from other programs.
    std::map<std::string, void*> parked_;
    int kept_ = 0;                          // claim(true) not yet undone
    std::string problem_;                   // why the last openEx failed, for the user
};

}  // namespace ftdi
