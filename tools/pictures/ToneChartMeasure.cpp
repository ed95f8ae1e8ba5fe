#include "ToneChartMeasure.h"

#include <cmath>
#include <complex>

#include "DspEngine.h"
#include "sound/FieldCodec.h"
#include "sound/SoundEngine.h"

namespace tonechart {

std::vector<double> impulseResponse(SoundEngine& engine, int speakerByte, bool opened, double height,
                                    std::size_t length) {
    engine.setMode(0);
    engine.setBlend(LeftSide, 0);
    engine.setVolume(LeftSide, 200);
    engine.setCabinet(LeftSide, opened);
    engine.loadSpeaker(LeftSide, speakerByte);
    engine.setMic(LeftSide, 31);

    DspEngine dsp;
    dsp.load(engine.image());
    std::vector<double> h(length);
    for (std::size_t n = 0; n < length; ++n) {
        int32_t l, r;
        dsp.step(n == 0 ? DspEngine::toFixed(height) : 0, l, r);
        h[n] = DspEngine::toReal(l) / height;
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

std::vector<double> measuredLevels(SoundEngine& engine, int speakerByte, bool opened,
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
    double sum = 0;
    int count = 0;
    for (std::size_t i = 0; i < freqs.size(); ++i)
        if (freqs[i] >= 200 && freqs[i] <= 4000) {
            sum += levels[i];
            ++count;
        }
    r.midLevel = count ? sum / count : 0;
    // Low corner: walking down from 200 Hz, the first point 3 dB under the mean.
    for (std::size_t i = freqs.size(); i-- > 0;)
        if (freqs[i] < 200 && levels[i] < r.midLevel - 3) {
            r.lowCorner = freqs[i];
            break;
        }
    r.peakDb = -1e9;
    for (std::size_t i = 0; i < freqs.size(); ++i)
        if (freqs[i] >= 1000 && freqs[i] <= 6000 && levels[i] - r.midLevel > r.peakDb) {
            r.peakDb = levels[i] - r.midLevel;
            r.peakFreq = freqs[i];
        }
    // Top corner: walking up from 2 kHz, the first point 6 dB under the mean.
    for (std::size_t i = 0; i < freqs.size(); ++i)
        if (freqs[i] > 2000 && levels[i] < r.midLevel - 6) {
            r.topCorner = freqs[i];
            break;
        }
    return r;
}

}  // namespace tonechart
