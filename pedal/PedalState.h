// What the virtual pedal remembers across restarts, as a real pedal keeps it
// in its own memory: eight presets, the global configuration byte, the
// oscillator value, the firmware version and mode, and the image it plays.
#pragma once

#include <cstdint>
#include <string>

struct PedalPreset {
    uint8_t params[12];
    uint8_t title[12];
    uint8_t image[512];
};

struct PedalState {
    PedalPreset presets[8];
    uint8_t globalConfig = 0x00;
    uint8_t oscillator = 0x80;          // value in use
    uint8_t oscillatorBurned = 0x80;    // value kept after power-down
    uint8_t firmwareVersion = 0x21;     // bits 6-4 major, 3-0 minor
    bool updateMode = false;
    uint32_t pagesReceived = 0;         // firmware pages since the last update began
    uint8_t playing[512];               // the image the DSP runs

    // Factory-like contents: the 192-byte bank's records and titles when
    // given (nullptr: built-in defaults), each preset with the default image.
    void setFactory(const uint8_t* bank);
    // The 192-byte bank: eight parameter records, then eight titles.
    void bank(uint8_t out[192]) const;
    // The firmware status byte: bit 7 normal firmware, then the version.
    uint8_t statusByte() const;

    // Binary file; load fails (false, message in error) on a missing, short or foreign file.
    bool load(const std::string& path, std::string& error);
    // Written to a temporary file and renamed, so a crash never leaves half a state.
    bool save(const std::string& path, std::string& error) const;
};

// Reads a 192-byte bank file (factory master or backup).
bool readBankFile(const std::string& path, uint8_t bank[192], std::string& error);
