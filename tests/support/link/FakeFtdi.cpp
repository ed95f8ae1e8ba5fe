#include "link/FakeFtdi.h"

#include <algorithm>
#include <thread>

namespace ftdi {

int FakeFtdi::count(const std::string& call) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

FakeFtdi::Bytes FakeFtdi::written() const {
    Bytes all;
    for (const Bytes& w : writes) all.insert(all.end(), w.begin(), w.end());
    return all;
}

std::vector<size_t>::const_iterator FakeFtdi::slotOf(FT_HANDLE handle) const {
    return std::find_if(open_.begin(), open_.end(),
                        [&](size_t i) { return handle == static_cast<const void*>(&tokens_[i]); });
}

bool FakeFtdi::isOpen(FT_HANDLE handle) const { return slotOf(handle) != open_.end(); }

void FakeFtdi::deliverDue() {
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

FT_STATUS FakeFtdi::openEx(const char* arg, DWORD flags, FT_HANDLE* handle) {
    calls.push_back(flags == FT_OPEN_BY_DESCRIPTION ? "openByDescription" : "open");
    *handle = nullptr;
    FT_STATUS forced = flags == FT_OPEN_BY_DESCRIPTION ? describeStatus : openStatus;
    if (forced != FT_OK) return forced;
    for (size_t i = 0; i < devices.size() && i < tokens_.size(); ++i) {
        const std::string& key = flags == FT_OPEN_BY_DESCRIPTION ? devices[i].description : devices[i].serial;
        if (key != arg) continue;
        if (std::find(open_.begin(), open_.end(), i) != open_.end()) return FT_DEVICE_NOT_OPENED;
        open_.push_back(i);
        *handle = &tokens_[i];
        return FT_OK;
    }
    return FT_DEVICE_NOT_FOUND;
}

FT_STATUS FakeFtdi::createDeviceInfoList(DWORD* n) {
    calls.push_back("list");
    *n = static_cast<DWORD>(devices.size());
    return FT_OK;
}

FT_STATUS FakeFtdi::getDeviceInfoDetail(DWORD index, std::string& serial, std::string& description,
                                        FT_HANDLE* handle) {
    calls.push_back("detail");
    if (handle) *handle = nullptr;
    if (detailStatus != FT_OK) return detailStatus;
    if (index >= devices.size()) return FT_DEVICE_NOT_FOUND;
    serial = devices[index].serial;
    description = devices[index].description;
    if (handle && std::find(open_.begin(), open_.end(), index) != open_.end()) *handle = &tokens_[index];
    return FT_OK;
}

FT_STATUS FakeFtdi::setUSBParameters(FT_HANDLE handle, DWORD, DWORD) {
    calls.push_back("usbParameters");
    if (!isOpen(handle)) return FT_INVALID_HANDLE;
    return setupStatus;
}

FT_STATUS FakeFtdi::setTimeouts(FT_HANDLE handle, DWORD, DWORD) {
    calls.push_back("timeouts");
    return isOpen(handle) ? FT_OK : FT_INVALID_HANDLE;
}

FT_STATUS FakeFtdi::setBaudRate(FT_HANDLE handle, DWORD) {
    calls.push_back("baudRate");
    return isOpen(handle) ? FT_OK : FT_INVALID_HANDLE;
}

FT_STATUS FakeFtdi::purge(FT_HANDLE handle, DWORD mask) {
    calls.push_back("purge");
    if (!isOpen(handle)) return FT_INVALID_HANDLE;
    if (purgeStatus != FT_OK) return purgeStatus;
    if (mask & FT_PURGE_RX) {
        rx_.clear();
        pending_.clear();
    }
    return FT_OK;
}

FT_STATUS FakeFtdi::write(FT_HANDLE handle, const uint8_t* data, DWORD n, DWORD* done) {
    calls.push_back("write");
    *done = 0;
    if (!isOpen(handle)) return FT_INVALID_HANDLE;
    if (writeStatus != FT_OK) return writeStatus;
    DWORD moved = writeLimit >= 0 ? std::min<DWORD>(n, static_cast<DWORD>(writeLimit)) : n;
    Bytes bytes(data, data + moved);
    writes.push_back(bytes);
    *done = moved;
    if (responder) {
        Bytes reply = responder(bytes);
        if (replyCut >= 0 && reply.size() > static_cast<size_t>(replyCut)) reply.resize(replyCut);
        if (!reply.empty()) {
            auto delay = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(replyDelay));
            pending_.push_back({Clock::now() + delay, reply});
        }
    }
    return FT_OK;
}

FT_STATUS FakeFtdi::read(FT_HANDLE handle, uint8_t* data, DWORD n, DWORD* got) {
    calls.push_back("read");
    *got = 0;
    if (!isOpen(handle)) return FT_INVALID_HANDLE;
    if (readStatus != FT_OK) return readStatus;
    deliverDue();
    DWORD moved = std::min<DWORD>(n, static_cast<DWORD>(rx_.size()));
    if (readLimit >= 0) moved = std::min<DWORD>(moved, static_cast<DWORD>(readLimit));
    std::copy(rx_.begin(), rx_.begin() + moved, data);
    rx_.erase(rx_.begin(), rx_.begin() + moved);
    *got = moved;
    return FT_OK;
}

FT_STATUS FakeFtdi::queueStatus(FT_HANDLE handle, DWORD* rx) {
    if (!isOpen(handle)) return FT_INVALID_HANDLE;
    deliverDue();
    if (onQueueCheck) {
        Bytes arrived = onQueueCheck();
        rx_.insert(rx_.end(), arrived.begin(), arrived.end());
    }
    *rx = static_cast<DWORD>(rx_.size());
    return FT_OK;
}

FT_STATUS FakeFtdi::getStatus(FT_HANDLE handle, DWORD* rx, DWORD* tx, DWORD* events) {
    calls.push_back("status");
    if (!isOpen(handle)) return FT_INVALID_HANDLE;
    deliverDue();
    *rx = static_cast<DWORD>(rx_.size());
    *tx = stuckTx;
    *events = 0;
    return FT_OK;
}

FT_STATUS FakeFtdi::close(FT_HANDLE handle) {
    calls.push_back("close");
    auto slot = slotOf(handle);
    if (slot == open_.end()) return FT_INVALID_HANDLE;
    open_.erase(slot);
    return FT_OK;
}

void FakeFtdi::waitForData(FT_HANDLE, int timeoutMs) {
    auto limit = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (const Pending& p : pending_) limit = std::min(limit, p.due);
    std::this_thread::sleep_until(limit);
}

}  // namespace ftdi
