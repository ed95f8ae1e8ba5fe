// Field encoders and the real-valued computations.
#include <gtest/gtest.h>

#include "sound/DspModel.h"
#include "sound/FieldCodec.h"

TEST(FieldCodec, C16TruncatesTowardZeroInTwosComplement)
{
    EXPECT_EQ(encodeC16(-0.3), 0xECCD);     // 4915.2 -> 4915, negated
    EXPECT_EQ(encodeC16(0.3), 0x1333);
    EXPECT_EQ(encodeC16(1.5), 0x6000);
    EXPECT_EQ(encodeC16(-1.5), 0xA000);
    EXPECT_EQ(encodeC16(0.0), 0x0000);
    EXPECT_EQ(encodeC16(-0.00001), 0x0000); // below one step: zero, not -1
    EXPECT_EQ(encodeC16(1.99993896484375), 0x7FFF);
    EXPECT_EQ(encodeC16(-2.0), 0x8000);
}

TEST(FieldCodec, C16WritesOnlyTheTopTwoBytes)
{
    uint8_t word[4] = {0x11, 0x22, 0x33, 0x44};
    writeC16(word, -0.3);
    EXPECT_EQ(word[0], 0xEC);
    EXPECT_EQ(word[1], 0xCD);
    EXPECT_EQ(word[2], 0x33);
    EXPECT_EQ(word[3], 0x44);
    EXPECT_DOUBLE_EQ(decodeC16(int16_t(0xC000)), -1.0);
    EXPECT_DOUBLE_EQ(decodeC16(0x6000), 1.5);
}

TEST(FieldCodec, C11AndAddressShareAWordWithoutDisturbingEachOther)
{
    EXPECT_EQ(encodeC11(-0.6), 0x6CD);
    EXPECT_EQ(encodeC11(1.8), 0x399);
    EXPECT_EQ(encodeC11(-0.001), 0x000);

    uint8_t word[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    writeC11(word, -0.6);
    EXPECT_EQ(word[0], 0xD9);               // bits 3..10 of 0x6CD
    EXPECT_EQ(word[1], 0xBF);               // bits 0..2 on top, low five kept
    EXPECT_EQ(word[2], 0xFF);
    EXPECT_EQ(word[3], 0xFF);

    writeAddress(word, 10124);
    EXPECT_EQ(readAddress(word), 10124u);
    EXPECT_EQ(word[0], 0xD9);               // coefficient intact
    EXPECT_EQ(word[1] >> 5, 0x5);
    EXPECT_EQ(word[3] & 0x1F, 0);           // the low five bits are cleared

    writeC11(word, 1.8);
    EXPECT_EQ(readAddress(word), 10124u);   // address intact
    EXPECT_EQ(((word[0] << 3) | (word[1] >> 5)), 0x399);

    for (unsigned a : {0u, 1u, 7u, 8u, 255u, 256u, 2047u, 2048u, 6001u, 24003u, 65535u}) {
        uint8_t w[4] = {0xAB, 0xE0, 0, 0};
        writeAddress(w, a);
        EXPECT_EQ(readAddress(w), a);
        EXPECT_EQ(w[0], 0xAB);
        EXPECT_EQ(w[1] & 0xE0, 0xE0);
    }
}

TEST(Microphone, MidpointIsFlatAndEdgeTiltsTowardTheLows)
{
    ToneStage mid = microphoneTone(0.5);
    EXPECT_NEAR(mid.k, 0.09753744188417221, 1e-15);
    EXPECT_DOUBLE_EQ(mid.lowGain, 1.0);
    EXPECT_DOUBLE_EQ(mid.highGain, 1.0);

    ToneStage edge = microphoneTone(0.0);
    EXPECT_NEAR(edge.k, 0.0551588086047, 1e-12);
    EXPECT_NEAR(edge.lowGain, 1.78179743628, 1e-11);
    EXPECT_NEAR(edge.highGain, 0.648419777326, 1e-11);
    EXPECT_DOUBLE_EQ(edge.diff, edge.lowGain - edge.highGain);
}
