#include "pedal/PedalProtocol.h"

#include <cstring>

#include "link/Protocol.h"

using namespace protocol;

void PedalProtocol::reset() {
    partial_.clear();
    awaitingImage_ = -1;
}

size_t PedalProtocol::lengthOf(uint8_t first) const {
    if (awaitingImage_ >= 0) return 512;
    if (state_.updateMode) {
        // The update loader knows only the status query, pages, version,
        // oscillator and resume; anything else is dropped a byte at a time.
        switch (first) {
        case GetStatus: case Resume: return 1;
        case WritePage: return PageMessageSize;
        case SetVersion: case OscillatorSet: case OscillatorBurn: return 2;
        default: return 1;
        }
    }
    if (isReadPreset(first)) return 1;
    if (isStorePreset(first)) return StoreHeaderSize;
    switch (first) {
    case GetConfig: case ReadAll: case GetStatus: case Resume: return 1;
    case SetConfig: case SetVersion: case OscillatorSet: case OscillatorBurn: return 2;
    case WritePage: return PageMessageSize;
    default: return ImageSize;        // a raw preview image
    }
}

void PedalProtocol::feed(const uint8_t* data, size_t n, std::vector<PedalCommand>& done) {
    for (size_t i = 0; i < n; ++i) {
        partial_.push_back(data[i]);
        if (partial_.size() == lengthOf(partial_[0])) {
            done.push_back(execute(partial_));
            partial_.clear();
        }
    }
}

PedalCommand PedalProtocol::execute(std::vector<uint8_t>& b) {
    PedalCommand c;
    c.bytes = b;
    const uint8_t first = b[0];
    if (awaitingImage_ >= 0) {
        PedalPreset& p = state_.presets[awaitingImage_];
        std::memcpy(p.image, b.data(), 512);
        std::memcpy(state_.playing, b.data(), 512);
        c.name = "store-image";
        c.reply = b;                    // echoed for the editor to verify
        c.changedState = true;
        awaitingImage_ = -1;
        return c;
    }
    if (state_.updateMode) {
        switch (first) {
        case GetStatus: c.name = "status"; c.reply = {state_.statusByte()}; return c;
        case Resume: c.name = "resume"; state_.updateMode = false; c.changedState = true; return c;
        case WritePage: break;
        case SetVersion: case OscillatorSet: case OscillatorBurn: break;
        default: c.name = "ignored"; return c;
        }
    }
    if (b.size() == ImageSize) {
        c.name = "preview";
        std::memcpy(state_.playing, b.data(), 512);
        c.changedState = true;
        return c;
    }
    if (isReadPreset(first)) {
        const PedalPreset& p = state_.presets[slotOf(first)];
        c.name = "read-preset";
        c.reply.assign(p.params, p.params + 12);
        c.reply.insert(c.reply.end(), p.title, p.title + 12);
        std::memcpy(state_.playing, p.image, 512);      // the pedal switches to the preset it reports
        c.changedState = true;
        return c;
    }
    if (isStorePreset(first)) {
        awaitingImage_ = slotOf(first);
        PedalPreset& p = state_.presets[awaitingImage_];
        std::memcpy(p.params, b.data() + 1, 12);
        std::memcpy(p.title, b.data() + 13, 12);
        c.name = "store-header";
        c.changedState = true;
        return c;
    }
    switch (first) {
    case GetConfig: c.name = "get-config"; c.reply = {state_.globalConfig}; break;
    case SetConfig: c.name = "set-config"; state_.globalConfig = b[1]; c.changedState = true; break;
    case ReadAll:
        c.name = "read-all";
        c.reply.resize(BankSize);
        state_.bank(c.reply.data());
        break;
    case GetStatus: c.name = "status"; c.reply = {state_.statusByte()}; break;
    case WritePage:
        c.name = "page";
        c.reply.assign(b.begin() + 3, b.end());        // the page read back
        ++state_.pagesReceived;
        c.changedState = true;
        break;
    case SetVersion:
        c.name = "version";
        state_.firmwareVersion = b[1] & StatusVersionMask;
        c.changedState = true;
        break;
    case OscillatorSet: c.name = "osc-set"; state_.oscillator = b[1]; c.changedState = true; break;
    case OscillatorBurn:
        c.name = "osc-burn";
        state_.oscillator = state_.oscillatorBurned = b[1];
        c.changedState = true;
        break;
    case Resume: c.name = "resume"; break;
    default: c.name = "ignored"; break;
    }
    return c;
}
