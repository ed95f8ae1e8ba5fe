#include "tests/dsp/Measure.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "dsp/DspInterpreter.h"

Stereo runImage(const uint8_t* image, const std::vector<double>& input) {
    DspInterpreter interpreter;
    interpreter.load(image);
    Stereo out;
    out.left.resize(input.size());
    out.right.resize(input.size());
    for (std::size_t i = 0; i < input.size(); ++i) {
        int32_t l, r;
        interpreter.step(DspInterpreter::toFixed(std::clamp(input[i], -1.0, 1.0)), l, r);
        out.left[i] = DspInterpreter::toReal(l);
        out.right[i] = DspInterpreter::toReal(r);
    }
    return out;
}

std::vector<double> impulse(std::size_t n, double height) {
    std::vector<double> v(n, 0.0);
    if (n) v[0] = height;
    return v;
}

std::vector<double> whiteNoise(std::size_t n, double level, uint32_t seed) {
    std::vector<double> v(n);
    uint32_t s = seed;
    for (double& x : v) {
        s = s * 1664525u + 1013904223u;
        x = level * (int32_t(s) / 2147483648.0);
    }
    return v;
}

double dB(double ratio) { return 20 * std::log10(std::max(ratio, 1e-30)); }

double peak(const std::vector<double>& v, std::size_t from, std::size_t to) {
    double p = 0;
    for (std::size_t i = from; i < std::min(to, v.size()); ++i) p = std::max(p, std::fabs(v[i]));
    return p;
}

double energy(const std::vector<double>& v, std::size_t from, std::size_t to) {
    double e = 0;
    for (std::size_t i = from; i < std::min(to, v.size()); ++i) e += v[i] * v[i];
    return e;
}

std::size_t peakIndex(const std::vector<double>& v) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < v.size(); ++i)
        if (std::fabs(v[i]) > std::fabs(v[best])) best = i;
    return best;
}

ScratchDir::ScratchDir() {
    char pattern[] = "/tmp/orvella-dsp-XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made ? made : "";
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}
