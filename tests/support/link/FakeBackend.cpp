#include "tests/support/link/FakeBackend.h"

#include <algorithm>
#include <thread>

namespace serialport {

int FakeBackend::count(const std::string& call) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

FakeBackend::Bytes FakeBackend::written() const {
    Bytes all;
    for (const Bytes& w : writes) all.insert(all.end(), w.begin(), w.end());
    return all;
}

void FakeBackend::deliverDue() {
    Clock::time_point now = Clock::now();
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->due <= now) {
            rx_.insert(rx_.end(), it->bytes.begin(), it->bytes.end());
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
}

class FakeBackend::FakePort : public Port {
public:
    FakePort(FakeBackend& fake, size_t index) : Port(fake.device(index)), f(fake), index_(index) {}
    ~FakePort() override {
        f.calls.push_back("close");
        f.open_.erase(std::find(f.open_.begin(), f.open_.end(), index_));
    }

    FT_STATUS setup(unsigned baud, int, int) override {
        f.calls.push_back("setup");
        for (unsigned rate : {9600u, 19200u, 38400u, 57600u, 115200u, 230400u})
            if (baud == rate) return f.setupStatus;
        return FT_INVALID_BAUD_RATE;
    }

    FT_STATUS purge(bool rx, bool) override {
        f.calls.push_back("purge");
        if (f.purgeStatus != FT_OK) return f.purgeStatus;
        if (rx) {
            f.rx_.clear();
            f.pending_.clear();
        }
        return FT_OK;
    }

    FT_STATUS write(const uint8_t* data, uint32_t n, uint32_t& done) override {
        f.calls.push_back("write");
        done = 0;
        if (f.writeStatus != FT_OK) return f.writeStatus;
        uint32_t moved = f.writeLimit >= 0 ? std::min<uint32_t>(n, static_cast<uint32_t>(f.writeLimit)) : n;
        Bytes bytes(data, data + moved);
        f.writes.push_back(bytes);
        done = moved;
        if (f.responder) {
            Bytes reply = f.responder(bytes);
            if (f.replyCut >= 0 && reply.size() > static_cast<size_t>(f.replyCut)) reply.resize(f.replyCut);
            if (!reply.empty()) {
                auto delay = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(f.replyDelay));
                f.pending_.push_back({Clock::now() + delay, reply});
            }
        }
        return FT_OK;
    }

    FT_STATUS read(uint8_t* data, uint32_t n, uint32_t& got) override {
        f.calls.push_back("read");
        got = 0;
        if (f.readStatus != FT_OK) return f.readStatus;
        f.deliverDue();
        uint32_t moved = std::min<uint32_t>(n, static_cast<uint32_t>(f.rx_.size()));
        if (f.readLimit >= 0) moved = std::min<uint32_t>(moved, static_cast<uint32_t>(f.readLimit));
        std::copy(f.rx_.begin(), f.rx_.begin() + moved, data);
        f.rx_.erase(f.rx_.begin(), f.rx_.begin() + moved);
        got = moved;
        return FT_OK;
    }

    FT_STATUS queues(uint32_t& rx, uint32_t& tx) override {
        f.deliverDue();
        if (f.onQueueCheck) {
            Bytes arrived = f.onQueueCheck();
            f.rx_.insert(f.rx_.end(), arrived.begin(), arrived.end());
        }
        rx = static_cast<uint32_t>(f.rx_.size());
        tx = f.stuckTx;
        return FT_OK;
    }

    void waitForData(int timeoutMs) override {
        auto limit = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (const Pending& p : f.pending_) limit = std::min(limit, p.due);
        std::this_thread::sleep_until(limit);
    }

    void noteLateReply(int) override {}     // no other program to tell

private:
    FakeBackend& f;
    size_t index_;
};

std::vector<Device> FakeBackend::list() {
    calls.push_back("list");
    std::vector<Device> all;
    for (size_t i = 0; i < devices.size(); ++i) all.push_back(device(i));
    return all;
}

FT_STATUS FakeBackend::open(const std::string& key, bool byDescription, std::unique_ptr<Port>& port,
                            std::string& problem) {
    calls.push_back(byDescription ? "openByDescription" : "open");
    port.reset();
    problem.clear();
    FT_STATUS forced = byDescription ? describeStatus : openStatus;
    if (forced != FT_OK) return forced;
    for (size_t i = 0; i < devices.size(); ++i) {
        if (!matches(device(i), key, byDescription)) continue;
        if (std::find(open_.begin(), open_.end(), i) != open_.end()) return FT_DEVICE_NOT_OPENED;
        open_.push_back(i);
        port.reset(new FakePort(*this, i));
        return FT_OK;
    }
    return FT_DEVICE_NOT_FOUND;
}

}  // namespace serialport
