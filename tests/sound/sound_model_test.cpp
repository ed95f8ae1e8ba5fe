// The model's first image, file loading, speakers and the valuator commits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/sound/EngineChecks.h"
#include "sound/CoreFiles.h"
#include "sound/DspModel.h"
#include "sound/FieldCodec.h"
#include "sound/Speakers.h"

using namespace sound;

namespace {

class Model : public ::testing::Test {
protected:
    PatternBin bin;
    SoundModel model{bin.dir()};
    const uint8_t* img() const { return model.image(); }
};

}  // namespace

TEST_F(Model, DefaultImage)
{
    ASSERT_TRUE(model.coreFilesOk()) << model.loadProblems();
    EXPECT_EQ(0, std::memcmp(model.params(), defaultParams, ParamCount));
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

TEST_F(Model, ConstructionEqualsApplyingTheDefaultBlockAndTheModelTable)
{
    uint8_t before[512];
    std::memcpy(before, img(), 512);
    model.apply(defaultParams);
    EXPECT_EQ(firstDifference(before, img()), -1);

    const DspModel& m = model.model();
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
    EXPECT_TRUE(model.live());
    EXPECT_EQ(model.stereoMode(), 0);
    EXPECT_EQ(model.savedSpeaker(LeftSide), 3);
    EXPECT_EQ(model.savedSpeaker(RightSide), 23);
}

TEST(ModelFiles, MissingOrOneByteShortFileClearsTheFlagAndLoadingGoesOn)
{
    for (int f = 0; f < 8; ++f) {
        for (int shortBy : {0, 1}) {
            PatternBin bin;
            if (shortBy) bin.shorten(PatternFile(f), 1);
            else bin.remove(PatternFile(f));
            SoundModel model(bin.dir());
            EXPECT_FALSE(model.coreFilesOk()) << coreFileSlices[f].name << " short " << shortBy;
            EXPECT_NE(model.loadProblems().find(coreFileSlices[f].name), std::string::npos);
            // The files after the bad one are still read.
            if (f < FilterRFile) {
                EXPECT_EQ(wordAt(model.filterBlock(RightSide), 1), patternWord(FilterRFile, 1));
            }
        }
    }
    PatternBin bin;
    SoundModel whole(bin.dir());
    EXPECT_TRUE(whole.coreFilesOk());
    SoundModel nowhere("/nonexistent/bin");
    EXPECT_FALSE(nowhere.coreFilesOk());
}

TEST_F(Model, CoreFilesAreReadFromTheirOffsets)
{
    for (int w = 0; w < 81; ++w) {
        if (w == 1 || w == 2 || w == 3 || w == 4 || w == 20 || w == 26 || w == 37 || w == 43 || w == 57 ||
            w == 64 || (w >= 46 && w <= 54) || (w >= 65 && w <= 73))
            continue;
        EXPECT_EQ(wordAt(model.smCore(), w), patternWord(SmCoreFile, w)) << w;
    }
    EXPECT_EQ(wordAt(model.filterBlock(LeftSide), 44), patternWord(FilterLFile, 44));
    EXPECT_EQ(wordAt(model.filterBlock(RightSide), 44), 0x000007E6u);
    EXPECT_EQ(wordAt(model.filterBlock(RightSide), 41), patternWord(FilterRFile, 41));
}

TEST_F(Model, MicrophoneWordsAtEdgeAndCentre)
{
    EXPECT_TRUE(model.setMic(LeftSide, 0));
    EXPECT_EQ(model.params()[Mic_L], 0);
    EXPECT_EQ(c16At(img(), 47), 0x0387);
    EXPECT_EQ(c16At(img(), 48), 0x4889);
    EXPECT_EQ(c16At(img(), 49), 0x297F);
    EXPECT_EQ(c16At(model.scCore(), 1), 0x0387);
    EXPECT_EQ(c16At(img(), 106), 0x063E);        // the right side is untouched

    EXPECT_TRUE(model.setMic(RightSide, 62));
    EXPECT_EQ(c16At(img(), 106), 0x08D6);
    EXPECT_EQ(c16At(img(), 107), 0xB777);
    EXPECT_EQ(c16At(img(), 108), 0x7208);
    EXPECT_EQ(wordAt(img(), 108) & 0xFFFF, patternWord(CoreA, 17) & 0xFFFF);

    model.setMic(RightSide, 99);                // clamped to the wheel's range
    EXPECT_EQ(model.params()[Mic_R], 62);
}

TEST_F(Model, VolumeBlendAndDelayWords)
{
    EXPECT_TRUE(model.setVolume(LeftSide, 0));
    EXPECT_EQ(c16At(img(), scImage(7)), 0xA000);
    model.setVolume(LeftSide, 100);
    EXPECT_EQ(c16At(img(), scImage(7)), 0x0000);
    model.setVolume(RightSide, 255);            // clamped: no field overflow
    EXPECT_EQ(model.params()[Volume_R], 200);
    EXPECT_EQ(c16At(img(), scImage(21)), 0x6000);

    model.setBlend(LeftSide, 50);
    model.setBlend(RightSide, 50);
    for (int w : {5, 6, 19, 20}) EXPECT_EQ(c16At(img(), scImage(w)), 0x2D41) << w;
    model.setBlend(RightSide, 0);               // right output takes the left speaker only
    EXPECT_EQ(c16At(img(), scImage(19)), 0x0000);
    EXPECT_EQ(c16At(img(), scImage(20)), 0x4000);
    EXPECT_EQ(model.model().cabsBlendR.position, 0);

    EXPECT_TRUE(model.setDelay(0));
    EXPECT_EQ(addressAt(img(), 57), 6000u);
    EXPECT_EQ(addressAt(img(), 58), 12001u);
    EXPECT_EQ(addressAt(img(), 116), 12002u);
    EXPECT_EQ(addressAt(img(), 117), 18003u);
    model.setDelay(250);
    EXPECT_EQ(addressAt(img(), 57), 0u);
    EXPECT_EQ(addressAt(img(), 58), 6001u);
    EXPECT_EQ(addressAt(img(), 116), 18002u);
    EXPECT_EQ(addressAt(img(), 117), 24003u);
    EXPECT_EQ(c11At(img(), 117), patternWord(CoreA, 26) >> 21);

    // Ultra-short keeps the relative position and delays by samples.
    model.setDelay(125);
    EXPECT_TRUE(model.setUltraShort(true));
    EXPECT_EQ(model.params()[Delay], 50);
    EXPECT_TRUE(model.params()[Flags] & FlagUltraShort);
    EXPECT_FALSE(model.setUltraShort(true));
    model.setDelay(0);
    EXPECT_EQ(addressAt(img(), 57), 50u);
    EXPECT_EQ(addressAt(img(), 58), 6051u);
    model.setDelay(180);                        // clamped to the short range
    EXPECT_EQ(model.params()[Delay], 100);
    EXPECT_EQ(addressAt(img(), 116), 12052u);
    model.setDelay(49);
    model.setUltraShort(false);
    EXPECT_EQ(model.params()[Delay], 122);
    EXPECT_EQ(addressAt(img(), 57), 144u);
}

TEST_F(Model, SpeakerRecordFollowsByteAndCabinetBit)
{
    EXPECT_TRUE(model.loadSpeaker(LeftSide, 42));
    EXPECT_TRUE(slotHolds(img(), 1, FilterLFile, Sealed, 20));
    EXPECT_EQ(c16At(img(), 50), coePattern(Sealed, 20, 25));
    EXPECT_EQ(model.savedSpeaker(LeftSide), 42);
    EXPECT_EQ(model.categoryMemory().speakerFor(0, BassCategory), 42);

    EXPECT_TRUE(model.setCabinet(LeftSide, true));
    EXPECT_TRUE(model.params()[Flags] & FlagLeftOpen);
    EXPECT_TRUE(slotHolds(img(), 1, FilterLFile, Open, 20));
    EXPECT_FALSE(model.setCabinet(LeftSide, true));      // already opened

    EXPECT_TRUE(model.setCabinet(RightSide, false));
    EXPECT_TRUE(slotHolds(img(), 60, FilterRFile, Sealed, 10));

    // Gears and Misc speakers ignore the cabinet bit.
    model.loadSpeaker(RightSide, 62);
    EXPECT_TRUE(slotHolds(img(), 60, FilterRFile, GearMisc, 1));
    uint8_t before[512];
    std::memcpy(before, img(), 512);
    EXPECT_FALSE(model.setCabinet(RightSide, true));
    EXPECT_TRUE(model.params()[Flags] & FlagRightOpen);
    EXPECT_EQ(firstDifference(before, img()), -1);
    model.loadSpeaker(RightSide, 62);
    EXPECT_TRUE(slotHolds(img(), 60, FilterRFile, GearMisc, 1));

    model.loadSpeaker(LeftSide, 77);
    EXPECT_TRUE(slotHolds(img(), 1, FilterLFile, GearMisc, 12));

    // A byte that names no item loads the category's default.
    model.loadSpeaker(RightSide, 44);
    EXPECT_EQ(model.params()[Speaker_R], 42);
    EXPECT_TRUE(slotHolds(img(), 60, FilterRFile, Open, 20));
}

TEST_F(Model, EverySelectableByteLoadsItsRecord)
{
    for (int b = 0; b < SpeakerTableSize; ++b) {
        if (!isSelectableSpeaker(b)) continue;
        for (bool opened : {false, true}) {
            model.setCabinet(LeftSide, opened);
            model.loadSpeaker(LeftSide, b);
            int set = !speakerHasCabinet(b) ? GearMisc : opened ? Open : Sealed;
            ASSERT_TRUE(slotHolds(img(), 1, FilterLFile, set, speakerRecordIndex(b))) << b;
            EXPECT_EQ(model.params()[Speaker_L], b);
        }
    }
}
