// The engine's first image, file loading, speakers and the valuator commits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "EngineChecks.h"
#include "sound/CoreFiles.h"
#include "sound/DspModel.h"
#include "sound/FieldCodec.h"
#include "sound/Speakers.h"

using namespace sound;

namespace {

class Engine : public ::testing::Test {
protected:
    PatternBin bin;
    SoundEngine engine{bin.dir()};
    const uint8_t* img() const { return engine.image(); }
};

}  // namespace

TEST_F(Engine, DefaultImage)
{
    ASSERT_TRUE(engine.coreFilesOk()) << engine.loadProblems();
    EXPECT_EQ(0, std::memcmp(engine.params(), defaultParams, ParamCount));
    EXPECT_EQ(wordAt(img(), 0), 0x014012D2u);
    for (int w = 119; w < 128; ++w) EXPECT_EQ(wordAt(img(), w), 0x00000011u) << w;

    // Left "Clst Vintage30 - 12 inch" sealed, right "Clst Cream - 10 inch" opened.
    EXPECT_TRUE(slotHolds(img(), 1, FilterLFile, Sealed, 1));
    EXPECT_TRUE(slotHolds(img(), 60, FilterRFile, Open, 10));

    // Both microphones centred, full volume, full separation, no delay.
    for (int side = 0; side < 2; ++side) {
        int t = side ? 106 : 47;
        EXPECT_EQ(c16At(img(), t), 0x063E);
        EXPECT_EQ(c16At(img(), t + 1), 0x0000);
        EXPECT_EQ(c16At(img(), t + 2), 0x4000);
    }
    EXPECT_EQ(c16At(img(), 50), coePattern(Sealed, 1, 25));
    EXPECT_EQ(c16At(img(), 109), coePattern(Open, 10, 25));
    EXPECT_EQ(c16At(img(), scImage(5)), 0x4000);
    EXPECT_EQ(c16At(img(), scImage(6)), 0x0000);
    EXPECT_EQ(c16At(img(), scImage(7)), 0x6000);
    EXPECT_EQ(c16At(img(), scImage(19)), 0x4000);
    EXPECT_EQ(c16At(img(), scImage(20)), 0x0000);
    EXPECT_EQ(c16At(img(), scImage(21)), 0x6000);
    EXPECT_EQ(addressAt(img(), 57), 0u);
    EXPECT_EQ(addressAt(img(), 58), 6001u);
    EXPECT_EQ(addressAt(img(), 116), 12002u);
    EXPECT_EQ(addressAt(img(), 117), 18003u);

    // Unpatched Stereo Cabs core words come from the Stereo Enhancer file as read.
    for (int w : {0, 8, 9, 10, 13, 14, 22, 23, 24, 27})
        EXPECT_EQ(wordAt(img(), scImage(w)), patternWord(CoreA, w)) << w;
    // Patched C16 words keep their low bytes; address words keep the C11 bits.
    for (int w : {1, 2, 3, 4, 5, 6, 7, 15, 16, 17, 18, 19, 20, 21})
        EXPECT_EQ(wordAt(img(), scImage(w)) & 0xFFFF, patternWord(CoreA, w) & 0xFFFF) << w;
    for (int w : {11, 12, 25, 26})
        EXPECT_EQ(wordAt(img(), scImage(w)) >> 21, patternWord(CoreA, w) >> 21) << w;
}

TEST_F(Engine, ConstructionEqualsApplyingTheDefaultBlockAndTheModelTable)
{
    uint8_t before[512];
    std::memcpy(before, img(), 512);
    engine.apply(defaultParams);
    EXPECT_EQ(firstDifference(before, img()), -1);

    const DspModel& m = engine.model();
    const DspModel table;
    EXPECT_NEAR(m.toneL.k, table.toneL.k, 1e-15);
    EXPECT_NEAR(m.toneR.diff, 0.0, 1e-15);
    EXPECT_DOUBLE_EQ(m.volumeL, 1.0);
    EXPECT_DOUBLE_EQ(m.volumeR, 1.0);
    EXPECT_NEAR(m.cabsBlendL.cos, 1.0, 1e-12);
    EXPECT_NEAR(m.cabsBlendR.sin, 1.0, 1e-12);
    EXPECT_NEAR(m.cabsBlendR.cos, 0.0, 1e-12);
    EXPECT_EQ(m.cabsBlendR.position, 100);
    EXPECT_NEAR(m.micsBlendL.cos, std::cos(M_PI / 8), 1e-12);
    EXPECT_EQ(m.micsBlendR.position, 25);
    EXPECT_NEAR(m.timeCoef, 0.62, 1e-12);
    EXPECT_NEAR(m.depthCos, std::cos(M_PI / 4), 1e-12);
    EXPECT_NEAR(m.colorCoef, -0.5, 1e-12);
    EXPECT_NEAR(m.speakerGainL, int16_t(coePattern(Sealed, 1, 25)) / 16384.0, 1e-12);
    EXPECT_EQ(m.delayL, 0);
    EXPECT_EQ(m.roomSize, 0);
    EXPECT_TRUE(engine.live());
    EXPECT_EQ(engine.stereoMode(), 0);
    EXPECT_EQ(engine.savedSpeaker(LeftSide), 3);
    EXPECT_EQ(engine.savedSpeaker(RightSide), 23);
}

TEST(EngineFiles, MissingOrOneByteShortFileClearsTheFlagAndLoadingGoesOn)
{
    for (int f = 0; f < 8; ++f) {
        for (int shortBy : {0, 1}) {
            PatternBin bin;
            if (shortBy) bin.shorten(PatternFile(f), 1);
            else bin.remove(PatternFile(f));
            SoundEngine engine(bin.dir());
            EXPECT_FALSE(engine.coreFilesOk()) << coreFileSlices[f].name << " short " << shortBy;
            EXPECT_NE(engine.loadProblems().find(coreFileSlices[f].name), std::string::npos);
            // The files after the bad one are still read.
            if (f < FilterRFile) {
                EXPECT_EQ(wordAt(engine.filterBlock(RightSide), 1), patternWord(FilterRFile, 1));
            }
        }
    }
    PatternBin bin;
    SoundEngine whole(bin.dir());
    EXPECT_TRUE(whole.coreFilesOk());
    SoundEngine nowhere("/nonexistent/bin");
    EXPECT_FALSE(nowhere.coreFilesOk());
}

TEST_F(Engine, CoreFilesAreReadFromTheirOffsets)
{
    for (int w = 0; w < 81; ++w) {
        if (w == 1 || w == 2 || w == 3 || w == 4 || w == 20 || w == 26 || w == 37 || w == 43 || w == 57 ||
            w == 64 || (w >= 46 && w <= 54) || (w >= 65 && w <= 73))
            continue;
        EXPECT_EQ(wordAt(engine.smCore(), w), patternWord(SmCoreFile, w)) << w;
    }
    EXPECT_EQ(wordAt(engine.filterBlock(LeftSide), 44), patternWord(FilterLFile, 44));
    EXPECT_EQ(wordAt(engine.filterBlock(RightSide), 44), 0x000007E6u);
    EXPECT_EQ(wordAt(engine.filterBlock(RightSide), 41), patternWord(FilterRFile, 41));
}

TEST_F(Engine, MicrophoneWordsAtEdgeAndCentre)
{
    EXPECT_TRUE(engine.setMic(LeftSide, 0));
    EXPECT_EQ(engine.params()[Mic_L], 0);
    EXPECT_EQ(c16At(img(), 47), 0x0387);
    EXPECT_EQ(c16At(img(), 48), 0x4889);
    EXPECT_EQ(c16At(img(), 49), 0x297F);
    EXPECT_EQ(c16At(engine.scCore(), 1), 0x0387);
    EXPECT_EQ(c16At(img(), 106), 0x063E);        // the right side is untouched

    EXPECT_TRUE(engine.setMic(RightSide, 62));
    EXPECT_EQ(c16At(img(), 106), 0x08D6);
    EXPECT_EQ(c16At(img(), 107), 0xB777);
    EXPECT_EQ(c16At(img(), 108), 0x7208);
    EXPECT_EQ(wordAt(img(), 108) & 0xFFFF, patternWord(CoreA, 17) & 0xFFFF);

    engine.setMic(RightSide, 99);                // clamped to the wheel's range
    EXPECT_EQ(engine.params()[Mic_R], 62);
}

TEST_F(Engine, VolumeBlendAndDelayWords)
{
    EXPECT_TRUE(engine.setVolume(LeftSide, 0));
    EXPECT_EQ(c16At(img(), scImage(7)), 0xA000);
    engine.setVolume(LeftSide, 100);
    EXPECT_EQ(c16At(img(), scImage(7)), 0x0000);
    engine.setVolume(RightSide, 255);            // clamped: no field overflow
    EXPECT_EQ(engine.params()[Volume_R], 200);
    EXPECT_EQ(c16At(img(), scImage(21)), 0x6000);

    engine.setBlend(LeftSide, 50);
    engine.setBlend(RightSide, 50);
    for (int w : {5, 6, 19, 20}) EXPECT_EQ(c16At(img(), scImage(w)), 0x2D41) << w;
    engine.setBlend(RightSide, 0);               // right output takes the left speaker only
    EXPECT_EQ(c16At(img(), scImage(19)), 0x0000);
    EXPECT_EQ(c16At(img(), scImage(20)), 0x4000);
    EXPECT_EQ(engine.model().cabsBlendR.position, 0);

    EXPECT_TRUE(engine.setDelay(0));
    EXPECT_EQ(addressAt(img(), 57), 6000u);
    EXPECT_EQ(addressAt(img(), 58), 12001u);
    EXPECT_EQ(addressAt(img(), 116), 12002u);
    EXPECT_EQ(addressAt(img(), 117), 18003u);
    engine.setDelay(250);
    EXPECT_EQ(addressAt(img(), 57), 0u);
    EXPECT_EQ(addressAt(img(), 58), 6001u);
    EXPECT_EQ(addressAt(img(), 116), 18002u);
    EXPECT_EQ(addressAt(img(), 117), 24003u);
    EXPECT_EQ(c11At(img(), 117), patternWord(CoreA, 26) >> 21);

    // Ultra-short keeps the relative position and delays by samples.
    engine.setDelay(125);
    EXPECT_TRUE(engine.setUltraShort(true));
    EXPECT_EQ(engine.params()[Delay], 50);
    EXPECT_TRUE(engine.params()[Flags] & FlagUltraShort);
    EXPECT_FALSE(engine.setUltraShort(true));
    engine.setDelay(0);
    EXPECT_EQ(addressAt(img(), 57), 50u);
    EXPECT_EQ(addressAt(img(), 58), 6051u);
    engine.setDelay(180);                        // clamped to the short range
    EXPECT_EQ(engine.params()[Delay], 100);
    EXPECT_EQ(addressAt(img(), 116), 12052u);
    engine.setDelay(49);
    engine.setUltraShort(false);
    EXPECT_EQ(engine.params()[Delay], 122);
    EXPECT_EQ(addressAt(img(), 57), 144u);
}

TEST_F(Engine, SpeakerRecordFollowsByteAndCabinetBit)
{
    EXPECT_TRUE(engine.loadSpeaker(LeftSide, 42));
    EXPECT_TRUE(slotHolds(img(), 1, FilterLFile, Sealed, 20));
    EXPECT_EQ(c16At(img(), 50), coePattern(Sealed, 20, 25));
    EXPECT_EQ(engine.savedSpeaker(LeftSide), 42);
    EXPECT_EQ(engine.categoryMemory().speakerFor(0, BassCategory), 42);

    EXPECT_TRUE(engine.setCabinet(LeftSide, true));
    EXPECT_TRUE(engine.params()[Flags] & FlagLeftOpen);
    EXPECT_TRUE(slotHolds(img(), 1, FilterLFile, Open, 20));
    EXPECT_FALSE(engine.setCabinet(LeftSide, true));      // already opened

    EXPECT_TRUE(engine.setCabinet(RightSide, false));
    EXPECT_TRUE(slotHolds(img(), 60, FilterRFile, Sealed, 10));

    // Gears and Misc speakers ignore the cabinet bit.
    engine.loadSpeaker(RightSide, 62);
    EXPECT_TRUE(slotHolds(img(), 60, FilterRFile, GearMisc, 1));
    uint8_t before[512];
    std::memcpy(before, img(), 512);
    EXPECT_FALSE(engine.setCabinet(RightSide, true));
    EXPECT_TRUE(engine.params()[Flags] & FlagRightOpen);
    EXPECT_EQ(firstDifference(before, img()), -1);
    engine.loadSpeaker(RightSide, 62);
    EXPECT_TRUE(slotHolds(img(), 60, FilterRFile, GearMisc, 1));

    engine.loadSpeaker(LeftSide, 77);
    EXPECT_TRUE(slotHolds(img(), 1, FilterLFile, GearMisc, 12));

    // A byte that names no item loads the category's default.
    engine.loadSpeaker(RightSide, 44);
    EXPECT_EQ(engine.params()[Speaker_R], 42);
    EXPECT_TRUE(slotHolds(img(), 60, FilterRFile, Open, 20));
}

TEST_F(Engine, EverySelectableByteLoadsItsRecord)
{
    for (int b = 0; b < SpeakerTableSize; ++b) {
        if (!isSelectableSpeaker(b)) continue;
        for (bool opened : {false, true}) {
            engine.setCabinet(LeftSide, opened);
            engine.loadSpeaker(LeftSide, b);
            int set = !speakerHasCabinet(b) ? GearMisc : opened ? Open : Sealed;
            ASSERT_TRUE(slotHolds(img(), 1, FilterLFile, set, speakerRecordIndex(b))) << b;
            EXPECT_EQ(engine.params()[Speaker_L], b);
        }
    }
}
