// The built-in test signal: plucked strings (Karplus-Strong) on a low E, A,
// D and G, a chord, then half a second of white noise. Deterministic.
#include <cstdint>
#include <vector>

#include "dsp/DspInterpreter.h"

namespace {

// A small linear congruential generator keeps the signal the same everywhere.
struct Noise {
    uint32_t state = 0x2545F491u;
    float next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(int32_t(state) / 2147483648.0);
    }
};

void pluck(std::vector<float>& out, size_t start, double freq, double level, Noise& noise) {
    const size_t period = static_cast<size_t>(dspisa::kSampleRate / freq);
    std::vector<float> line(period);
    for (float& v : line) v = noise.next();
    const size_t length = dspisa::kSampleRate * 3 / 2;
    for (size_t i = 0; i < length && start + i < out.size(); ++i) {
        const size_t k = i % period;
        const float v = line[k];
        line[k] = 0.498f * (v + line[(k + 1) % period]);
        out[start + i] += static_cast<float>(level) * v;
    }
}

}  // namespace

std::vector<float> testSignal() {
    const size_t rate = dspisa::kSampleRate;
    std::vector<float> s(rate * 4, 0.0f);
    Noise noise;
    const double notes[] = {82.41, 110.0, 146.83, 196.0};
    for (int i = 0; i < 4; ++i) pluck(s, i * rate / 2, notes[i], 0.5, noise);
    for (double f : {82.41, 123.47, 164.81, 207.65, 246.94, 329.63}) pluck(s, 2 * rate, f, 0.15, noise);
    for (size_t i = rate * 7 / 2; i < s.size(); ++i) s[i] += 0.25f * noise.next();
    return s;
}
