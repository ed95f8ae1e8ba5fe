// Field encoders and the real-valued computations.
#include <gtest/gtest.h>

#include <cmath>

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

TEST(Microphone, EdgeCentreAndMidpoint)
{
    ToneStage mid = microphoneTone(0.5);
    EXPECT_NEAR(mid.k, 0.09753744188417221, 1e-15);
    EXPECT_DOUBLE_EQ(mid.lowGain, 1.0);
    EXPECT_DOUBLE_EQ(mid.highGain, 1.0);
    EXPECT_EQ(encodeC16(mid.k), 0x063E);
    EXPECT_EQ(encodeC16(mid.diff), 0x0000);
    EXPECT_EQ(encodeC16(mid.highGain), 0x4000);

    ToneStage edge = microphoneTone(0.0);
    EXPECT_NEAR(edge.k, 0.0551588086047, 1e-12);
    EXPECT_NEAR(edge.lowGain, 1.78179743628, 1e-11);
    EXPECT_NEAR(edge.highGain, 0.648419777326, 1e-11);
    EXPECT_EQ(encodeC16(edge.k), 0x0387);
    EXPECT_EQ(encodeC16(edge.diff), 0x4889);
    EXPECT_EQ(encodeC16(edge.highGain), 0x297F);

    ToneStage centre = microphoneTone(1.0);
    EXPECT_EQ(encodeC16(centre.k), 0x08D6);
    EXPECT_EQ(encodeC16(centre.diff), 0xB777);
    EXPECT_EQ(encodeC16(centre.highGain), 0x7208);
}

TEST(Model, VolumeBlendTimeColour)
{
    EXPECT_EQ(encodeC16(1.5 * volumeGain(200)), 0x6000);
    EXPECT_EQ(encodeC16(1.5 * volumeGain(0)), 0xA000);
    EXPECT_EQ(encodeC16(1.5 * volumeGain(100)), 0x0000);

    double theta = blendAngle(50);
    EXPECT_EQ(encodeC16(std::cos(theta)), 0x2D41);
    EXPECT_EQ(encodeC16(std::sin(theta)), 0x2D41);
    EXPECT_EQ(encodeC16(std::cos(blendAngle(0))), 0x4000);
    EXPECT_EQ(encodeC16(std::sin(blendAngle(100))), 0x4000);
    EXPECT_EQ(encodeC16(std::cos(blendAngle(100))), 0x0000);

    EXPECT_EQ(encodeC16(timeCoefficient(50)), 0x27AE);
    EXPECT_EQ(encodeC16(timeCoefficient(0)), 0x1000);
    EXPECT_EQ(encodeC16(timeCoefficient(100)), 0x3F5C);
    const uint16_t colours[4] = {0xF000, 0xE000, 0xD000, 0xC000};
    for (int c = 0; c < 4; ++c) EXPECT_EQ(encodeC16(colorCoefficient(c)), colours[c]) << c;
}

TEST(Model, DelayDelaysAtMostOneSide)
{
    double l, r;
    delaySamples(125, false, l, r);
    EXPECT_EQ(l, 0); EXPECT_EQ(r, 0);
    delaySamples(0, false, l, r);
    EXPECT_EQ(l, 6000); EXPECT_EQ(r, 0);
    delaySamples(250, false, l, r);
    EXPECT_EQ(l, 0); EXPECT_EQ(r, 6000);
    delaySamples(124, false, l, r);
    EXPECT_EQ(l, 48); EXPECT_EQ(r, 0);
    delaySamples(50, true, l, r);
    EXPECT_EQ(l, 0); EXPECT_EQ(r, 0);
    delaySamples(0, true, l, r);
    EXPECT_EQ(l, 50); EXPECT_EQ(r, 0);
    delaySamples(100, true, l, r);
    EXPECT_EQ(l, 0); EXPECT_EQ(r, 50);
}
