// The DSP core files and speaker coefficient sets read from the "bin" folder.
// Core files hold instruction words most significant byte first; speaker
// records are 26 little-endian 16-bit words (five filter sections of five
// coefficients, then the speaker gain).
#pragma once

#include <cstdint>
#include <string>

namespace sound {

enum : int {
    SpeakerRecordWords = 26,
    SpeakerGainWord = 25,
    GuitarBassRecords = 30,
    GearMiscRecords = 13,
    ScCoreWords = 28,
    SmCoreWords = 81,
    FilterWords = 45,
};

}  // namespace sound

struct SpeakerRecord {
    int16_t word[sound::SpeakerRecordWords];
};

struct CoreFiles {
    SpeakerRecord sealedSet[sound::GuitarBassRecords] = {};
    SpeakerRecord openSet[sound::GuitarBassRecords] = {};
    SpeakerRecord gearMiscSet[sound::GearMiscRecords] = {};
    uint8_t coreA[sound::ScCoreWords][4] = {};      // Stereo Enhancer variant
    uint8_t coreB[sound::ScCoreWords][4] = {};      // Notcher/Doubler variant
    uint8_t smCore[sound::SmCoreWords][4] = {};
    uint8_t filterL[sound::FilterWords][4] = {};
    uint8_t filterR[sound::FilterWords][4] = {};
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

// True when folder/bin holds every core file as a file (their sizes are
// checked when they are read): how the editor and orvella-cli tell a data
// folder.
bool holdsCoreFiles(const std::string& folder);
