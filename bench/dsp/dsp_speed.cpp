// The interpreter's cost, as a multiple of real time (48 kHz), in CPU time of
// the measuring thread so that other work on the machine counts as little as
// it can:
//  - one instance fed 64-frame blocks, as the DAW plugin and the player feed
//    it (goal: at least 100x real time, under 1% of a core);
//  - the offline render that `orvella-cli render` and the exports run
//    (audio::render, quarter-second blocks), side by side in the same run.
// For the sealed and open cabinets of Stereo Cabs and for Stereo Mics, over
// 10 s of noise; each measured five times, interleaved, with the median and
// the best printed, and the load average before and after. Exits 1 when a
// median of the 64-frame instance misses the goal.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "dsp/DspInterpreter.h"
#include "audio/sound_render.h"
#include "sound/SoundModel.h"

namespace {

constexpr double kGoal = 100;
constexpr int kRuns = 5;
constexpr std::size_t kBlock = 64;

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

double realTime(std::size_t frames, double seconds) { return frames / double(dspisa::kSampleRate) / seconds; }

// One instance, one block of 64 frames at a time.
double blocks(const uint8_t* image, const std::vector<float>& in) {
    std::vector<float> left(kBlock), right(kBlock);
    DspInterpreter engine;
    engine.load(image);
    float sink = 0;
    const double start = threadSeconds();
    for (std::size_t done = 0; done + kBlock <= in.size(); done += kBlock) {
        engine.run(in.data() + done, left.data(), right.data(), kBlock);
        sink += left[0] + right[kBlock - 1];
    }
    const double seconds = threadSeconds() - start;
    volatile float keep = sink;     // the work stays observable
    (void)keep;
    return realTime(in.size() / kBlock * kBlock, seconds);
}

// The render path of orvella-cli render.
double render(const uint8_t* image, const std::vector<float>& in) {
    const double start = threadSeconds();
    const audio::Stereo out = audio::render(image, in, 0);
    const double seconds = threadSeconds() - start;
    volatile float keep = out.left.back();
    (void)keep;
    return realTime(in.size(), seconds);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void printLoad(const char* when) {
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) == 3) std::printf("load average %s: %.2f %.2f %.2f\n", when, load[0], load[1], load[2]);
}

}  // namespace

int main() {
    SoundModel composer(DSP_BIN_DIR);
    if (!composer.coreFilesOk()) {
        std::fprintf(stderr, "dsp_speed: the core files in %s are missing or short\n", DSP_BIN_DIR);
        return 1;
    }
    struct Sound {
        const char* name;
        std::vector<uint8_t> image;
    };
    std::vector<Sound> sounds;
    auto take = [&](const char* name) { sounds.push_back({name, std::vector<uint8_t>(composer.image(), composer.image() + 512)}); };
    take("Stereo Cabs, sealed");
    composer.setCabinet(sound::LeftSide, true);
    composer.setCabinet(sound::RightSide, true);
    take("Stereo Cabs, open");
    composer.setMode(1);
    take("Stereo Mics");

    std::vector<float> input(dspisa::kSampleRate * 10);
    uint32_t s = 1;
    for (float& v : input) {
        s = s * 1664525u + 1013904223u;
        v = 0.25f * static_cast<float>(int32_t(s) / 2147483648.0);
    }
    printLoad("before");
    std::vector<std::vector<double>> block(sounds.size()), offline(sounds.size());
    for (int run = 0; run < kRuns; ++run)
        for (std::size_t i = 0; i < sounds.size(); ++i) {
            block[i].push_back(blocks(sounds[i].image.data(), input));
            offline[i].push_back(render(sounds[i].image.data(), input));
        }
    printLoad("after");
    std::printf("x real time, CPU time of one thread, median and best of %d runs:\n", kRuns);
    std::printf("  %-20s %26s %26s\n", "", "one instance, 64 frames", "orvella-cli render path");
    bool ok = true;
    for (std::size_t i = 0; i < sounds.size(); ++i) {
        const double m = median(block[i]);
        std::printf("  %-20s %7.1fx (best %6.1fx, %.2f%%) %12.1fx (best %6.1fx)%s\n", sounds[i].name, m,
                    *std::max_element(block[i].begin(), block[i].end()), 100 / m, median(offline[i]),
                    *std::max_element(offline[i].begin(), offline[i].end()), m < kGoal ? "  (goal: 100x)" : "");
        ok = ok && m >= kGoal;
    }
    return ok ? 0 : 1;
}
