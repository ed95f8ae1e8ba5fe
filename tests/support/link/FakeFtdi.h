// An in-process D2XX backend for unit tests: scripted devices, statuses,
// short transfers, late or partial replies and a transmit queue that never
// drains, with a record of every call and of the bytes written.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "link/ftdi.h"

namespace ftdi {

class FakeFtdi : public Backend {
public:
    using Bytes = std::vector<uint8_t>;
    struct Device {
        std::string description;
        std::string serial;
    };

    std::vector<Device> devices;

    // Statuses the calls return (FT_OK unless a test says otherwise).
    FT_STATUS openStatus = FT_OK;       // FT_OpenEx by serial number
    FT_STATUS describeStatus = FT_OK;   // FT_OpenEx by description
    FT_STATUS detailStatus = FT_OK;     // FT_GetDeviceInfoDetail
    FT_STATUS setupStatus = FT_OK;      // FT_SetUSBParameters
    FT_STATUS writeStatus = FT_OK;
    FT_STATUS readStatus = FT_OK;
    FT_STATUS purgeStatus = FT_OK;
    int writeLimit = -1;                // >= 0: FT_Write moves at most this many bytes, saying FT_OK
    int readLimit = -1;                 // >= 0: the same for FT_Read
    DWORD stuckTx = 0;                  // > 0: FT_GetStatus reports this many bytes pending forever

    // The pedal's side: the reply to each write (empty: none), queued
    // replyDelay seconds after the write; replyCut >= 0 delivers only that many bytes.
    std::function<Bytes(const Bytes&)> responder;
    double replyDelay = 0;
    int replyCut = -1;
    // Runs at every FT_GetQueueStatus; the bytes it returns arrive just then.
    std::function<Bytes()> onQueueCheck;

    // What happened.
    std::vector<Bytes> writes;
    std::vector<std::string> calls;     // "open", "write", "read", "purge", "close", ...
    int openCount() const { return static_cast<int>(open_.size()); }
    int count(const std::string& call) const;
    Bytes written() const;              // every write, concatenated

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
    // One program alone: claims are only counted.
    void claim(bool keep) override { claims += keep ? 1 : -1; }
    int claims = 0;

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point due;
        Bytes bytes;
    };
    std::vector<size_t>::const_iterator slotOf(FT_HANDLE handle) const;   // its place in open_, or end
    bool isOpen(FT_HANDLE handle) const;
    void deliverDue();
    std::vector<size_t> open_;          // device indices; handle = &tokens_[index]
    std::vector<char> tokens_ = std::vector<char>(64);
    std::vector<Pending> pending_;
    Bytes rx_;
};

// Installs a backend for the life of a scope.
class ScopedBackend {
public:
    explicit ScopedBackend(Backend& b) { setBackend(&b); }
    ~ScopedBackend() { setBackend(nullptr); }
    ScopedBackend(const ScopedBackend&) = delete;
    ScopedBackend& operator=(const ScopedBackend&) = delete;
};

}  // namespace ftdi
