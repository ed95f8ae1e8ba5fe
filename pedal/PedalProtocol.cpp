#include "PedalProtocol.h"

#include <cstring>

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
        case 0x50: case 0xFF: return 1;
        case 0xA0: return 67;
        case 0xB0: case 0xD0: case 0xE0: return 2;
        default: return 1;
        }
    }
    if (first <= 0x0E && (first & 1) == 0) return 1;
    if (first >= 0x10 && first <= 0x1E && (first & 1) == 0) return 25;
    switch (first) {
    case 0x20: case 0x40: case 0x50: case 0xFF: return 1;
    case 0x30: case 0xB0: case 0xD0: case 0xE0: return 2;
    case 0xA0: return 67;
    default: return 512;        // a raw preview image
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
        case 0x50: c.name = "status"; c.reply = {state_.statusByte()}; return c;
        case 0xFF: c.name = "resume"; state_.updateMode = false; c.changedState = true; return c;
        case 0xA0: break;
        case 0xB0: case 0xD0: case 0xE0: break;
        default: c.name = "ignored"; return c;
        }
    }
    if (b.size() == 512) {
        c.name = "preview";
        std::memcpy(state_.playing, b.data(), 512);
        c.changedState = true;
        return c;
    }
    if (first <= 0x0E) {
        const PedalPreset& p = state_.presets[first >> 1];
        c.name = "read-preset";
        c.reply.assign(p.params, p.params + 12);
        c.reply.insert(c.reply.end(), p.title, p.title + 12);
        std::memcpy(state_.playing, p.image, 512);      // the pedal switches to the preset it reports
        c.changedState = true;
        return c;
    }
    if (first >= 0x10 && first <= 0x1E) {
        awaitingImage_ = (first & 0x0E) >> 1;
        PedalPreset& p = state_.presets[awaitingImage_];
        std::memcpy(p.params, b.data() + 1, 12);
        std::memcpy(p.title, b.data() + 13, 12);
        c.name = "store-header";
        c.changedState = true;
        return c;
    }
    switch (first) {
    case 0x20: c.name = "get-config"; c.reply = {state_.globalConfig}; break;
    case 0x30: c.name = "set-config"; state_.globalConfig = b[1]; c.changedState = true; break;
    case 0x40:
        c.name = "read-all";
        c.reply.resize(192);
        state_.bank(c.reply.data());
        break;
    case 0x50: c.name = "status"; c.reply = {state_.statusByte()}; break;
    case 0xA0:
        c.name = "page";
        c.reply.assign(b.begin() + 3, b.end());        // the page read back
        ++state_.pagesReceived;
        c.changedState = true;
        break;
    case 0xB0:
        c.name = "version";
        state_.firmwareVersion = b[1] & 0x7F;
        c.changedState = true;
        break;
    case 0xD0: c.name = "osc-set"; state_.oscillator = b[1]; c.changedState = true; break;
    case 0xE0:
        c.name = "osc-burn";
        state_.oscillator = state_.oscillatorBurned = b[1];
        c.changedState = true;
        break;
    case 0xFF: c.name = "resume"; break;
    default: c.name = "ignored"; break;
    }
    return c;
}
