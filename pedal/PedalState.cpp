#include "pedal/PedalState.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "link/Protocol.h"

namespace {

const char magic[8] = {'O', 'V', 'P', 'E', 'D', 'A', 'L', '1'};
const uint8_t defaultParams[12] = {0x21, 3, 23, 31, 31, 200, 200, 0, 100, 125, 50, 50};
const size_t stateSize = sizeof magic + 8 * sizeof(PedalPreset) + 5 + 4 + 512;

void defaultImage(uint8_t image[512]) {
    std::memset(image, 0, 512);
    image[0] = 0x01;    // an image always starts with 0x01, never a command byte
}

}  // namespace

void PedalState::setFactory(const uint8_t* bankBytes) {
    for (int i = 0; i < 8; ++i) {
        PedalPreset& p = presets[i];
        if (bankBytes) {
            std::memcpy(p.params, bankBytes + 12 * i, 12);
            std::memcpy(p.title, bankBytes + 96 + 12 * i, 12);
        } else {
            std::memcpy(p.params, defaultParams, 12);
            char title[13];
            std::snprintf(title, sizeof title, "Preset %d    ", i + 1);
            std::memcpy(p.title, title, 12);
        }
        defaultImage(p.image);
    }
    std::memcpy(playing, presets[0].image, 512);
}

void PedalState::bank(uint8_t out[192]) const {
    for (int i = 0; i < 8; ++i) {
        std::memcpy(out + 12 * i, presets[i].params, 12);
        std::memcpy(out + 96 + 12 * i, presets[i].title, 12);
    }
}

uint8_t PedalState::statusByte() const {
    return static_cast<uint8_t>((updateMode ? 0x00 : protocol::StatusRunning) |
                                (firmwareVersion & protocol::StatusVersionMask));
}

bool PedalState::load(const std::string& path, std::string& error) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    // Only one more byte than a state file is read: the size comes from the file system.
    struct stat info;
    if (fstat(fileno(f), &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fclose(f);
        error = path + ": not a pedal state file (not a file)";
        return false;
    }
    std::vector<uint8_t> data(stateSize + 1);
    size_t n = std::fread(data.data(), 1, data.size(), f);
    std::fclose(f);
    if (n != stateSize || std::memcmp(data.data(), magic, sizeof magic) != 0) {
        error = path + ": not a pedal state file (" + std::to_string(static_cast<long long>(info.st_size)) +
                " bytes)";
        return false;
    }
    const uint8_t* p = data.data() + sizeof magic;
    for (PedalPreset& preset : presets) {
        std::memcpy(&preset, p, sizeof preset);
        p += sizeof preset;
    }
    globalConfig = p[0];
    oscillator = p[1];
    oscillatorBurned = p[2];
    firmwareVersion = p[3];
    updateMode = p[4] != 0;
    p += 5;
    pagesReceived = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
    p += 4;
    std::memcpy(playing, p, 512);
    return true;
}

bool PedalState::save(const std::string& path, std::string& error) const {
    std::vector<uint8_t> data(magic, magic + sizeof magic);
    for (const PedalPreset& preset : presets) {
        const uint8_t* b = reinterpret_cast<const uint8_t*>(&preset);
        data.insert(data.end(), b, b + sizeof preset);
    }
    const uint8_t tail[9] = {globalConfig, oscillator, oscillatorBurned, firmwareVersion,
                             static_cast<uint8_t>(updateMode ? 1 : 0),
                             static_cast<uint8_t>(pagesReceived), static_cast<uint8_t>(pagesReceived >> 8),
                             static_cast<uint8_t>(pagesReceived >> 16), static_cast<uint8_t>(pagesReceived >> 24)};
    data.insert(data.end(), tail, tail + 9);
    data.insert(data.end(), playing, playing + 512);
    std::string temp = path + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        error = temp + ": " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (std::fclose(f) == 0) && ok;
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) {
        error = path + ": " + std::strerror(errno);
        std::remove(temp.c_str());
    }
    return ok;
}

bool readBankFile(const std::string& path, uint8_t bank[192], std::string& error) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    uint8_t data[193];
    size_t n = std::fread(data, 1, sizeof data, f);
    std::fclose(f);
    if (n != 192) {
        error = path + ": a preset bank holds 192 bytes, this file " + (n > 192 ? "more" : std::to_string(n));
        return false;
    }
    std::memcpy(bank, data, 192);
    return true;
}
