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

// The kernel's cut-off as a fraction of the input's Nyquist frequency, and
// its half width in input samples.
struct Shape {
    double cutoff;
    int half;
    Shape(int from, int to) : cutoff(kPassBand * std::min(1.0, double(to) / from)), half(int(std::ceil(kZeros / cutoff))) {}
};

// Output sample n from the input samples first..last (absolute indices; the
// signal is zero outside them), read through at(k). Both the whole-signal
// and the streaming resampler compute every sample here, so they agree.
template <class At>
float interpolate(uint64_t n, int from, int to, const Shape& shape, int64_t first, int64_t last, const At& at) {
    const std::vector<double>& table = kernel();
    // The output sample's place in input samples: k0 + frac.
    const uint64_t num = n * uint64_t(from);
    const int64_t k0 = int64_t(num / uint64_t(to));
    const double frac = double(num % uint64_t(to)) / to;
    double acc = 0;
    const int64_t begin = std::max<int64_t>(first, k0 - shape.half + 1), end = std::min<int64_t>(last, k0 + shape.half);
    for (int64_t k = begin; k <= end; ++k) {
        const double u = std::fabs(double(k0 - k) + frac) * shape.cutoff * kSteps;
        const int64_t i = int64_t(u);
        if (i >= int64_t(kZeros) * kSteps) continue;
        const double f = u - double(i);
        acc += at(k) * (table[size_t(i)] * (1 - f) + table[size_t(i) + 1] * f);
    }
    return static_cast<float>(acc * shape.cutoff);
}

}  // namespace

std::vector<float> resample(const std::vector<float>& in, int from, int to) {
    if (from == to || in.empty() || from <= 0 || to <= 0) return in;
    const Shape shape(from, to);
    const uint64_t outSize = (uint64_t(in.size()) * to + from - 1) / from;
    std::vector<float> out(outSize);
    const int64_t last = int64_t(in.size()) - 1;
    for (uint64_t n = 0; n < outSize; ++n)
        out[n] = interpolate(n, from, to, shape, 0, last, [&in](int64_t k) { return in[size_t(k)]; });
    return out;
}

StreamResampler::StreamResampler(int from, int to, std::size_t maxIn) : from_(from), to_(to) {
    kernel();       // built here, not on the first block
    const Shape shape(from, to);
    half_ = shape.half;
    std::size_t size = 1;
    while (size < maxIn + 2 * std::size_t(half_) + 4) size <<= 1;
    history_.assign(size, 0.0f);
}

std::size_t StreamResampler::maxOut(std::size_t n) const { return std::size_t(uint64_t(n) * to_ / from_) + 2; }

void StreamResampler::reset() {
    std::fill(history_.begin(), history_.end(), 0.0f);
    received_ = produced_ = 0;
}

std::size_t StreamResampler::process(const float* in, std::size_t n, float* out) {
    const std::size_t mask = history_.size() - 1;
    for (std::size_t i = 0; i < n; ++i) history_[std::size_t(received_ + i) & mask] = in[i];
    received_ += n;
    const Shape shape(from_, to_);
    const int64_t last = int64_t(received_) - 1;
    std::size_t count = 0;
    // A sample is made once every input it reads has come.
    while (int64_t(produced_ * uint64_t(from_) / uint64_t(to_)) + half_ <= last) {
        out[count++] = interpolate(produced_, from_, to_, shape, 0, last,
                                   [this, mask](int64_t k) { return history_[std::size_t(k) & mask]; });
        ++produced_;
    }
    return count;
}

double StreamResampler::delay() const { return half_; }

}  // namespace audio
