// The DSP core files and speaker coefficient sets read from the "bin" folder.
// Core files hold instruction words most significant byte first; speaker
// records are 26 little-endian 16-bit words (five filter sections of five
// coefficients, then the speaker gain).
#pragma once

#include <cstdint>
#include <string>

enum : int {
    SpeakerRecordWords = 26,
    SpeakerGainWord = 25,
    GuitarBassRecords = 30,
    GearMiscRecords = 13,
    ScCoreWords = 28,
    SmCoreWords = 81,
    FilterWords = 45,
};

struct SpeakerRecord {
    int16_t word[SpeakerRecordWords];
};

struct CoreFiles {
    SpeakerRecord sealedSet[GuitarBassRecords] = {};
    SpeakerRecord openSet[GuitarBassRecords] = {};
    SpeakerRecord gearMiscSet[GearMiscRecords] = {};
    uint8_t coreA[ScCoreWords][4] = {};      // Stereo Enhancer variant
    uint8_t coreB[ScCoreWords][4] = {};      // Notcher/Doubler variant
    uint8_t smCore[SmCoreWords][4] = {};
    uint8_t filterL[FilterWords][4] = {};
    uint8_t filterR[FilterWords][4] = {};
    bool ok = true;         // false if any file was missing or short
    std::string problems;   // one line per missing or short file

    // Reads the eight files from dir in their fixed order; a missing or short
    // file clears ok and loading goes on with the next one.
    void load(const std::string& dir);
};

// One file of the set: its name, the slice read and where it goes.
struct CoreFileSlice {
    const char* name;
    long offset;
    long length;
};
extern const CoreFileSlice coreFileSlices[8];
