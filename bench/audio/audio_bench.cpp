// Prints, for the listening and export features:
//  - render speed as a multiple of real time (sealed and open cabinets,
//    Stereo Mics; goal: at least 20x);
//  - how closely an impulse response stands for a sound: each built-in clip
//    convolved with the response against the clip rendered, in dB, at the
//    clips' own level and 12 dB hotter (where the fixed-point arithmetic
//    saturates);
//  - change-to-hear latency: from handing the player a new sound to its first
//    changed sample leaving the output (goal: under 50 ms);
//  - CPU time of the whole process while listening, as a share of one core
//    (goal: under 10%).
// Exits 1 when a goal is missed.
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "tests/audio/alsa_sink.h"
#include "audio/di_clips.h"
#include "audio/player.h"
#include "audio/sound_render.h"
#include "sound/Params.h"
#include "sound/SoundModel.h"

namespace {

using Image = std::vector<uint8_t>;

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::vector<float> looped(const std::vector<float>& clip, std::size_t frames) {
    std::vector<float> out(frames);
    for (std::size_t i = 0; i < frames; ++i) out[i] = clip[i % clip.size()];
    return out;
}

double speed(const Image& image, const std::vector<float>& in) {
    const auto start = std::chrono::steady_clock::now();
    const audio::Stereo out = audio::render(image.data(), in, 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    volatile float keep = out.left.back();
    (void)keep;
    return in.size() / double(audio::PedalRate) / seconds;
}

// The first frame, counted from `from`, where two interleaved streams differ.
std::size_t firstDifference(const std::vector<float>& a, const std::vector<float>& b, std::size_t from) {
    for (std::size_t i = from; 2 * i + 1 < std::min(a.size(), b.size()); ++i)
        if (a[2 * i] != b[2 * i] || a[2 * i + 1] != b[2 * i + 1]) return i;
    return std::min(a.size(), b.size()) / 2;
}

}  // namespace

int main() {
    AlsaSink sink;     // before the audio system starts: it reads HOME/.asoundrc
    SoundModel model(ORVELLA_BIN_DIR);
    if (!model.coreFilesOk()) {
        std::fprintf(stderr, "audio_bench: the core files in %s are missing or short\n", ORVELLA_BIN_DIR);
        return 1;
    }
    // The figures below depend on what else the machine runs.
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) == 3)
        std::printf("Load average %.2f %.2f %.2f on %u cores\n", load[0], load[1], load[2],
                    std::thread::hardware_concurrency());
    auto image = [&] { return Image(model.image(), model.image() + 512); };
    const Image sealed = image();
    model.setCabinet(sound::LeftSide, true);
    model.setCabinet(sound::RightSide, true);
    const Image open = image();
    model.setMode(1);
    const Image mics = image();
    model.setRoomSize(1);
    model.setDepth(70);
    model.setTime(60);
    const Image room = image();
    bool ok = true;

    const std::vector<float> riff = looped(audio::makeClip(audio::Clip::GuitarRiff), audio::PedalRate * 20);
    std::printf("Render speed (20 s of the guitar riff, one core):\n");
    for (auto s : {std::make_pair("sealed cabinets", &sealed), {"open cabinets", &open}, {"Stereo Mics", &mics}}) {
        const double x = speed(*s.second, riff);
        std::printf("  %-16s %6.1fx real time%s\n", s.first, x, x < 20 ? "  (goal: 20x)" : "");
        ok = ok && x >= 20;
    }

    std::printf("Impulse response against the render (error energy, dB; lower is closer):\n");
    std::printf("  %-16s %-14s %9s %9s\n", "sound", "clip", "as is", "+12 dB");
    for (auto s : {std::make_pair("sealed cabinets", &sealed), {"open cabinets", &open}, {"Stereo Mics", &mics},
                   {"Mics, room on", &room}}) {
        const audio::Stereo ir = audio::impulseResponse(s.second->data());
        for (int c = 0; c < audio::ClipCount; ++c) {
            std::vector<float> clip = audio::makeClip(audio::Clip(c));
            double errors[2];
            for (int hot = 0; hot < 2; ++hot) {
                if (hot)
                    for (float& v : clip) v = std::clamp(v * 4.0f, -1.0f, 1.0f);
                const audio::Stereo rendered = audio::render(s.second->data(), clip, 0);
                errors[hot] = std::max(audio::errorDb(audio::convolve(clip, ir.left), rendered.left),
                                       audio::errorDb(audio::convolve(clip, ir.right), rendered.right));
            }
            std::printf("  %-16s %-14s %9.1f %9.1f\n", s.first, audio::clipName(audio::Clip(c)), errors[0], errors[1]);
        }
    }

    if (!sink.ready()) {
        std::fprintf(stderr, "audio_bench: cannot set up ALSA's file plugin\n");
        return 1;
    }
    // Listening: ten changes, a second apart, alternating two sounds.
    const std::vector<float> clip = audio::makeClip(audio::Clip::GuitarChords);
    audio::Player player(audio::systemAudioDevice());
    std::string error;
    if (!player.start(clip, sealed.data(), error)) {
        std::fprintf(stderr, "audio_bench: %s\n", error.c_str());
        return 1;
    }
    const double cpuStart = cpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    std::vector<uint64_t> changedAt;
    const int changes = 10;
    for (int i = 1; i <= changes; ++i) {
        sink.take(std::size_t(i) * audio::PedalRate);
        changedAt.push_back(sink.framesTaken());
        player.setSound(i % 2 ? open.data() : sealed.data());
    }
    const std::vector<float> played = sink.take(std::size_t(changes + 1) * audio::PedalRate);
    const double cpu = cpuSeconds() - cpuStart;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    player.stop();

    // Each sound plays from a cleared state from the block its change took
    // (the first from the start of the render, after the output's leading
    // silence); the first sample that differs from that sound going on marks
    // the block of the next change.
    // Aligned a tenth of a second in: before that the output may have taken
    // whole buffers faster than real time, leaving gaps.
    const audio::Stereo first = audio::render(sealed.data(), looped(clip, 48000), 0);
    const std::size_t probe = 4800;
    std::size_t lead = 0;
    auto matches = [&](std::size_t o) {
        for (std::size_t i = probe - o; i < probe - o + 256; ++i)
            if (played[2 * (i + o)] != first.left[i] || played[2 * (i + o) + 1] != first.right[i]) return false;
        return true;
    };
    while (lead < probe && !matches(lead)) ++lead;
    if (lead == probe) {
        std::fprintf(stderr, "audio_bench: the played samples are not the render\n");
        return 1;
    }
    const std::size_t block = audio::Player::BlockFrames;
    double worst = 0, sum = 0;
    int measured = 0;
    std::size_t segment = lead;     // where the sound now playing took over
    for (int i = 1; i <= changes; ++i) {
        const Image& now = (i - 1) % 2 ? open : sealed;
        const std::vector<float> in = looped(clip, played.size() / 2 - lead);
        const audio::Stereo going =
            audio::render(now.data(), std::vector<float>(in.begin() + long(segment - lead), in.end()), 0);
        std::vector<float> expected(played.size(), 0.0f);
        for (std::size_t k = 0; k < going.frames(); ++k) {
            expected[2 * (segment + k)] = going.left[k];
            expected[2 * (segment + k) + 1] = going.right[k];
        }
        const std::size_t differs = firstDifference(played, expected, i > 1 ? segment + block : probe);
        const std::size_t changed = lead + (differs - lead) / block * block;
        const double ms = (double(changed) - double(changedAt[size_t(i - 1)])) * 1000.0 / audio::PedalRate;
        // A gap the output filled with silence (an underrun on a busy machine)
        // shifts what follows: the changes after it cannot be timed.
        if (ms < 0 || ms > 500) break;
        worst = std::max(worst, ms);
        sum += ms;
        ++measured;
        segment = changed;
    }
    if (measured < changes)
        std::printf("  (an output underrun: only the first %d of %d changes could be timed)\n", measured, changes);
    std::printf("Change to hear (%d changes; output latency %.1f ms as reported, its pipe 10.7 ms):\n", measured,
                player.deviceLatency() * 1000);
    if (measured > 0)
        std::printf("  mean %.1f ms, worst %.1f ms%s\n", sum / measured, worst, worst > 50 ? "  (goal: under 50 ms)" : "");
    ok = ok && worst <= 50;
    const double share = 100 * cpu / wall;
    std::printf("CPU while listening: %.1f%% of one core over %.1f s (whole process, the paced reader included)%s\n",
                share, wall, share > 10 ? "  (goal: under 10%)" : "");
    std::printf("Output underruns: %llu frames\n", static_cast<unsigned long long>(player.framesMissed()));
    ok = ok && share <= 10;
    return ok ? 0 : 1;
}
