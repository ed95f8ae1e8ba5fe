// The core files and speaker sets of the bin folder: the first eight bytes
// say how much each of the eight files falls short of its slice (0: whole),
// the rest fill their bytes. The set loads as complete exactly when no file
// is short, a short file is named, and every slice read is the file's bytes.
#include "tests/fuzz/FuzzSupport.h"

#include <cstring>

#include "sound/CoreFiles.h"
#include "sound/SoundModel.h"

using namespace sound;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    const std::string dir = fuzz::scratch() + "/bin";
    static bool made = std::system(("mkdir -p '" + dir + "'").c_str()) == 0;
    FUZZ_CHECK(made);
    std::vector<std::vector<uint8_t>> files(8);
    bool whole = true;
    for (int i = 0; i < 8; ++i) {
        const CoreFileSlice& slice = coreFileSlices[i];
        long length = slice.offset + slice.length - data[i];
        whole = whole && data[i] == 0;
        files[i].resize(static_cast<size_t>(length));
        for (long b = 0; b < length; ++b)
            files[i][b] = size > 8 ? data[8 + (b * 7 + i) % (size - 8)] ^ static_cast<uint8_t>(b) : uint8_t(b);
        fuzz::writeFile(dir + "/" + slice.name, files[i].data(), files[i].size());
    }

    CoreFiles core;
    core.load(dir);
    FUZZ_CHECK(core.ok == whole);
    for (int i = 0; i < 8; ++i)
        FUZZ_CHECK((core.problems.find(std::string("short: ") + dir + "/" + coreFileSlices[i].name) !=
                    std::string::npos) == (data[i] != 0));
    SoundModel model(dir);
    FUZZ_CHECK(model.coreFilesOk() == whole);
    if (!whole) return 0;

    const SpeakerRecord* sets[3] = {core.sealedSet, core.openSet, core.gearMiscSet};
    const int counts[3] = {GuitarBassRecords, GuitarBassRecords, GearMiscRecords};
    for (int s = 0; s < 3; ++s)
        for (int r = 0; r < counts[s]; ++r)
            for (int w = 0; w < SpeakerRecordWords; ++w) {
                const uint8_t* p = files[s].data() + (r * SpeakerRecordWords + w) * 2;
                FUZZ_CHECK(sets[s][r].word[w] == int16_t(uint16_t(p[0] | (p[1] << 8))));
            }
    const uint8_t* cores[4] = {&core.coreA[0][0], &core.coreB[0][0], &core.smCore[0][0], &core.filterL[0][0]};
    for (int c = 0; c < 4; ++c) {
        const CoreFileSlice& slice = coreFileSlices[3 + c];
        FUZZ_CHECK(std::memcmp(cores[c], files[3 + c].data() + slice.offset, slice.length) == 0);
    }
    // The right filter's fixed words are the only ones not read from its file.
    const CoreFileSlice& right = coreFileSlices[7];
    for (int word = 0; word < FilterWords; ++word)
        if (word % 9 != 8) FUZZ_CHECK(std::memcmp(core.filterR[word], files[7].data() + right.offset + 4 * word, 4) == 0);
    return 0;
}
