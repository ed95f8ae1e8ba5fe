#include "audio/sound_render.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "DspEngine.h"
#include "audio/resampler.h"

namespace audio {

Stereo render(const uint8_t image[dspisa::kImageBytes], const std::vector<float>& in, std::size_t tail,
              const std::function<bool(double)>& progress) {
    Stereo out;
    const std::size_t total = in.size() + tail;
    out.left.resize(total);
    out.right.resize(total);
    DspEngine engine;
    engine.load(image);
    const std::size_t block = PedalRate / 4;
    std::vector<float> silence(std::min(block, tail), 0.0f);
    for (std::size_t done = 0; done < total;) {
        const std::size_t n = std::min(block, total - done);
        if (done < in.size()) {
            const std::size_t m = std::min(n, in.size() - done);
            engine.run(in.data() + done, out.left.data() + done, out.right.data() + done, m);
            done += m;
        } else {
            engine.run(silence.data(), out.left.data() + done, out.right.data() + done, n);
            done += n;
        }
        if (progress && !progress(double(done) / double(total))) return Stereo();
    }
    return out;
}

Stereo impulseResponse(const uint8_t image[dspisa::kImageBytes], const IrOptions& options) {
    const std::size_t maxFrames = std::size_t(IrMaxSeconds * PedalRate);
    std::vector<float> impulse(1, 1.0f);
    Stereo ir = render(image, impulse, maxFrames - 1);
    if (options.rate != PedalRate) {
        // Band-limited resampling keeps the waveform; the response's sum (its
        // gain) would then grow with the rate, so it is scaled back.
        const float scale = float(double(PedalRate) / options.rate);
        for (std::vector<float>* channel : {&ir.left, &ir.right}) {
            *channel = resample(*channel, PedalRate, options.rate);
            for (float& v : *channel) v *= scale;
        }
    }
    float peak = 0;
    for (std::vector<float>* channel : {&ir.left, &ir.right})
        for (float v : *channel) peak = std::max(peak, std::fabs(v));
    const float floor = peak * float(std::pow(10.0, IrFloorDb / 20));
    std::size_t length = 1;
    for (std::size_t i = ir.frames(); i-- > 1;)
        if (std::fabs(ir.left[i]) > floor || std::fabs(ir.right[i]) > floor) {
            length = i + 1;
            break;
        }
    length = std::min(length, std::size_t(IrMaxSeconds * options.rate));
    ir.left.resize(length);
    ir.right.resize(length);
    if (options.normalise && peak > 0) {
        const float gain = float(std::pow(10.0, -1.0 / 20)) / peak;
        for (std::vector<float>* channel : {&ir.left, &ir.right})
            for (float& v : *channel) v *= gain;
    }
    return ir;
}

namespace {

constexpr double kPi = 3.14159265358979323846;

void fft(std::vector<std::complex<double>>& a, bool inverse) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double angle = 2 * kPi / double(len) * (inverse ? 1 : -1);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (std::size_t j = 0; j < len / 2; ++j) {
                const std::complex<double> u = a[i + j], v = a[i + j + len / 2] * w;
                a[i + j] = u + v;
                a[i + j + len / 2] = u - v;
                w *= step;
            }
        }
    }
    if (inverse)
        for (auto& x : a) x /= double(n);
}

}  // namespace

std::vector<float> convolve(const std::vector<float>& in, const std::vector<float>& ir) {
    if (in.empty() || ir.empty()) return {};
    const std::size_t length = in.size() + ir.size() - 1;
    std::size_t n = 1;
    while (n < length) n <<= 1;
    std::vector<std::complex<double>> a(n), b(n);
    std::copy(in.begin(), in.end(), a.begin());
    std::copy(ir.begin(), ir.end(), b.begin());
    fft(a, false);
    fft(b, false);
    for (std::size_t i = 0; i < n; ++i) a[i] *= b[i];
    fft(a, true);
    std::vector<float> out(length);
    for (std::size_t i = 0; i < length; ++i) out[i] = static_cast<float>(a[i].real());
    return out;
}

double errorDb(const std::vector<float>& a, const std::vector<float>& reference) {
    const std::size_t n = std::min(a.size(), reference.size());
    double error = 0, energy = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double d = double(a[i]) - reference[i];
        error += d * d;
        energy += double(reference[i]) * reference[i];
    }
    if (energy <= 0) return 0;
    return 10 * std::log10(std::max(error, 1e-30) / energy);
}

}  // namespace audio
