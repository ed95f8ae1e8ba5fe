// The in-process test double of the serial port contract: scripted devices,
// statuses, short transfers, late or partial replies and a transmit queue
// that never drains, with a record of every call and of the bytes written.
// One program alone: its claim is only counted.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "link/SerialPort.h"

namespace serialport {

class FakeBackend : public Backend {
public:
    using Bytes = std::vector<uint8_t>;
    struct Attached {
        std::string description;
        std::string serial;
    };

    std::vector<Attached> devices;

    // Statuses the calls return (FT_OK unless a test says otherwise).
    FT_STATUS openStatus = FT_OK;       // open by serial number
    FT_STATUS describeStatus = FT_OK;   // open by description
    FT_STATUS setupStatus = FT_OK;
    FT_STATUS writeStatus = FT_OK;
    FT_STATUS readStatus = FT_OK;
    FT_STATUS purgeStatus = FT_OK;
    int writeLimit = -1;                // >= 0: a write moves at most this many bytes, saying FT_OK
    int readLimit = -1;                 // >= 0: the same for a read
    uint32_t stuckTx = 0;               // > 0: the transmit queue holds this many bytes forever

    // The pedal's side: the reply to each write (empty: none), queued
    // replyDelay seconds after the write; replyCut >= 0 delivers only that many bytes.
    std::function<Bytes(const Bytes&)> responder;
    double replyDelay = 0;
    int replyCut = -1;
    // Runs at every look at the queues; the bytes it returns arrive just then.
    std::function<Bytes()> onQueueCheck;

    // What happened.
    std::vector<Bytes> writes;
    std::vector<std::string> calls;     // "open", "openByDescription", "list", "setup", "write", "read", "purge", "close"
    int openCount() const { return static_cast<int>(open_.size()); }
    int count(const std::string& call) const;
    Bytes written() const;              // every write, concatenated
    int claims = 0;                     // claim(true) not yet undone

    std::vector<Device> list() override;
    FT_STATUS open(const std::string& key, bool byDescription, std::unique_ptr<Port>& port,
                   std::string& problem) override;
    void claim(bool keep) override { claims += keep ? 1 : -1; }

private:
    class FakePort;
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point due;
        Bytes bytes;
    };
    void deliverDue();
    Device device(size_t index) const { return {devices[index].description, devices[index].serial, ""}; }
    std::vector<size_t> open_;          // indices of the devices open now
    std::vector<Pending> pending_;
    Bytes rx_;
};

}  // namespace serialport
