#include "audio/resampler.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace audio {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kZeros = 24;          // zero crossings of the sinc on each side
constexpr int kSteps = 512;         // table points between two zero crossings
constexpr double kBeta = 9.0;       // Kaiser window: about -90 dB stop band
constexpr double kPassBand = 0.92;  // of the lower Nyquist frequency

double besselI0(double x) {
    double sum = 1, term = 1;
    for (int k = 1; k < 40; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
        if (term < sum * 1e-17) break;
    }
    return sum;
}

// The windowed sinc from 0 to kZeros zero crossings, kSteps points apart.
const std::vector<double>& kernel() {
    static const std::vector<double> table = [] {
        std::vector<double> t(kZeros * kSteps + 2, 0.0);
        const double norm = besselI0(kBeta);
        for (int i = 0; i <= kZeros * kSteps; ++i) {
            const double u = double(i) / kSteps;
            const double sinc = i == 0 ? 1.0 : std::sin(kPi * u) / (kPi * u);
            const double r = u / kZeros;
            t[i] = sinc * besselI0(kBeta * std::sqrt(std::max(0.0, 1 - r * r))) / norm;
        }
        return t;
    }();
    return table;
}

}  // namespace

std::vector<float> resample(const std::vector<float>& in, int from, int to) {
    if (from == to || in.empty() || from <= 0 || to <= 0) return in;
    const std::vector<double>& table = kernel();
    // The cut-off as a fraction of the input's Nyquist frequency, and the
    // kernel's half width in input samples.
    const double cutoff = kPassBand * std::min(1.0, double(to) / from);
    const int half = int(std::ceil(kZeros / cutoff));
    const uint64_t outSize = (uint64_t(in.size()) * to + from - 1) / from;
    std::vector<float> out(outSize);
    const int64_t last = int64_t(in.size()) - 1;
    for (uint64_t n = 0; n < outSize; ++n) {
        // The output sample's place in input samples: k0 + frac.
        const uint64_t num = n * uint64_t(from);
        const int64_t k0 = int64_t(num / uint64_t(to));
        const double frac = double(num % uint64_t(to)) / to;
        double acc = 0;
        const int64_t first = std::max<int64_t>(0, k0 - half + 1), end = std::min<int64_t>(last, k0 + half);
        for (int64_t k = first; k <= end; ++k) {
            const double u = std::fabs(double(k0 - k) + frac) * cutoff * kSteps;
            const int64_t i = int64_t(u);
            if (i >= int64_t(kZeros) * kSteps) continue;
            const double f = u - double(i);
            acc += in[size_t(k)] * (table[size_t(i)] * (1 - f) + table[size_t(i) + 1] * f);
        }
        out[n] = static_cast<float>(acc * cutoff);
    }
    return out;
}

}  // namespace audio
