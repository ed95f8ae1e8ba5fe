// What the editor composes, heard through the interpreter: volume and phase,
// the one-channel delay, the blends and the microphone tone.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/dsp/Measure.h"
#include "sound/SoundModel.h"

using namespace sound;

namespace {

constexpr int FullRange = 70;
constexpr int Megaphone = 76;
constexpr int TelephoneB = 73;
constexpr int Vintage30_12 = 3;
constexpr int Cream10 = 23;

Stereo playImpulse(const SoundModel& e, std::size_t n = 8192, double height = 0.25) {
    return runImage(e.image(), impulse(n, height));
}

}  // namespace

TEST(Sound, VolumeMuteSilencesItsSideAndZeroInvertsThePhase) {
    SoundModel e(DSP_BIN_DIR);
    const std::vector<double> noise = whiteNoise(4800, 1.0, 7);
    e.setVolume(LeftSide, 100);
    Stereo muted = runImage(e.image(), noise);
    EXPECT_LT(dB(peak(muted.left)), -90.0);
    EXPECT_GT(dB(peak(muted.right)), -20.0);   // the other side still plays

    e.setVolume(LeftSide, 200);
    const Stereo full = runImage(e.image(), whiteNoise(4800, 0.25, 7));
    e.setVolume(LeftSide, 0);
    const Stereo inverted = runImage(e.image(), whiteNoise(4800, 0.25, 7));
    ASSERT_GT(peak(full.left), 0.05);
    for (std::size_t i = 0; i < full.left.size(); ++i)
        ASSERT_NEAR(inverted.left[i], -full.left[i], 1e-6) << i;

    e.setVolume(RightSide, 100);
    muted = runImage(e.image(), noise);
    EXPECT_LT(dB(peak(muted.right)), -90.0);
}

TEST(Sound, DelaySliderDelaysOneSideOnly) {
    SoundModel e(DSP_BIN_DIR);
    e.loadSpeaker(LeftSide, FullRange);
    e.loadSpeaker(RightSide, FullRange);
    Stereo s = playImpulse(e, 6100);
    EXPECT_EQ(peakIndex(s.left), peakIndex(s.right));         // 125: neither lags

    e.setDelay(0);
    s = playImpulse(e, 6100);
    EXPECT_EQ(peakIndex(s.left), peakIndex(s.right) + 6000);  // 125 ms

    e.setDelay(250);
    s = playImpulse(e, 6100);
    EXPECT_EQ(peakIndex(s.right), peakIndex(s.left) + 6000);

    e.setUltraShort(true);
    e.setDelay(0);
    s = playImpulse(e, 200);
    EXPECT_EQ(peakIndex(s.left), peakIndex(s.right) + 50);
    e.setDelay(50);
    s = playImpulse(e, 200);
    EXPECT_EQ(peakIndex(s.left), peakIndex(s.right));
}

TEST(Sound, DefaultBlendsKeepEachSpeakerOnItsOwnSide) {
    SoundModel e(DSP_BIN_DIR);
    e.loadSpeaker(LeftSide, Vintage30_12);
    e.loadSpeaker(RightSide, Megaphone);
    const Stereo a = playImpulse(e);
    e.loadSpeaker(RightSide, TelephoneB);
    const Stereo b = playImpulse(e);
    e.loadSpeaker(LeftSide, Cream10);
    const Stereo c = playImpulse(e);
    for (std::size_t i = 0; i < a.left.size(); ++i) {
        ASSERT_EQ(a.left[i], b.left[i]) << i;      // the right speaker never reaches the left
        ASSERT_EQ(b.right[i], c.right[i]) << i;    // nor the left speaker the right
    }
    EXPECT_GT(peak(a.left), 0.01);
    EXPECT_GT(peak(b.right), 0.01);
}

TEST(Sound, BlendFiftyMixesBothSpeakersAtEqualPower) {
    SoundModel e(DSP_BIN_DIR);
    e.loadSpeaker(LeftSide, Vintage30_12);
    e.loadSpeaker(RightSide, TelephoneB);
    const Stereo own = playImpulse(e);            // blend 0: left speaker only
    e.setBlend(LeftSide, 100);
    const Stereo other = playImpulse(e);          // blend 100: right speaker only
    e.setBlend(LeftSide, 50);
    const Stereo half = playImpulse(e);
    const double w = std::cos(M_PI / 4);
    for (std::size_t i = 0; i < half.left.size(); ++i)
        ASSERT_NEAR(half.left[i], w * (own.left[i] + other.left[i]), 2e-4) << i;
    // The right side mirrors it: blend 50 on the right.
    e.setBlend(RightSide, 50);
    const Stereo both = playImpulse(e);
    for (std::size_t i = 0; i < both.right.size(); ++i)
        ASSERT_NEAR(both.right[i], both.left[i], 2e-4) << i;
}

TEST(Sound, MicrophoneEdgeAndCenterTiltTheToneAsComputed) {
    SoundModel e(DSP_BIN_DIR);
    e.loadSpeaker(LeftSide, Vintage30_12);
    e.setMic(LeftSide, 31);                                   // flat
    const Stereo flat = playImpulse(e, 16384);
    struct { int mic; double low, high; } cases[] = {
        {0, 1.78179743628, 0.648419777326},                   // Edge: warm
        {62, 0.648419777326, 1.78179743628},                  // Center: bright
    };
    for (const auto& c : cases) {
        e.setMic(LeftSide, c.mic);
        const Stereo s = playImpulse(e, 16384);
        const double low = magnitudeAt(s.left, 100) / magnitudeAt(flat.left, 100);
        const double high = magnitudeAt(s.left, 8000) / magnitudeAt(flat.left, 8000);
        EXPECT_NEAR(dB(low), dB(c.low), 1.0) << "mic " << c.mic;
        EXPECT_NEAR(dB(high), dB(c.high), 1.0) << "mic " << c.mic;
    }
}

TEST(Sound, NotcherDoublerDelaysTheOwnSpeakerInsideTheBlend) {
    SoundModel e(DSP_BIN_DIR);
    e.loadSpeaker(LeftSide, FullRange);
    e.loadSpeaker(RightSide, FullRange);
    e.setDelayVariant(1);
    e.setUltraShort(true);
    e.setDelay(40);                                           // the left speaker 10 samples late
    e.setBlend(LeftSide, 50);
    Stereo s = playImpulse(e, 400);
    const std::size_t first = peakIndex(s.right);             // the right output is undelayed
    EXPECT_GT(std::fabs(s.left[first]), 0.01);
    EXPECT_NEAR(s.left[first + 10], s.left[first], 1e-6);     // equal weights: both paths
    // The comb: a deep notch at 2400 Hz (half a period of 10 samples), a peak at 4800 Hz.
    EXPECT_LT(dB(magnitudeAt(s.left, 2400) / magnitudeAt(s.left, 4800)), -40.0);

    // At the blend's endpoints one path is silent and the response stays flat.
    for (int blend : {0, 100}) {
        e.setBlend(LeftSide, blend);
        s = playImpulse(e, 400);
        EXPECT_NEAR(dB(magnitudeAt(s.left, 2400) / magnitudeAt(s.left, 4800)), 0.0, 0.01) << blend;
        EXPECT_EQ(peakIndex(s.left), blend == 0 ? first + 10 : first) << blend;
    }
}

TEST(Sound, WithoutDelayBothVariantsPlayTheSameMix) {
    SoundModel e(DSP_BIN_DIR);
    e.loadSpeaker(LeftSide, Vintage30_12);
    e.loadSpeaker(RightSide, TelephoneB);
    for (int blend : {0, 30, 50, 100}) {
        e.setBlend(LeftSide, blend);
        e.setBlend(RightSide, 100 - blend);
        e.setVolume(RightSide, 40);
        e.setDelayVariant(0);
        const Stereo enhancer = playImpulse(e, 4096);
        e.setDelayVariant(1);
        const Stereo notcher = playImpulse(e, 4096);
        for (std::size_t i = 0; i < enhancer.left.size(); ++i) {
            ASSERT_NEAR(notcher.left[i], enhancer.left[i], 1e-8) << "blend " << blend << " sample " << i;
            ASSERT_NEAR(notcher.right[i], enhancer.right[i], 1e-8) << "blend " << blend << " sample " << i;
        }
    }
}
