#include "sound/CoreFiles.h"

#include "base/platform.h"

#include <sys/stat.h>

#include <cstdio>

using namespace sound;

const CoreFileSlice coreFileSlices[8] = {
    {"gbss.coe", 0, 1560},
    {"gbso.coe", 0, 1560},
    {"gms.coe", 0, 676},
    {"ScCore_A.fvc", 284, 112},
    {"ScCore_B.fvc", 284, 112},
    {"SmCore.fvc", 116, 324},
    {"SpFiL.fvc", 172, 180},
    {"SpFiR.fvc", 172, 180},
};

bool holdsCoreFiles(const std::string& folder) {
    for (const CoreFileSlice& slice : coreFileSlices) {
        struct stat info;
        std::string path = folder + "/bin/" + slice.name;
        if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    }
    return true;
}

namespace {

// Reads the slice of one file into dst; false if the file cannot be opened
// or yields fewer bytes than the slice.
bool readSlice(const std::string& dir, const CoreFileSlice& slice, uint8_t* dst, std::string& problems)
{
    std::string path = dir + "/" + slice.name;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        problems += "missing: " + platform::shownPath(path) + "\n";
        return false;
    }
    size_t got = 0;
    if (std::fseek(f, slice.offset, SEEK_SET) == 0)
        got = std::fread(dst, 1, size_t(slice.length), f);
    std::fclose(f);
    if (got < size_t(slice.length)) {
        problems += "short: " + platform::shownPath(path) + "\n";
        return false;
    }
    return true;
}

void decodeRecords(const uint8_t* bytes, SpeakerRecord* records, int count)
{
    for (int r = 0; r < count; ++r)
        for (int w = 0; w < SpeakerRecordWords; ++w) {
            const uint8_t* p = bytes + (r * SpeakerRecordWords + w) * 2;
            records[r].word[w] = int16_t(uint16_t(p[0] | (p[1] << 8)));
        }
}

}  // namespace

void CoreFiles::load(const std::string& dir)
{
    uint8_t buffer[GuitarBassRecords * SpeakerRecordWords * 2];
    SpeakerRecord* sets[3] = {sealedSet, openSet, gearMiscSet};
    const int counts[3] = {GuitarBassRecords, GuitarBassRecords, GearMiscRecords};
    for (int i = 0; i < 3; ++i) {
        for (uint8_t& b : buffer) b = 0;
        if (!readSlice(dir, coreFileSlices[i], buffer, problems)) ok = false;
        decodeRecords(buffer, sets[i], counts[i]);
    }

    uint8_t* cores[5] = {&coreA[0][0], &coreB[0][0], &smCore[0][0], &filterL[0][0], &filterR[0][0]};
    for (int i = 0; i < 5; ++i)
        if (!readSlice(dir, coreFileSlices[3 + i], cores[i], problems)) ok = false;

    // The last word of each right filter section is fixed.
    static const uint8_t fixed[5][4] = {
        {0x00, 0x00, 0x06, 0xE6}, {0x00, 0x00, 0x07, 0x26}, {0x00, 0x00, 0x07, 0x66},
        {0x00, 0x00, 0x07, 0xA6}, {0x00, 0x00, 0x07, 0xE6},
    };
    for (int j = 0; j < 5; ++j)
        for (int b = 0; b < 4; ++b) filterR[9 * j + 8][b] = fixed[j][b];
}
