// Mode switches, delay variant, room controls and Solo.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/sound/EngineChecks.h"
#include "sound/DspModel.h"
#include "sound/FieldCodec.h"

using namespace sound;

namespace {

class Switches : public ::testing::Test {
protected:
    PatternBin bin;
    SoundModel model{bin.dir()};
    const uint8_t* img() const { return model.image(); }
    uint8_t before[512];
    void remember() { std::memcpy(before, img(), 512); }
    bool wordsKept(int from, int to) const
    {
        return std::memcmp(before + 4 * from, img() + 4 * from, size_t(4 * (to - from + 1))) == 0;
    }
};

}  // namespace

TEST_F(Switches, StereoMicsReplacesTheCoreAndStereoCabsRestoresIt)
{
    remember();
    EXPECT_TRUE(model.setMode(1));
    EXPECT_FALSE(model.setMode(1));
    EXPECT_TRUE(model.params()[Flags] & FlagStereoMics);
    EXPECT_TRUE(wordsKept(0, 45));
    EXPECT_EQ(0, std::memcmp(img() + 4 * 46, model.smCore(), 81 * 4));
    EXPECT_EQ(wordAt(img(), 127), 0x00000011u);
    EXPECT_EQ(model.params()[Blend_L], 25);
    EXPECT_EQ(model.params()[Blend_R], 25);

    // TIME 50, COLOR II, Small room, default levels with the rebuild's tail factor.
    EXPECT_EQ(c16At(img(), 46 + 37), 0x27AE);
    EXPECT_EQ(c16At(img(), 46 + 57), 0x27AE);
    for (int w : {66, 72, 89, 110}) EXPECT_EQ(c16At(img(), w), 0xE000) << w;
    EXPECT_EQ(addressAt(img(), 46 + 47), 9554u);
    EXPECT_EQ(addressAt(img(), 46 + 53), 0u);
    EXPECT_EQ(addressAt(img(), 46 + 72), 0u);
    const DspModel& m = model.model();
    double s = m.micsBlendL.sin, c = m.micsBlendL.cos;
    EXPECT_EQ(c11At(img(), 46 + 46), encodeC11(m.depthSin * s * 1.85));
    EXPECT_EQ(c11At(img(), 46 + 47), encodeC11(m.depthCos * s * -0.3));
    EXPECT_EQ(c11At(img(), 46 + 53), encodeC11(s * 0.6));
    EXPECT_EQ(c11At(img(), 46 + 72), encodeC11(s * -0.6));
    EXPECT_EQ(c16At(img(), 46 + 54), encodeC16(1.5 * c));
    EXPECT_EQ(c16At(img(), 46 + 4), c16At(before, 50));         // left gain follows
    EXPECT_EQ(c16At(img(), 46 + 1), 0x063E);

    EXPECT_TRUE(model.setMode(0));
    EXPECT_EQ(firstDifference(before, img()), -1);
    EXPECT_EQ(model.params()[Blend_L], 0);
    EXPECT_EQ(model.params()[Blend_R], 100);
}

TEST_F(Switches, EachModeKeepsItsOwnBlends)
{
    model.setBlend(LeftSide, 30);
    model.setMode(1);
    model.setBlend(LeftSide, 70);
    model.setBlend(RightSide, 10);
    model.setMode(0);
    EXPECT_EQ(model.params()[Blend_L], 30);
    EXPECT_EQ(model.params()[Blend_R], 100);
    model.setMode(1);
    EXPECT_EQ(model.params()[Blend_L], 70);
    EXPECT_EQ(model.params()[Blend_R], 10);
}

TEST_F(Switches, ChangesInStereoMicsUseTheirTailFactors)
{
    model.setMode(1);
    const DspModel& m = model.model();
    EXPECT_TRUE(model.setVolume(LeftSide, 150));
    double s = m.micsBlendL.sin;
    EXPECT_EQ(c11At(img(), 46 + 46), encodeC11(m.depthSin * 0.5 * s * 1.8));
    EXPECT_EQ(c16At(img(), 46 + 54), encodeC16(0.5 * 1.5 * m.micsBlendL.cos));
    EXPECT_EQ(c16At(model.scCore(), 7), 0x6000);    // Stereo Cabs volume word untouched

    EXPECT_TRUE(model.setDepth(0));                 // early reflections only
    EXPECT_EQ(c11At(img(), 46 + 46), 0u);
    EXPECT_EQ(c11At(img(), 46 + 47), encodeC11(0.5 * s * -0.3));
    EXPECT_EQ(addressAt(img(), 46 + 47), 9554u);     // taps keep their addresses
    EXPECT_TRUE(model.setDepth(100));
    double sR = m.micsBlendR.sin;
    EXPECT_EQ(c11At(img(), 46 + 65), encodeC11(m.depthSin * sR * 1.85));
    EXPECT_EQ(c11At(img(), 46 + 46), encodeC11(m.depthSin * 0.5 * s * 1.8));

    EXPECT_TRUE(model.setTime(0));
    EXPECT_EQ(c16At(img(), 46 + 37), 0x1000);
    model.setTime(100);
    EXPECT_EQ(c16At(img(), 46 + 57), 0x3F5C);
    const uint16_t colours[4] = {0xF000, 0xE000, 0xD000, 0xC000};
    for (int col = 0; col < 4; ++col) {
        EXPECT_TRUE(model.setColor(col));
        EXPECT_EQ(model.params()[Flags] & FlagColorMask, col);
        for (int w : {66, 72, 89, 110}) EXPECT_EQ(c16At(img(), w), colours[col]) << w;
    }

    // The left microphone writes the Stereo Mics core in this mode.
    model.setMic(LeftSide, 0);
    EXPECT_EQ(c16At(model.smCore(), 1), 0x0387);
    EXPECT_EQ(c16At(img(), 47), 0x0387);
    EXPECT_EQ(0, std::memcmp(img() + 4 * 46, model.smCore(), 81 * 4));
}

TEST_F(Switches, RoomSizeMovesTheTapsAndIgnoresARepeat)
{
    model.setMode(1);
    remember();
    EXPECT_FALSE(model.setRoomSize(0));
    EXPECT_EQ(firstDifference(before, img()), -1);
    EXPECT_TRUE(model.setRoomSize(1));
    EXPECT_TRUE(model.params()[Flags] & FlagRoomMedium);
    const uint16_t left[6] = {10124, 9306, 8851, 8741, 8525, 8257};
    const uint16_t right[6] = {10504, 10089, 9177, 8659, 8323, 8129};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(addressAt(img(), 46 + 47 + i), left[i]);
        EXPECT_EQ(addressAt(img(), 46 + 66 + i), right[i]);
        EXPECT_EQ(c11At(img(), 46 + 47 + i), c11At(before, 46 + 47 + i));
    }
    EXPECT_EQ(addressAt(img(), 46 + 53), 1200u);
    EXPECT_EQ(addressAt(img(), 46 + 72), 1200u);
    model.setRoomSize(0);
    EXPECT_EQ(addressAt(img(), 46 + 47), 9554u);
    EXPECT_EQ(addressAt(img(), 46 + 53), 0u);
    EXPECT_EQ(firstDifference(before, img()), -1);
}

TEST_F(Switches, RoomControlsInStereoCabsLeaveTheImageAlone)
{
    remember();
    EXPECT_FALSE(model.setRoomSize(1));
    EXPECT_FALSE(model.setTime(10));
    EXPECT_FALSE(model.setDepth(10));
    EXPECT_FALSE(model.setColor(3));
    EXPECT_EQ(firstDifference(before, img()), -1);
    model.setMode(1);                               // they take effect on entering
    EXPECT_EQ(addressAt(img(), 46 + 47), 10124u);
    EXPECT_EQ(c16At(img(), 46 + 37), encodeC16(0.74 * 0.1 + 0.25));
    EXPECT_EQ(c16At(img(), 66), 0xC000);
}

TEST_F(Switches, DelayVariantMovesTheDelayAndBlendFields)
{
    model.setLive(true);
    EXPECT_TRUE(model.setDelayVariant(1));
    EXPECT_TRUE(model.live());
    EXPECT_TRUE(model.params()[Flags] & FlagNotcher);
    EXPECT_EQ(addressAt(img(), 54), 0u);
    EXPECT_EQ(addressAt(img(), 55), 6001u);
    EXPECT_EQ(addressAt(img(), 113), 12002u);
    EXPECT_EQ(addressAt(img(), 114), 18003u);
    EXPECT_EQ(c16At(img(), scImage(10)), 0x4000);   // left own speaker
    EXPECT_EQ(c16At(img(), scImage(11)), 0x0000);
    EXPECT_EQ(c16At(img(), scImage(12)), 0x6000);   // left volume
    EXPECT_EQ(c16At(img(), scImage(24)), 0x4000);
    EXPECT_EQ(c16At(img(), scImage(26)), 0x6000);
    // Untouched variant words are the Notcher/Doubler file's.
    for (int w : {5, 6, 7, 19, 20, 21})
        EXPECT_EQ(wordAt(img(), scImage(w)), patternWord(CoreB, w)) << w;
    EXPECT_EQ(wordAt(img(), scImage(4)) & 0xFFFF, patternWord(CoreA, 4) & 0xFFFF);

    model.setDelay(0);
    EXPECT_EQ(addressAt(img(), 54), 6000u);
    EXPECT_TRUE(model.setDelayVariant(0));
    EXPECT_EQ(addressAt(img(), 57), 6000u);
    EXPECT_EQ(addressAt(img(), 58), 12001u);
    for (int w : {8, 9, 10, 22, 23, 24})
        EXPECT_EQ(wordAt(img(), scImage(w)), patternWord(CoreA, w)) << w;
}

TEST_F(Switches, LeftSoloCopiesTheLeftSpeakerIntoTheRightSlot)
{
    model.setMic(LeftSide, 0);
    remember();
    EXPECT_TRUE(model.setSolo(LeftSide, true));
    EXPECT_FALSE(model.setSolo(LeftSide, true));
    EXPECT_TRUE(model.solo(LeftSide));
    EXPECT_TRUE(wordsKept(0, 59));
    EXPECT_TRUE(slotHolds(img(), 60, FilterRFile, Sealed, 1));
    EXPECT_EQ(c16At(img(), 106), 0x0387);
    EXPECT_EQ(c16At(img(), 107), 0x4889);
    EXPECT_EQ(c16At(img(), 108), 0x297F);
    EXPECT_EQ(c16At(img(), 109), coePattern(Sealed, 1, 25));
    EXPECT_EQ(wordAt(img(), 106) & 0xFFFF, patternWord(CoreA, 15) & 0xFFFF);

    // The soloed side changes both slots; the muted side only its own block.
    EXPECT_TRUE(model.loadSpeaker(LeftSide, 7));
    EXPECT_TRUE(slotHolds(img(), 1, FilterLFile, Sealed, 3));
    EXPECT_TRUE(slotHolds(img(), 60, FilterRFile, Sealed, 3));
    EXPECT_TRUE(model.setMic(LeftSide, 62));
    EXPECT_EQ(c16At(img(), 106), 0x08D6);
    remember();
    EXPECT_FALSE(model.loadSpeaker(RightSide, 42));
    EXPECT_FALSE(model.setMic(RightSide, 0));
    EXPECT_FALSE(model.setCabinet(RightSide, false));
    EXPECT_EQ(firstDifference(before, img()), -1);
    EXPECT_EQ(model.params()[Speaker_R], 42);
    EXPECT_EQ(c16At(model.scCore(), 15), 0x0387);
    EXPECT_TRUE(model.setVolume(RightSide, 0));    // volume ignores solo
    EXPECT_EQ(c16At(img(), scImage(21)), 0xA000);

    // Ending the solo plays the right side's own, changed, settings.
    EXPECT_TRUE(model.setSolo(LeftSide, false));
    EXPECT_TRUE(slotHolds(img(), 60, FilterRFile, Sealed, 20));
    EXPECT_EQ(wordAt(img(), 106), wordAt(model.scCore(), 15));
    EXPECT_EQ(c16At(img(), 106), 0x0387);
    EXPECT_EQ(c16At(img(), 109), coePattern(Sealed, 20, 25));
    EXPECT_TRUE(slotHolds(img(), 1, FilterLFile, Sealed, 3));
}

TEST_F(Switches, RightSoloMirrorsAndSwitchingSidesRestoresTheLeft)
{
    remember();
    EXPECT_TRUE(model.setSolo(RightSide, true));
    EXPECT_TRUE(slotHolds(img(), 1, FilterLFile, Open, 10));
    EXPECT_EQ(c16At(img(), 50), coePattern(Open, 10, 25));
    EXPECT_TRUE(wordsKept(60, 127));
    EXPECT_FALSE(model.setMic(LeftSide, 0));
    EXPECT_EQ(c16At(img(), 47), 0x063E);

    EXPECT_TRUE(model.setSolo(LeftSide, true));    // only one side at a time
    EXPECT_FALSE(model.solo(RightSide));
    EXPECT_TRUE(slotHolds(img(), 1, FilterLFile, Sealed, 1));
    EXPECT_EQ(c16At(img(), 47), 0x0387);            // the left side's own, changed, tone
    EXPECT_EQ(c16At(img(), 50), coePattern(Sealed, 1, 25));
    EXPECT_TRUE(slotHolds(img(), 60, FilterRFile, Sealed, 1));
    EXPECT_EQ(c16At(img(), 106), 0x0387);
}

TEST_F(Switches, StereoMicsEndsSoloAndKeepsItsOwnCoreWords)
{
    model.setSolo(RightSide, true);
    EXPECT_TRUE(model.setMode(1));
    EXPECT_FALSE(model.solo(RightSide));
    EXPECT_TRUE(slotHolds(img(), 1, FilterLFile, Sealed, 1));
    // Words 47..50 are the Stereo Mics core's own, not the Stereo Cabs core's.
    EXPECT_EQ(0, std::memcmp(img() + 4 * 46, model.smCore(), 81 * 4));
    EXPECT_EQ(wordAt(img(), 47) & 0xFFFF, patternWord(SmCoreFile, 1) & 0xFFFF);
    EXPECT_FALSE(model.setSolo(LeftSide, true));   // no Solo in Stereo Mics

    model.setMode(0);
    model.setSolo(LeftSide, true);
    remember();
    model.setMode(1);
    EXPECT_FALSE(model.solo(LeftSide));
    EXPECT_TRUE(wordsKept(0, 45));
    model.setMode(0);
    EXPECT_TRUE(slotHolds(img(), 60, FilterRFile, Open, 10));
}

TEST_F(Switches, RightSideInStereoMicsDoesNotTouchTheRoomCore)
{
    model.setMode(1);
    remember();
    EXPECT_FALSE(model.loadSpeaker(RightSide, 42));
    EXPECT_FALSE(model.setMic(RightSide, 3));
    EXPECT_FALSE(model.setDelay(0));
    EXPECT_EQ(firstDifference(before, img()), -1);
    model.setMode(0);
    EXPECT_TRUE(slotHolds(img(), 60, FilterRFile, Open, 20));
    EXPECT_EQ(addressAt(img(), 57), 6000u);
}
