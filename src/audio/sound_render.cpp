#include "audio/sound_render.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>

#include "dsp/DspInterpreter.h"
#include "audio/resampler.h"

namespace audio {

namespace {

// Runs n frames of in (or silence past its end) from frame `done` on.
void runFrames(DspInterpreter& interpreter, const std::vector<float>& in, std::size_t done, std::size_t n, Stereo& out) {
    static const std::vector<float> silence(PedalRate / 4, 0.0f);
    if (done < in.size()) {
        n = std::min(n, in.size() - done);
        interpreter.run(in.data() + done, out.left.data() + done, out.right.data() + done, n);
    } else {
        interpreter.run(silence.data(), out.left.data() + done, out.right.data() + done, std::min(n, silence.size()));
    }
}

constexpr std::size_t kBlock = PedalRate / 4;
// TailFloorDb as an amplitude ratio.
const float kFloor = float(std::pow(10.0, TailFloorDb / 20));

// in, then silence until the sound ends (the tail rule), from a cleared state.
Stereo renderToEnd(const uint8_t image[dspisa::kImageBytes], const std::vector<float>& in,
                   const std::function<bool(double)>& progress) {
    Stereo out;
    const std::size_t most = in.size() + std::size_t(TailMaxSeconds * PedalRate);
    out.left.reserve(in.size() + TailQuietFrames);
    out.right.reserve(in.size() + TailQuietFrames);
    DspInterpreter interpreter;
    interpreter.load(image);
    float peak = 0;
    std::size_t lastLoud = 0;
    for (std::size_t done = 0; done < most;) {
        const std::size_t n = std::min({kBlock, most - done, done < in.size() ? in.size() - done : kBlock});
        out.left.resize(done + n);
        out.right.resize(done + n);
        runFrames(interpreter, in, done, n, out);
        for (std::size_t i = done; i < done + n; ++i) {
            const float v = std::max(std::fabs(out.left[i]), std::fabs(out.right[i]));
            peak = std::max(peak, v);
            if (v > peak * kFloor) lastLoud = i;
        }
        done += n;
        if (progress && !progress(std::min(0.99, double(done) / double(in.size() + TailQuietFrames))))
            return Stereo();
        if (done >= in.size() && done - lastLoud > TailQuietFrames) break;
    }
    const std::size_t length = soundLength(out, in.size(), PedalRate);
    out.left.resize(length);
    out.right.resize(length);
    if (progress) progress(1.0);
    return out;
}

float peakOf(const Stereo& s) {
    float peak = 0;
    for (const std::vector<float>* channel : {&s.left, &s.right})
        for (float v : *channel) peak = std::max(peak, std::fabs(v));
    return peak;
}

void scale(Stereo& s, float gain) {
    for (std::vector<float>* channel : {&s.left, &s.right})
        for (float& v : *channel) v *= gain;
}

}  // namespace

Stereo render(const uint8_t image[dspisa::kImageBytes], const std::vector<float>& in, std::size_t tail,
              const std::function<bool(double)>& progress) {
    Stereo out;
    const std::size_t total = in.size() + tail;
    out.left.resize(total);
    out.right.resize(total);
    DspInterpreter interpreter;
    interpreter.load(image);
    for (std::size_t done = 0; done < total;) {
        const std::size_t n = std::min({kBlock, total - done, done < in.size() ? in.size() - done : kBlock});
        runFrames(interpreter, in, done, n, out);
        done += n;
        if (progress && !progress(double(done) / double(total))) return Stereo();
    }
    return out;
}

std::size_t soundLength(const Stereo& sound, std::size_t from, int rate) {
    const float floor = peakOf(sound) * kFloor;
    std::size_t last = sound.frames();
    for (std::size_t i = sound.frames(); i-- > from;)
        if (std::fabs(sound.left[i]) > floor || std::fabs(sound.right[i]) > floor) {
            last = i;
            break;
        }
    if (last == sound.frames()) return std::min(from, sound.frames());
    return std::min(sound.frames(), last + 1 + std::size_t(TailKeptMs * rate / 1000));
}

Rendered renderSound(const uint8_t image[dspisa::kImageBytes], const std::vector<float>& in,
                     const std::function<bool(double)>& progress) {
    Rendered r;
    r.sound = renderToEnd(image, in, progress);
    for (const std::vector<float>* channel : {&r.sound.left, &r.sound.right})
        for (float v : *channel) r.clipped += std::fabs(v) >= FullScale;
    r.peak = peakOf(r.sound);
    return r;
}

namespace {

// The response to an impulse of height h, scaled back, over `frames` frames.
Stereo responseAt(const uint8_t image[dspisa::kImageBytes], float h, std::size_t frames) {
    Stereo r = render(image, std::vector<float>(1, h), frames - 1);
    scale(r, 1 / h);
    return r;
}

// How far the responses to impulses of h and h/2, scaled back, differ (dB).
double mismatchDb(const Stereo& upper, const Stereo& lower) {
    return std::max(errorDb(upper.left, lower.left), errorDb(upper.right, lower.right));
}

// The highest impulse (1, 1/2, 1/4, ...) at which no stage saturates. Scaled
// back, responses at neighbouring heights differ by the arithmetic's
// rounding, which grows as the impulse falls (about 6 dB a halving); a
// saturated one differs more than the pair below it. Saturation shows at
// once, so the first quarter second tells.
float linearLevel(const uint8_t image[dspisa::kImageBytes]) {
    constexpr double kExactDb = -80.0;      // the same but for the last bits
    constexpr double kShrinkDb = 3.0;       // rounding's share falls at least this much a doubling
    constexpr int kSteps = 12;
    float h = 1;
    Stereo a = responseAt(image, h, kBlock), b = responseAt(image, h / 2, kBlock);
    if (peakOf(a) == 0) return h;
    for (int step = 0; step < kSteps; ++step) {
        Stereo c = responseAt(image, h / 4, kBlock);
        const double upper = mismatchDb(a, b);
        if (upper < kExactDb || upper <= mismatchDb(b, c) - kShrinkDb) return h;
        a = std::move(b);
        b = std::move(c);
        h /= 2;
    }
    return h;
}

}  // namespace

Stereo impulseResponse(const uint8_t image[dspisa::kImageBytes], const IrOptions& options, IrInfo* info) {
    IrInfo measured;
    measured.level = linearLevel(image);
    Stereo ir = renderToEnd(image, std::vector<float>(1, float(measured.level)), {});
    scale(ir, float(1 / measured.level));
    if (options.rate != PedalRate) {
        // Band-limited resampling keeps the waveform; the response's sum (its
        // gain) would then grow with the rate, so it is scaled back. Silence
        // before the impulse lets the resampler's pre-ringing through; it is
        // kept from where it rises above the floor.
        const std::size_t before = std::size_t(PedalRate) / 300;          // 3.3 ms
        const std::size_t beforeOut = before * std::size_t(options.rate) / PedalRate;
        const float gain = float(double(PedalRate) / options.rate);
        for (std::vector<float>* channel : {&ir.left, &ir.right}) {
            channel->insert(channel->begin(), before, 0.0f);
            *channel = resample(*channel, PedalRate, options.rate);
            for (float& v : *channel) v *= gain;
        }
        const float floor = peakOf(ir) * kFloor;
        std::size_t first = 0;
        while (first < beforeOut && std::fabs(ir.left[first]) <= floor && std::fabs(ir.right[first]) <= floor) ++first;
        ir.left.erase(ir.left.begin(), ir.left.begin() + long(first));
        ir.right.erase(ir.right.begin(), ir.right.begin() + long(first));
        measured.lead = beforeOut - first;
        const std::size_t length = std::max<std::size_t>(1, soundLength(ir, measured.lead, options.rate));
        ir.left.resize(length);
        ir.right.resize(length);
    }
    measured.peak = peakOf(ir);
    if (options.normalise && measured.peak > 0)
        measured.gainDb = -1.0 - 20 * std::log10(double(measured.peak));
    else if (options.integer && measured.peak >= FullScale)
        measured.gainDb = -std::ceil(20 * std::log10(double(measured.peak)) + 1.0);
    if (measured.gainDb != 0) scale(ir, float(std::pow(10.0, measured.gainDb / 20)));
    if (info) *info = measured;
    return ir;
}

std::string irNotes(const IrInfo& info, int rate) {
    char text[128] = "";
    int n = 0;
    if (info.gainDb != 0)
        n = std::snprintf(text, sizeof text, ", scaled by %+.1f dB (peak %+.2f dBFS as measured)", info.gainDb,
                          20 * std::log10(double(info.peak)));
    if (info.lead)
        std::snprintf(text + n, sizeof text - std::size_t(n), ", starting %s early", durationText(info.lead, rate).c_str());
    return text;
}

std::string durationText(std::size_t frames, int rate) {
    char text[32];
    const double seconds = double(frames) / rate;
    if (seconds < 1)
        std::snprintf(text, sizeof text, seconds < 0.01 ? "%.1f ms" : "%.0f ms", seconds * 1000);
    else
        std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
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
