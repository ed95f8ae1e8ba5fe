#include "tools/pictures/ToneChartMeasure.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "dsp/DspInterpreter.h"
#include "sound/FieldCodec.h"
#include "sound/SoundModel.h"

using namespace sound;

namespace tonechart {

std::vector<double> impulseResponse(SoundModel& engine, int speakerByte, bool opened, double height,
                                    std::size_t length) {
    engine.setMode(0);
    engine.setBlend(LeftSide, 0);
    engine.setVolume(LeftSide, 200);
    engine.setCabinet(LeftSide, opened);
    engine.loadSpeaker(LeftSide, speakerByte);
    engine.setMic(LeftSide, 31);

    DspInterpreter dsp;
    dsp.load(engine.image());
    std::vector<double> h(length);
    for (std::size_t n = 0; n < length; ++n) {
        int32_t l, r;
        dsp.step(n == 0 ? DspInterpreter::toFixed(height) : 0, l, r);
        h[n] = DspInterpreter::toReal(l) / height;
    }
    return h;
}

double magnitudeAt(const std::vector<double>& h, double f) {
    const double w = 2 * M_PI * f / SampleRate;
    // Rotating phasor, renormalised now and then to stay on the unit circle.
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

static double dB(double ratio) { return 20 * std::log10(std::max(ratio, 1e-12)); }

std::vector<double> measuredLevels(SoundModel& engine, int speakerByte, bool opened,
                                   const std::vector<double>& freqs) {
    const std::vector<double> h = impulseResponse(engine, speakerByte, opened, ImpulseHeight);
    std::vector<double> levels;
    for (double f : freqs) levels.push_back(dB(magnitudeAt(h, f) / OutputGain));
    return levels;
}

double directLevel(const SpeakerRecord& record, const ToneStage& tone, double f) {
    using C = std::complex<double>;
    const C z1 = std::polar(1.0, -2 * M_PI * f / SampleRate);   // z^-1
    const C z2 = z1 * z1;
    C H = decodeC16(record.word[SpeakerGainWord]);
    for (int j = 0; j < 5; ++j) {
        const int16_t* c = record.word + 5 * j;
        // Every section stores half its numerator; the first two store their
        // feedback in the fine form 8(-a1/2 - 1), 8(1/2 - a2/2).
        const double b0 = 2 * decodeC16(c[0]), b1 = 2 * decodeC16(c[1]), b2 = 2 * decodeC16(c[2]);
        double a1, a2;
        if (j < 2) {
            a1 = -2 * (decodeC16(c[3]) / 8 + 1);
            a2 = 1 - decodeC16(c[4]) / 4;
        } else {
            a1 = -2 * decodeC16(c[3]);
            a2 = -2 * decodeC16(c[4]);
        }
        H *= (b0 + b1 * z1 + b2 * z2) / (1.0 + a1 * z1 + a2 * z2);
    }
    // Microphone tone: highGain * x + diff * (one-pole low-pass of x).
    const C lowPass = tone.k / (1.0 - (1 - tone.k) * z1);
    H *= tone.highGain + tone.diff * lowPass;
    return dB(std::abs(H));
}

std::vector<double> logFrequencies(double from, double to, int n) {
    std::vector<double> f;
    for (int i = 0; i < n; ++i) f.push_back(from * std::pow(to / from, double(i) / (n - 1)));
    return f;
}

Reading readCurve(const std::vector<double>& freqs, const std::vector<double>& levels) {
    Reading r;
    std::vector<double> band;
    for (std::size_t i = 0; i < freqs.size(); ++i)
        if (freqs[i] >= 200 && freqs[i] <= 4000) band.push_back(levels[i]);
    if (band.empty() || freqs.empty()) return r;
    std::nth_element(band.begin(), band.begin() + band.size() / 2, band.end());
    r.midLevel = band[band.size() / 2];
    // Low corner: where the curve, coming up from the chart's bottom end,
    // first reaches 3 dB under the mid-band level (a dip higher up does not
    // count). None when it starts there already.
    std::size_t i = 0;
    while (i < freqs.size() && levels[i] < r.midLevel - 3) ++i;
    if (i > 0 && i < freqs.size()) r.lowCorner = freqs[i];
    // Top corner: likewise from the top end down, 6 dB under.
    std::size_t k = freqs.size();
    while (k > 0 && levels[k - 1] < r.midLevel - 6) --k;
    if (k < freqs.size() && k > 0) r.topCorner = freqs[k - 1];
    r.peakDb = -1e9;
    for (std::size_t n = 0; n < freqs.size(); ++n)
        if (freqs[n] >= 1000 && freqs[n] <= 6000 && levels[n] - r.midLevel > r.peakDb) {
            r.peakDb = levels[n] - r.midLevel;
            r.peakFreq = freqs[n];
        }
    return r;
}

}  // namespace tonechart
