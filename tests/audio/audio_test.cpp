// Offline rendering, impulse responses, the resampler, the WAV files and the
// player's hand-over to an output, without a sound card.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <thread>

#include "DspEngine.h"
#include "audio/di_clips.h"
#include "audio/player.h"
#include "audio/resampler.h"
#include "audio/sound_render.h"
#include "sound/Params.h"
#include "sound/SoundEngine.h"
#include "wav_file.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

double peakOf(const std::vector<float>& v) {
    double p = 0;
    for (float x : v) p = std::max(p, double(std::fabs(x)));
    return p;
}

// The gain of a response at f Hz, in dB.
double gainDb(const std::vector<float>& ir, int rate, double f) {
    double re = 0, im = 0;
    for (std::size_t n = 0; n < ir.size(); ++n) {
        re += ir[n] * std::cos(2 * kPi * f * n / rate);
        im -= ir[n] * std::sin(2 * kPi * f * n / rate);
    }
    return 10 * std::log10(re * re + im * im + 1e-30);
}

std::string scratch(const std::string& name) {
    const char* dir = std::getenv("TMPDIR");
    static const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::string(dir ? dir : "/tmp") + "/orvella_audio_" + std::to_string(stamp) + "_" + name;
}

// A few sounds the Dashboard can make: the default, other speakers and
// cabinets, both modes, the room on.
std::vector<std::vector<uint8_t>> someSounds(bool withRoom) {
    SoundEngine engine(ORVELLA_BIN_DIR);
    EXPECT_TRUE(engine.coreFilesOk());
    std::vector<std::vector<uint8_t>> sounds;
    auto keep = [&] {
        sounds.emplace_back(engine.image(), engine.image() + 512);
        if (sounds.size() > 1) {
            EXPECT_NE(sounds.back(), sounds[sounds.size() - 2]);
        }
    };
    keep();
    engine.loadSpeaker(sound::LeftSide, 25);
    engine.loadSpeaker(sound::RightSide, 45);
    engine.setVolume(sound::LeftSide, 150);
    engine.setCabinet(sound::RightSide, true);
    keep();
    engine.setMode(1);
    engine.setMic(sound::LeftSide, 50);
    keep();
    if (withRoom) {
        engine.setDepth(80);
        engine.setTime(70);
        keep();
    }
    return sounds;
}

}  // namespace

TEST(ImpulseResponse, IsTheRenderedResponseCutAtTheFloorAndStandsForLinearSounds) {
    const std::vector<float> clip = audio::makeClip(audio::Clip::GuitarChords);
    for (const auto& image : someSounds(false)) {
        const audio::Stereo ir = audio::impulseResponse(image.data());
        ASSERT_GE(ir.frames(), 1u);
        ASSERT_LE(ir.frames(), 96000u);
        // The response to a unit impulse, frame for frame, where it is kept.
        const audio::Stereo direct = audio::render(image.data(), std::vector<float>(1, 1.0f), 96000 - 1);
        for (std::size_t i = 0; i < ir.frames(); ++i) {
            ASSERT_EQ(ir.left[i], direct.left[i]) << i;
            ASSERT_EQ(ir.right[i], direct.right[i]) << i;
        }
        // What was cut stays below -90 dB of the peak.
        const double floor = std::max(peakOf(direct.left), peakOf(direct.right)) * std::pow(10.0, -90 / 20.0);
        for (std::size_t i = ir.frames(); i < direct.frames(); ++i)
            ASSERT_LE(std::max(std::fabs(direct.left[i]), std::fabs(direct.right[i])), floor) << i;
        // Convolving the clip with it gives the rendered clip closely.
        const audio::Stereo rendered = audio::render(image.data(), clip, 0);
        const double error = std::max(audio::errorDb(audio::convolve(clip, ir.left), rendered.left),
                                      audio::errorDb(audio::convolve(clip, ir.right), rendered.right));
        std::printf("IR of %zu frames: convolved clip against render %.1f dB\n", ir.frames(), error);
        EXPECT_LT(error, -30.0);
    }
}

TEST(ImpulseResponse, At441KeepsTheGainAndNormalisingSetsThePeak) {
    for (const auto& image : someSounds(true)) {
        const audio::Stereo a = audio::impulseResponse(image.data());
        audio::IrOptions options;
        options.rate = 44100;
        const audio::Stereo b = audio::impulseResponse(image.data(), options);
        ASSERT_LE(b.frames(), 88200u);
        // The response keeps its gain across the band, to a tenth of a dB.
        for (double f : {200.0, 1000.0, 5000.0}) {
            const double ga = gainDb(a.left, 48000, f), gb = gainDb(b.left, 44100, f);
            EXPECT_NEAR(gb, ga, 0.1) << f << " Hz";
        }
        options.normalise = true;
        const audio::Stereo n = audio::impulseResponse(image.data(), options);
        EXPECT_NEAR(std::max(peakOf(n.left), peakOf(n.right)), std::pow(10.0, -1 / 20.0), 1e-6);
    }
}

TEST(Resampler, KeepsATonePassingAndLengthsRight) {
    for (auto rates : {std::pair<int, int>{44100, 48000}, {96000, 48000}, {22050, 48000}, {48000, 44100}}) {
        const int from = rates.first, to = rates.second;
        std::vector<float> tone(from / 2);
        for (std::size_t i = 0; i < tone.size(); ++i) tone[i] = float(0.5 * std::sin(2 * kPi * 1000.0 * i / from));
        const std::vector<float> out = audio::resample(tone, from, to);
        EXPECT_EQ(out.size(), (tone.size() * to + from - 1) / from);
        // Away from the ends, the same tone at the new rate, to -80 dB.
        std::vector<float> ideal(out.size()), got(out.size());
        for (std::size_t i = out.size() / 4; i < out.size() * 3 / 4; ++i) {
            ideal[i] = float(0.5 * std::sin(2 * kPi * 1000.0 * i / to));
            got[i] = out[i];
        }
        EXPECT_LT(audio::errorDb(got, ideal), -80.0) << from << " to " << to;
    }
    // Above the new Nyquist frequency nothing comes through (no aliasing).
    std::vector<float> high(48000);
    for (std::size_t i = 0; i < high.size(); ++i) high[i] = float(0.5 * std::sin(2 * kPi * 30000.0 * i / 96000));
    const std::vector<float> down = audio::resample(high, 96000, 48000);
    EXPECT_LT(peakOf(std::vector<float>(down.begin() + 1000, down.end() - 1000)), 1e-3);
}

TEST(WavFile, EveryFormatReadsBackAndDamagedFilesAreRefusedOrCut) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> level(-1.2f, 1.2f);
    for (wav::Format format : {wav::Format::Int16, wav::Format::Int24, wav::Format::Float32})
        for (int channels : {1, 2})
            for (int rate : {44100, 48000, 96000}) {
                wav::Audio a;
                a.rate = rate;
                a.channels = channels;
                a.samples.resize(size_t(channels) * 301);
                for (float& v : a.samples) v = level(random);
                const std::vector<uint8_t> bytes = wav::encode(a, format);
                wav::Audio b;
                std::string error;
                ASSERT_TRUE(wav::parse(bytes.data(), bytes.size(), b, error, "x")) << error;
                ASSERT_EQ(b.rate, rate);
                ASSERT_EQ(b.channels, channels);
                ASSERT_EQ(b.samples.size(), a.samples.size());
                const double step = format == wav::Format::Int16 ? 1 / 32768.0 : format == wav::Format::Int24 ? 1 / 8388608.0 : 0;
                for (std::size_t i = 0; i < a.samples.size(); ++i) {
                    // Integer formats clip at full scale.
                    const double expected = format == wav::Format::Float32 ? a.samples[i] : std::clamp(a.samples[i], -1.0f, 1.0f);
                    ASSERT_NEAR(b.samples[i], expected, step) << i;
                }
                // Any cut keeps the whole frames before it or is refused, never more.
                for (std::size_t cut = 0; cut < bytes.size(); cut += 37) {
                    wav::Audio c;
                    if (wav::parse(bytes.data(), cut, c, error, "x")) {
                        ASSERT_LE(c.samples.size(), a.samples.size());
                        ASSERT_EQ(c.samples.size() % channels, 0u);
                    } else {
                        ASSERT_FALSE(error.empty());
                    }
                }
            }
    // The write replaces a file only whole; a folder that is not there is an error.
    wav::Audio a;
    a.samples = {0.5f, -0.5f};
    std::string error;
    EXPECT_FALSE(wav::write("/nonexistent-folder/x.wav", a, wav::Format::Int24, error));
    EXPECT_NE(error.find("/nonexistent-folder/x.wav"), std::string::npos);
}

TEST(DiClips, AreTheSameEverywhereAudibleUnclippedAndLoopQuietly) {
    for (int c = 0; c < audio::ClipCount; ++c) {
        const auto clip = audio::Clip(c);
        const std::vector<float> a = audio::makeClip(clip), b = audio::makeClip(clip);
        EXPECT_EQ(a, b) << audio::clipName(clip);
        EXPECT_GT(a.size(), 48000u * 4);
        EXPECT_GT(peakOf(a), 0.2);
        EXPECT_LT(peakOf(a), 1.0);
        // The loop joins the silent end to the start.
        EXPECT_LT(peakOf(std::vector<float>(a.end() - 480, a.end())), 1e-3);
    }
    // A user's 44.1 kHz stereo file plays as mono at 48 kHz.
    wav::Audio file;
    file.rate = 44100;
    file.channels = 2;
    file.samples.assign(44100 * 2, 0.25f);
    const std::string path = scratch("di.wav");
    std::string error;
    ASSERT_TRUE(wav::write(path, file, wav::Format::Int16, error)) << error;
    std::vector<float> di;
    ASSERT_TRUE(audio::loadDiFile(path, di, error)) << error;
    EXPECT_EQ(di.size(), 48000u);
    EXPECT_NEAR(di[24000], 0.25, 1e-3);
    std::remove(path.c_str());
    EXPECT_FALSE(audio::loadDiFile(path, di, error));
    EXPECT_NE(error.find(path), std::string::npos);
}

namespace {

// An output the test drives: it pulls when the test says so, and can refuse
// to open or go away.
struct FakeDevice : audio::AudioDevice {
    Pull pull = nullptr;
    void* user = nullptr;
    std::string refuse;
    bool gone = false;
    bool start(int, Pull p, void* u, std::string& error) override {
        if (!refuse.empty()) {
            error = refuse;
            return false;
        }
        pull = p;
        user = u;
        return true;
    }
    void stop() override { pull = nullptr; }
    bool healthy(std::string& problem) override {
        if (gone) problem = "gone";
        return !gone;
    }
    double latency() const override { return 0; }
};

}  // namespace

TEST(Player, HandsOverTheRenderInAnySizeAndReportsADeviceThatFailsOrGoes) {
    const auto image = someSounds(false)[1];
    std::vector<float> clip = audio::makeClip(audio::Clip::BassLine);
    clip.resize(5000);   // loops several times in the test
    auto* device = new FakeDevice;
    audio::Player player(std::unique_ptr<audio::AudioDevice>(device), 2048);
    std::string error;
    ASSERT_TRUE(player.start(clip, image.data(), error)) << error;
    std::vector<float> played;
    std::mt19937 random(3);
    while (played.size() < 2 * 30000) {
        const unsigned long n = 1 + random() % 700;
        while (player.buffered() < n) std::this_thread::sleep_for(std::chrono::microseconds(200));
        std::vector<float> chunk(2 * n);
        device->pull(device->user, chunk.data(), n);
        played.insert(played.end(), chunk.begin(), chunk.end());
    }
    EXPECT_EQ(player.framesMissed(), 0u);
    std::vector<float> in(played.size() / 2);
    for (std::size_t i = 0; i < in.size(); ++i) in[i] = clip[i % clip.size()];
    const audio::Stereo reference = audio::render(image.data(), in, 0);
    for (std::size_t i = 0; i < in.size(); ++i) {
        ASSERT_EQ(played[2 * i], reference.left[i]) << i;
        ASSERT_EQ(played[2 * i + 1], reference.right[i]) << i;
    }
    // Asked for more than is rendered, the output gets silence, counted.
    std::vector<float> big(2 * 8000, 1.0f);
    device->pull(device->user, big.data(), 8000);
    EXPECT_GT(player.framesMissed(), 0u);
    EXPECT_EQ(big.back(), 0.0f);

    device->gone = true;
    EXPECT_FALSE(player.healthy(error));
    EXPECT_EQ(error, "gone");
    EXPECT_FALSE(player.playing());

    device->refuse = "busy";
    EXPECT_FALSE(player.start(clip, image.data(), error));
    EXPECT_EQ(error, "busy");
    EXPECT_FALSE(player.playing());
    EXPECT_FALSE(player.start(std::vector<float>(), image.data(), error));
}
