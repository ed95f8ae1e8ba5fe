// The Stereo Mics room: TIME, DEPTH and SIZE as heard; and every factory
// preset and a few hundred random blocks staying bounded.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "tools/dsp/DataGenerator.h"
#include "tests/dsp/Measure.h"
#include "sound/SoundModel.h"

using namespace sound;

namespace {

// Reflections and the direct room sound are over by 4600 samples; what the
// output carries after that is the reverb tail.
constexpr std::size_t kTailStart = 4700;

SoundModel* micsEngine() {
    SoundModel* e = new SoundModel(DSP_BIN_DIR);
    e->loadSpeaker(LeftSide, 70);   // Full Range: no filter ringing of its own
    e->setMode(1);
    return e;
}

}  // namespace

TEST(Room, TailDecayGrowsWithTime) {
    std::unique_ptr<SoundModel> e(micsEngine());
    e->setDepth(100);
    double previous = 0;
    for (int time : {10, 50, 90}) {
        e->setTime(time);
        const Stereo s = runImage(e->image(), impulse(48000, 0.5));
        // Energy of the late tail relative to the early tail.
        const double ratio = energy(s.left, 24000, 48000) / energy(s.left, kTailStart, 24000);
        EXPECT_GT(ratio, previous) << "TIME " << time;
        previous = ratio;
        EXPECT_GT(energy(s.right, kTailStart), 0.0);
    }
}

TEST(Room, WarmColorDarkensTheTail) {
    std::unique_ptr<SoundModel> e(micsEngine());
    e->setDepth(100);
    auto brightness = [&](int color) {
        e->setColor(color);
        const Stereo s = runImage(e->image(), impulse(24000, 0.5));
        const std::vector<double> tail(s.left.begin() + kTailStart, s.left.end());
        // Mean level from 4 to 8 kHz against 200 to 400 Hz, a few bins each.
        double high = 0, low = 0;
        for (int i = 0; i < 8; ++i) {
            high += dB(magnitudeAt(tail, 4000 + 500 * i)) / 8;
            low += dB(magnitudeAt(tail, 200 + 25 * i)) / 8;
        }
        return high - low;
    };
    const double lively = brightness(0), warm = brightness(3);
    EXPECT_LT(warm, lively - 6.0);
    EXPECT_LT(brightness(1), lively);
}

TEST(Room, DepthZeroLeavesNoTail) {
    std::unique_ptr<SoundModel> e(micsEngine());
    e->setDepth(0);
    Stereo s = runImage(e->image(), impulse(24000, 0.5));
    EXPECT_EQ(peak(s.left, kTailStart), 0.0);
    EXPECT_EQ(peak(s.right, kTailStart), 0.0);
    EXPECT_GT(peak(s.left, 50, kTailStart), 0.001);   // the reflections are there
    e->setDepth(50);
    s = runImage(e->image(), impulse(24000, 0.5));
    EXPECT_GT(peak(s.left, kTailStart), 0.001);
}

TEST(Room, MediumSizeMovesTheReflectionsLater) {
    std::unique_ptr<SoundModel> e(micsEngine());
    e->setDepth(0);
    auto firstLateSound = [&](const std::vector<double>& v) {
        for (std::size_t i = 10; i < v.size(); ++i)
            if (std::fabs(v[i]) > 1e-6) return i;
        return v.size();
    };
    auto centroid = [](const std::vector<double>& v) {
        double sum = 0, weighted = 0;
        for (std::size_t i = 10; i < v.size(); ++i) { sum += v[i] * v[i]; weighted += i * v[i] * v[i]; }
        return weighted / sum;
    };
    const Stereo small = runImage(e->image(), impulse(kTailStart, 0.5));
    e->setRoomSize(1);
    const Stereo medium = runImage(e->image(), impulse(kTailStart, 0.5));
    EXPECT_GT(firstLateSound(medium.left), firstLateSound(small.left));
    EXPECT_GT(centroid(medium.left), centroid(small.left) + 500);
    EXPECT_GT(centroid(medium.right), centroid(small.right) + 500);
}

TEST(Stability, FactoryPresetsStayBoundedOnTenSecondsOfNoise) {
    std::string text, error;
    ASSERT_TRUE(datagen::readText(std::string(DSP_BIN_DIR) + "/factoryset.fap", text, error)) << error;
    ASSERT_EQ(text.size(), 192u);
    SoundModel e(DSP_BIN_DIR);
    std::vector<double> input = whiteNoise(48000 * 10, 0.1, 99);
    input.resize(input.size() + 48000 * 2, 0.0);            // then two seconds of silence
    for (int p = 0; p < 8; ++p) {
        e.apply(reinterpret_cast<const uint8_t*>(text.data()) + 12 * p);
        const Stereo s = runImage(e.image(), input);
        for (const std::vector<double>* side : {&s.left, &s.right}) {
            EXPECT_LT(peak(*side), 0.999) << "preset " << p + 1;   // never pinned at full scale
            // Noise level stays steady rather than building up.
            EXPECT_LT(energy(*side, 48000 * 9, 48000 * 10), 2.0 * energy(*side, 48000 * 1, 48000 * 2) + 1e-9)
                << "preset " << p + 1;
        }
    }
}

namespace {

// Random valid blocks (selectable speakers, every byte in range), ten seconds
// of noise each, then half a second of silence: no output reaches full scale,
// and the sound dies away once the input stops.
void checkRandomBlocks(uint32_t seed, int count) {
    static const int speakers[] = {2, 3, 6, 7, 10, 11, 14, 15, 18, 19, 23, 24, 27, 28, 31, 32, 35, 36, 39, 40,
                                   42, 43, 46, 47, 50, 51, 54, 55, 58, 59, 61, 62, 64, 65, 66, 68, 69, 70,
                                   72, 73, 74, 76, 77};
    uint32_t s = seed;
    auto next = [&](int n) {
        s = s * 1664525u + 1013904223u;
        return int((s >> 8) % uint32_t(n));
    };
    SoundModel e(DSP_BIN_DIR);
    const std::size_t noiseEnd = 48000 * 10;
    std::vector<double> input = whiteNoise(noiseEnd, 0.1, seed);
    input.resize(noiseEnd + 24000, 0.0);
    for (int trial = 0; trial < count; ++trial) {
        uint8_t block[12];
        block[0] = uint8_t(next(256));
        block[1] = uint8_t(speakers[next(43)]);
        block[2] = uint8_t(speakers[next(43)]);
        block[3] = uint8_t(next(63));
        block[4] = uint8_t(next(63));
        block[5] = uint8_t(next(201));
        block[6] = uint8_t(next(201));
        block[7] = uint8_t(next(101));
        block[8] = uint8_t(next(101));
        block[9] = uint8_t(block[0] & 0x40 ? next(101) : next(251));
        block[10] = uint8_t(next(101));
        block[11] = uint8_t(next(101));
        e.apply(block);
        const Stereo out = runImage(e.image(), input);
        for (const std::vector<double>* side : {&out.left, &out.right}) {
            ASSERT_LT(peak(*side), 0.999) << "seed " << seed << " trial " << trial;
            ASSERT_LE(energy(*side, noiseEnd + 12000, noiseEnd + 24000),
                      energy(*side, noiseEnd - 12000, noiseEnd) + 1e-12)
                << "seed " << seed << " trial " << trial;
        }
    }
}

}  // namespace

// Four groups, so that a parallel test run spreads them over the cores.
TEST(Stability, RandomParameterBlocksStayBoundedA) { checkRandomBlocks(2026, 60); }
TEST(Stability, RandomParameterBlocksStayBoundedB) { checkRandomBlocks(4711, 60); }
TEST(Stability, RandomParameterBlocksStayBoundedC) { checkRandomBlocks(8128, 60); }
TEST(Stability, RandomParameterBlocksStayBoundedD) { checkRandomBlocks(65537, 60); }
