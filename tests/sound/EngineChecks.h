// Checks shared by the model tests: what a filter slot or a core word in the
// image must hold when built from PatternBin files.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "tests/sound/PatternBin.h"
#include "sound/SoundModel.h"

inline int scImage(int w) { return w < 14 ? 46 + w : 91 + w; }

// The fixed last word of each right filter section.
inline bool fixedRightWord(int w, uint32_t& value)
{
    static const uint32_t fixed[5] = {0x06E6, 0x0726, 0x0766, 0x07A6, 0x07E6};
    if (w % 9 != 8) return false;
    value = fixed[w / 9];
    return true;
}

inline uint32_t patternWord(PatternFile f, int w)
{
    uint8_t b[4];
    fvcPattern(f, w, b);
    return wordAt(b, 0);
}

// A filter slot of 45 image words: the speaker record's 25 coefficients in the
// C16 fields of section words 0, 2, 3, 6, 7, the rest from the filter file.
inline ::testing::AssertionResult slotHolds(const uint8_t* image, int slot, PatternFile file, int set, int record)
{
    static const int section[5] = {0, 2, 3, 6, 7};
    for (int w = 0; w < 45; ++w) {
        uint32_t actual = wordAt(image, slot + w);
        uint32_t base = patternWord(file, w), fixed;
        if (file == FilterRFile && fixedRightWord(w, fixed)) base = fixed;
        int c = -1;
        for (int i = 0; i < 5; ++i)
            if (w % 9 == section[i]) c = i;
        uint32_t expected = base;
        if (c >= 0) expected = uint32_t(coePattern(set, record, 5 * (w / 9) + c)) << 16 | (base & 0xFFFF);
        if (actual != expected)
            return ::testing::AssertionFailure() << "slot " << slot << " word " << w << ": " << std::hex
                                                 << actual << " != " << expected;
    }
    return ::testing::AssertionSuccess();
}

inline bool sameImage(const SoundModel& a, const SoundModel& b)
{
    return std::memcmp(a.image(), b.image(), 512) == 0;
}

// First differing image word, for messages.
inline int firstDifference(const uint8_t* a, const uint8_t* b)
{
    for (int w = 0; w < 128; ++w)
        if (std::memcmp(a + 4 * w, b + 4 * w, 4) != 0) return w;
    return -1;
}
