#include "Measure.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "DspEngine.h"

Stereo runImage(const uint8_t* image, const std::vector<double>& input) {
    DspEngine engine;
    engine.load(image);
    Stereo out;
    out.left.resize(input.size());
    out.right.resize(input.size());
    for (std::size_t i = 0; i < input.size(); ++i) {
        int32_t l, r;
        engine.step(DspEngine::toFixed(std::clamp(input[i], -1.0, 1.0)), l, r);
        out.left[i] = DspEngine::toReal(l);
        out.right[i] = DspEngine::toReal(r);
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

double magnitudeAt(const std::vector<double>& h, double f) {
    const double w = 2 * M_PI * f / 48000.0;
    // Rotating phasor, renormalised now and then to keep it on the unit circle.
    double re = 0, im = 0, c = 1, s = 0;
    const double cw = std::cos(w), sw = std::sin(w);
    for (std::size_t n = 0; n < h.size(); ++n) {
        re += h[n] * c;
        im -= h[n] * s;
        const double nc = c * cw - s * sw;
        s = s * cw + c * sw;
        c = nc;
        if ((n & 1023) == 1023) {
            const double m = std::hypot(c, s);
            c /= m;
            s /= m;
        }
    }
    return std::hypot(re, im);
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
