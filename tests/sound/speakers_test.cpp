// Speaker numbering, the parameter block's ranges and solo folding.
#include <gtest/gtest.h>

#include <cstring>

#include "sound/Params.h"
#include "sound/Speakers.h"

using namespace sound;

TEST(Speakers, MenuNumberingGivesTheSelectableBytesAndRecords)
{
    // The bytes of the speaker table; the menus' flattened positions must
    // produce exactly these, and the records count up in menu order.
    const int expectedBytes[] = {2, 3, 6, 7, 10, 11, 14, 15, 18, 19, 23, 24, 27, 28, 31, 32, 35, 36, 39, 40,
                                 42, 43, 46, 47, 50, 51, 54, 55, 58, 59,
                                 61, 62, 64, 65, 66, 68, 69,
                                 70, 72, 73, 74, 76, 77};
    size_t n = 0;
    int guitarBass = 0, gearMisc = 0;
    for (int b = 0; b < SpeakerTableSize + 2; ++b) {
        bool listed = n < sizeof(expectedBytes) / sizeof(int) && expectedBytes[n] == b;
        EXPECT_EQ(isSelectableSpeaker(b), listed) << b;
        EXPECT_EQ(speakerLabel(b) != nullptr, listed) << b;     // from the menu lists
        if (!listed) {
            if (b < SpeakerTableSize) {
                EXPECT_EQ(speakerRecordIndex(b), 0) << b;
            }
            continue;
        }
        ++n;
        EXPECT_EQ(speakerRecordIndex(b), speakerHasCabinet(b) ? guitarBass++ : gearMisc++) << b;
        CategoryMemory memory;      // byte -> menu position -> byte
        memory.remember(1, b);
        EXPECT_EQ(memory.speakerFor(1, speakerCategory(b)), b);
    }
    EXPECT_EQ(n, sizeof(expectedBytes) / sizeof(int));
    EXPECT_EQ(guitarBass, 30);
    EXPECT_EQ(gearMisc, 13);
    EXPECT_STREQ(speakerLabel(3), " Clst Vintage30 - 12 inch ");
    EXPECT_STREQ(speakerLabel(23), " Clst Cream - 10 inch ");
    EXPECT_STREQ(speakerLabel(59), " Jens Smooth - 15 inch ");
    EXPECT_STREQ(speakerLabel(62), " Palm09 - Bright ");
    EXPECT_STREQ(speakerLabel(66), " Crimson Box");
    EXPECT_STREQ(speakerLabel(70), " Full Range Speaker");
    EXPECT_STREQ(speakerLabel(77), " Horn");
    EXPECT_STREQ(speakerMenu(MiscCategory).header, " MISCELLANEOUS");
}

TEST(Speakers, CategoriesDefaultsAndMemories)
{
    EXPECT_EQ(speakerCategory(40), GuitarCategory);
    EXPECT_EQ(speakerCategory(41), BassCategory);
    EXPECT_EQ(speakerCategory(60), GearsCategory);
    EXPECT_EQ(speakerCategory(70), MiscCategory);

    EXPECT_EQ(selectableSpeakerOr(0, 0), 3);
    EXPECT_EQ(selectableSpeakerOr(21, 1), 23);
    EXPECT_EQ(selectableSpeakerOr(41, 0), 42);
    EXPECT_EQ(selectableSpeakerOr(63, 0), 61);
    EXPECT_EQ(selectableSpeakerOr(71, 1), 70);
    EXPECT_EQ(selectableSpeakerOr(200, 1), 70);
    EXPECT_EQ(selectableSpeakerOr(47, 1), 47);

    CategoryMemory memory;
    EXPECT_EQ(memory.speakerFor(0, GuitarCategory), 3);
    EXPECT_EQ(memory.speakerFor(1, GuitarCategory), 23);
    EXPECT_EQ(memory.speakerFor(0, BassCategory), 42);
    EXPECT_EQ(memory.speakerFor(1, GearsCategory), 61);
    EXPECT_EQ(memory.speakerFor(1, MiscCategory), 70);
    memory.remember(0, 55);
    memory.remember(1, 76);
    memory.remember(1, 60);                     // not an item: ignored
    EXPECT_EQ(memory.speakerFor(0, BassCategory), 55);
    EXPECT_EQ(memory.position[0][BassCategory], 15);
    EXPECT_EQ(memory.speakerFor(1, BassCategory), 42);
    EXPECT_EQ(memory.speakerFor(1, MiscCategory), 76);
    EXPECT_EQ(memory.speakerFor(1, GearsCategory), 61);
}

TEST(Params, SanitizeClampsEveryByteAndMapsSpeakers)
{
    uint8_t out[ParamCount];
    sanitizeParams(defaultParams, out);
    EXPECT_EQ(0, std::memcmp(out, defaultParams, ParamCount));

    const uint8_t wild[ParamCount] = {0x0B, 1, 200, 63, 255, 201, 255, 101, 255, 251, 101, 255};
    sanitizeParams(wild, out);
    const uint8_t expected[ParamCount] = {0x0B, 3, 70, 62, 62, 200, 200, 100, 100, 250, 100, 100};
    for (int i = 0; i < ParamCount; ++i) EXPECT_EQ(out[i], expected[i]) << i;

    uint8_t ultra[ParamCount];
    std::memcpy(ultra, defaultParams, ParamCount);
    ultra[Flags] |= FlagUltraShort;
    ultra[Delay] = 125;
    sanitizeParams(ultra, out);
    EXPECT_EQ(out[Delay], 100);
}

TEST(Params, SoloFoldingCopiesTheSoloedSide)
{
    const uint8_t block[ParamCount] = {0x10, 42, 23, 5, 40, 150, 60, 10, 90, 125, 50, 50};
    uint8_t out[ParamCount];
    foldSolo(block, 0, out);
    EXPECT_EQ(out[Speaker_R], 42);
    EXPECT_EQ(out[Mic_R], 5);
    EXPECT_EQ(out[Flags], 0x30);                // right cabinet follows the left (opened)
    EXPECT_EQ(out[Volume_R], 60);               // volumes and blends stay
    EXPECT_EQ(out[Blend_R], 90);

    foldSolo(block, 1, out);
    EXPECT_EQ(out[Speaker_L], 23);
    EXPECT_EQ(out[Mic_L], 40);
    EXPECT_EQ(out[Flags], 0x00);                // left cabinet follows the right (sealed)
    EXPECT_EQ(out[Speaker_R], 23);
}
