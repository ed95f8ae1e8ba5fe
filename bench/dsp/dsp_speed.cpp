// Renders 20 seconds of noise through the default Stereo Cabs image and a
// Stereo Mics image on one core and prints the speed as a multiple of real
// time (48 kHz, 128 words per sample). The target is at least 20x.
#include <chrono>
#include <cstdio>
#include <vector>

#include "DspEngine.h"
#include "sound/SoundEngine.h"

namespace {

double speedFactor(const uint8_t* image, const std::vector<float>& input) {
    std::vector<float> left(input.size()), right(input.size());
    DspEngine engine;
    engine.load(image);
    const auto start = std::chrono::steady_clock::now();
    engine.run(input.data(), left.data(), right.data(), input.size());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Keep the result observable so the work is not optimised away.
    volatile float sink = left.back() + right.back();
    (void)sink;
    return (input.size() / double(dspisa::kSampleRate)) / seconds;
}

}  // namespace

int main() {
    SoundEngine sound(DSP_BIN_DIR);
    if (!sound.coreFilesOk()) {
        std::fprintf(stderr, "dsp_speed: the core files in %s are missing or short\n", DSP_BIN_DIR);
        return 1;
    }
    std::vector<float> input(dspisa::kSampleRate * 20);
    uint32_t s = 1;
    for (float& v : input) {
        s = s * 1664525u + 1013904223u;
        v = 0.25f * static_cast<float>(int32_t(s) / 2147483648.0);
    }
    const double cabs = speedFactor(sound.image(), input);
    sound.setMode(1);
    const double mics = speedFactor(sound.image(), input);
    std::printf("Stereo Cabs image: %.1fx real time\nStereo Mics image: %.1fx real time\n", cabs, mics);
    return cabs >= 20 && mics >= 20 ? 0 : 1;
}
