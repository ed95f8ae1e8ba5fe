// Offline rendering, impulse responses, the resampler, the WAV files and the
// player's hand-over to an output, without a sound card.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <thread>

#include "dsp/DspInterpreter.h"
#include "audio/di_clips.h"
#include "audio/player.h"
#include "audio/resampler.h"
#include "audio/sound_render.h"
#include "sound/Params.h"
#include "sound/SoundModel.h"
#include "sound/Speakers.h"
#include "dsp/WavFile.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

double peakOf(const std::vector<float>& v) {
    double p = 0;
    for (float x : v) p = std::max(p, double(std::fabs(x)));
    return p;
}

std::string scratch(const std::string& name) {
    const char* dir = std::getenv("TMPDIR");
    static const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::string(dir ? dir : "/tmp") + "/orvella_audio_" + std::to_string(stamp) + "_" + name;
}

// A few sounds the Dashboard can make: the default, other speakers and
// cabinets, both modes, the room on.
std::vector<std::vector<uint8_t>> someSounds(bool withRoom) {
    SoundModel engine(ORVELLA_BIN_DIR);
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

// Every speaker on both sides at the Dashboard's default volume: the
// response is linear (no stage saturates), so a quiet DI convolved with it
// is the render (to -59 dB or better: the rounding of the low resonances),
// at 48 kHz and, allowing for the lead, at 44.1 kHz; a float
// response keeps its peak above full scale, an integer one is scaled down
// by whole dB.
TEST(ImpulseResponse, IsTheLinearResponseOfEverySpeakerAtEitherRate) {
    std::vector<float> di = audio::makeClip(audio::Clip::GuitarRiff);
    di.resize(12000);
    for (float& v : di) v *= 0.25f;   // peaks near -17 dBFS
    const std::vector<float> di44 = audio::resample(di, 48000, 44100);
    SoundModel engine(ORVELLA_BIN_DIR);
    ASSERT_TRUE(engine.coreFilesOk());
    bool aboveFullScale = false;
    for (int speaker = 0; speaker <= sound::HighestSpeaker; ++speaker) {
        if (!isSelectableSpeaker(speaker)) continue;
        engine.loadSpeaker(sound::LeftSide, speaker);
        engine.loadSpeaker(sound::RightSide, speaker);
        audio::IrInfo info;
        const audio::Stereo ir = audio::impulseResponse(engine.image(), audio::IrOptions(), &info);
        const audio::Stereo rendered = audio::renderSound(engine.image(), di).sound;
        const double error = std::max(audio::errorDb(audio::convolve(di, ir.left), rendered.left),
                                      audio::errorDb(audio::convolve(di, ir.right), rendered.right));
        EXPECT_LT(error, -55.0) << "speaker " << speaker << " impulse " << info.level;
        aboveFullScale = aboveFullScale || info.peak > 1.0f;

        audio::IrOptions at44;
        at44.rate = 44100;
        at44.integer = true;
        audio::IrInfo info44;
        const audio::Stereo ir44 = audio::impulseResponse(engine.image(), at44, &info44);
        EXPECT_LT(std::max(peakOf(ir44.left), peakOf(ir44.right)), info44.gainDb ? 0.8913 : audio::FullScale);
        EXPECT_EQ(info44.gainDb, info44.peak >= audio::FullScale ? -std::ceil(20 * std::log10(info44.peak) + 1) : 0);
        const double back = std::pow(10.0, -info44.gainDb / 20);
        for (auto channel : {std::make_pair(&ir44.left, &rendered.left), {&ir44.right, &rendered.right}}) {
            std::vector<float> heard = audio::convolve(di44, *channel.first);
            heard.erase(heard.begin(), heard.begin() + long(info44.lead));
            for (float& v : heard) v = float(v * back);
            // Near 22 kHz one path is filtered twice: compared below 14 kHz.
            const std::vector<float> expected = audio::resample(*channel.second, 48000, 44100);
            EXPECT_LT(audio::errorDb(audio::resample(heard, 44100, 32000), audio::resample(expected, 44100, 32000)), -50.0)
                << "speaker " << speaker << " at 44.1 kHz";
        }
    }
    EXPECT_TRUE(aboveFullScale);
}

// The tail rule, on a response that rings (the room, long and deep): the
// response runs on while it is above -90 dB of its peak and ends with 10 ms
// below it; a render's tail ends the same way, well past a fixed second.
TEST(ImpulseResponse, AndARenderEndWhenTheSoundFallsBelowTheFloor) {
    SoundModel engine(ORVELLA_BIN_DIR);
    engine.setMode(1);
    engine.setDepth(100);
    engine.setTime(100);
    const double floor = std::pow(10.0, audio::TailFloorDb / 20);
    const std::size_t kept = std::size_t(audio::TailKeptMs * 48);
    audio::IrInfo info;
    const audio::Stereo ir = audio::impulseResponse(engine.image(), audio::IrOptions(), &info);
    const audio::Stereo whole = audio::render(engine.image(), std::vector<float>(1, float(info.level)), ir.frames() + 48000);
    auto louder = [&](const audio::Stereo& s, std::size_t i, double than) {
        return std::max(std::fabs(s.left[i]), std::fabs(s.right[i])) > than;
    };
    const double peak = std::max(peakOf(whole.left), peakOf(whole.right));
    ASSERT_GT(ir.frames(), 48000u);
    for (std::size_t i = ir.frames() - kept; i < whole.frames(); ++i)
        ASSERT_FALSE(louder(whole, i, peak * floor)) << i;
    EXPECT_TRUE(louder(whole, ir.frames() - kept - 1, peak * floor));

    const std::vector<float> di = audio::makeClip(audio::Clip::GuitarChords);
    const audio::Rendered r = audio::renderSound(engine.image(), di);
    const double renderedPeak = std::max(peakOf(r.sound.left), peakOf(r.sound.right));
    ASSERT_GT(r.sound.frames(), di.size() + 48000);
    EXPECT_TRUE(louder(r.sound, r.sound.frames() - kept - 1, renderedPeak * floor));
    EXPECT_FALSE(louder(r.sound, r.sound.frames() - 1, renderedPeak * floor));
    const audio::Stereo fixed = audio::render(engine.image(), di, r.sound.frames() - di.size());
    EXPECT_EQ(fixed.left, r.sound.left);
    EXPECT_EQ(fixed.right, r.sound.right);
    // The default sound at full volume driven hot clips: counted, with the peak.
    SoundModel loud(ORVELLA_BIN_DIR);
    loud.setVolume(sound::LeftSide, 200);
    std::vector<float> hot = di;
    for (float& v : hot) v = std::clamp(v * 4, -1.0f, 1.0f);
    const audio::Rendered clipped = audio::renderSound(loud.image(), hot);
    EXPECT_GT(clipped.clipped, 0u);
    EXPECT_GE(clipped.peak, audio::FullScale);
    EXPECT_EQ(audio::renderSound(engine.image(), di).clipped, 0u);
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
    // An output that runs ahead of rendering (asking at once, larger than the
    // ring holds ready) gets silence, counted, for what is missing, and what
    // it took still goes on with the render without a gap.
    std::vector<float> taken;
    for (int i = 0; i < 40; ++i) {
        const uint64_t before = player.framesPlayed();
        std::vector<float> big(2 * 6000, 1.0f);
        device->pull(device->user, big.data(), 6000);
        const std::size_t got = std::size_t(player.framesPlayed() - before);
        taken.insert(taken.end(), big.begin(), big.begin() + long(2 * got));
        // What was missing is silence. (Whether a pull comes short depends on
        // how far rendering got meanwhile; the first one always does.)
        EXPECT_EQ(std::count(big.begin() + long(2 * got), big.end(), 0.0f), long(big.size() - 2 * got)) << i;
    }
    EXPECT_GT(player.framesMissed(), 0u);
    for (std::size_t i = 0; i < taken.size() / 2; ++i) in.push_back(clip[in.size() % clip.size()]);
    const audio::Stereo whole = audio::render(image.data(), in, 0);
    for (std::size_t i = 0, at = played.size() / 2; i < taken.size() / 2; ++i, ++at) {
        ASSERT_EQ(taken[2 * i], whole.left[at]) << i;
        ASSERT_EQ(taken[2 * i + 1], whole.right[at]) << i;
    }

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
