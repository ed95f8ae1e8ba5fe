// Speaker numbering, the parameter block's ranges and solo folding.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "sound/Params.h"
#include "sound/Speakers.h"

namespace {

// Flattens a category menu the way the toolkit's add() builds it: header,
// then per model a submenu title, its items and an end marker; a label
// without '/' is a single entry. Returns position -> item label.
std::map<int, std::string> flattenedItems(const SpeakerMenuList& menu)
{
    std::map<int, std::string> items;
    int position = 0;
    std::string open;
    for (int i = 0; i < menu.count; ++i) {
        std::string label = menu.labels[i];
        size_t slash = label.find('/');
        if (slash == std::string::npos) {
            if (!open.empty()) { ++position; open.clear(); }
            ++position;
            if (!label.empty()) items[position] = label;   // the empty entry is a separator
            continue;
        }
        std::string title = label.substr(0, slash);
        if (title != open) {
            if (!open.empty()) ++position;
            ++position;
            open = title;
        }
        items[++position] = label.substr(slash + 1);
    }
    return items;
}

}  // namespace

TEST(Speakers, MenuNumberingGivesTheTableBytesAndRecords)
{
    const int expectedBytes[] = {2, 3, 6, 7, 10, 11, 14, 15, 18, 19, 23, 24, 27, 28, 31, 32, 35, 36, 39, 40,
                                 42, 43, 46, 47, 50, 51, 54, 55, 58, 59,
                                 61, 62, 64, 65, 66, 68, 69,
                                 70, 72, 73, 74, 76, 77};
    std::map<int, std::string> all;
    for (int c = 0; c < CategoryCount; ++c) {
        const SpeakerMenuList& menu = speakerMenu(SpeakerCategory(c));
        for (const auto& item : flattenedItems(menu)) {
            int byte = menu.base + item.first;
            all[byte] = item.second;
            EXPECT_EQ(speakerCategory(byte), c) << byte;
            ASSERT_NE(speakerLabel(byte), nullptr) << byte;
            EXPECT_EQ(item.second, speakerLabel(byte)) << byte;
        }
    }
    ASSERT_EQ(all.size(), sizeof(expectedBytes) / sizeof(int));
    int n = 0;
    for (const auto& item : all) EXPECT_EQ(item.first, expectedBytes[n++]);

    // Records count up through Guitar and Bass, and again through Gears and Misc.
    int guitarBass = 0, gearMisc = 0;
    for (int b = 0; b < SpeakerTableSize; ++b) {
        bool selectable = all.count(b) != 0;
        EXPECT_EQ(isSelectableSpeaker(b), selectable) << b;
        if (!selectable) { EXPECT_EQ(speakerRecordIndex[b], 0) << b; continue; }
        EXPECT_EQ(speakerRecordIndex[b], speakerHasCabinet(b) ? guitarBass++ : gearMisc++) << b;
    }
    EXPECT_EQ(guitarBass, 30);
    EXPECT_EQ(gearMisc, 13);
    EXPECT_FALSE(isSelectableSpeaker(21));      // the Guitar separator
    EXPECT_FALSE(isSelectableSpeaker(78));
    EXPECT_FALSE(isSelectableSpeaker(-1));
    EXPECT_STREQ(speakerLabel(3), " Clst Vintage30 - 12 inch ");
    EXPECT_STREQ(speakerLabel(23), " Clst Cream - 10 inch ");
    EXPECT_STREQ(speakerLabel(70), " Full Range Speaker");
    EXPECT_STREQ(speakerLabel(62), " Palm09 - Bright ");
}

TEST(Speakers, CategoriesDefaultsAndMemories)
{
    EXPECT_EQ(speakerCategory(40), GuitarCategory);
    EXPECT_EQ(speakerCategory(41), BassCategory);
    EXPECT_EQ(speakerCategory(59), BassCategory);
    EXPECT_EQ(speakerCategory(60), GearsCategory);
    EXPECT_EQ(speakerCategory(69), GearsCategory);
    EXPECT_EQ(speakerCategory(70), MiscCategory);
    EXPECT_EQ(speakerCategory(255), MiscCategory);
    EXPECT_TRUE(speakerHasCabinet(59));
    EXPECT_FALSE(speakerHasCabinet(61));

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
