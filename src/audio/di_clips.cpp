#include "audio/di_clips.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "audio/resampler.h"
#include "base/platform.h"
#include "dsp/DspIsa.h"
#include "dsp/WavFile.h"

namespace audio {

namespace {

constexpr int kRate = dspisa::kSampleRate;

// A small linear congruential generator keeps the clips the same everywhere.
struct Noise {
    uint32_t state;
    explicit Noise(uint32_t seed) : state(seed) {}
    float next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(int32_t(state) / 2147483648.0);
    }
};

// One plucked string (Karplus-Strong): a burst of filtered noise in a delay
// line of one period, averaged on every pass. `decay` below 0.5 shortens the
// note, `brightness` 0..1 sets how much of the pick attack's highs remain.
// The note stops after `seconds` with a 5 ms fade, as a muted string.
void pluck(std::vector<float>& out, double start, double freq, double level, double seconds, Noise& noise,
           float decay = 0.4985f, float brightness = 0.6f) {
    const size_t first = size_t(start * kRate);
    const double exact = kRate / freq;
    const size_t period = std::max<size_t>(2, size_t(exact));
    std::vector<float> line(period);
    float previous = 0;
    for (float& v : line) {
        const float n = noise.next();
        previous = brightness * n + (1 - brightness) * previous;
        v = previous;
    }
    const size_t length = size_t(seconds * kRate), fade = kRate / 200;
    for (size_t i = 0; i < length && first + i < out.size(); ++i) {
        const size_t k = i % period;
        const float v = line[k];
        line[k] = decay * (v + line[(k + 1) % period]);
        const double gain = i + fade > length ? double(length - i) / fade : 1.0;
        out[first + i] += static_cast<float>(level * gain) * v;
    }
}

double note(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

std::vector<float> riff() {
    std::vector<float> s(size_t(kRate * 6.5), 0.0f);
    Noise noise(0x51A7E5u);
    // Two bars of a minor-pentatonic line at 120 beats a minute, in eighths.
    const int line[] = {40, 43, 45, 47, 50, 47, 45, 43, 40, 40, 52, 50, 47, 45, 43, 45};
    for (int i = 0; i < 16; ++i) pluck(s, 0.25 * i, note(line[i]), 0.55, 0.3, noise);
    // A held note to end on.
    pluck(s, 4.0, note(40), 0.6, 2.2, noise);
    return s;
}

std::vector<float> chords() {
    std::vector<float> s(size_t(kRate * 8.5), 0.0f);
    Noise noise(0xC40D5u);
    // E major, A major, D major, B major: open shapes, strummed down over 30 ms.
    const int shapes[4][6] = {{40, 47, 52, 56, 59, 64}, {45, 52, 57, 61, 64, 0}, {50, 57, 62, 66, 0, 0},
                              {47, 54, 59, 63, 66, 71}};
    for (int c = 0; c < 4; ++c) {
        int strings = 0;
        for (int n : shapes[c]) {
            if (!n) continue;
            pluck(s, 2.0 * c + 0.006 * strings, note(n), 0.2, c == 3 ? 2.4 : 1.9, noise, 0.499f, 0.7f);
            ++strings;
        }
    }
    return s;
}

std::vector<float> bass() {
    std::vector<float> s(size_t(kRate * 6.5), 0.0f);
    Noise noise(0xBA55u);
    // Quarter and eighth notes on E, G, A and D, an octave below the guitar.
    const int notes[] = {28, 28, 31, 33, 33, 35, 38, 33, 28, 28, 31, 26};
    const double at[] = {0, 0.5, 0.75, 1.0, 1.5, 1.75, 2.0, 2.5, 3.0, 3.5, 3.75, 4.0};
    for (int i = 0; i < 12; ++i)
        pluck(s, at[i], note(notes[i]), 0.7, i == 11 ? 2.0 : 0.45, noise, 0.4995f, 0.35f);
    return s;
}

}  // namespace

const char* clipName(Clip clip) {
    switch (clip) {
    case Clip::GuitarRiff: return "Guitar riff";
    case Clip::GuitarChords: return "Guitar chords";
    case Clip::BassLine: return "Bass line";
    }
    return "";
}

std::vector<float> makeClip(Clip clip) {
    switch (clip) {
    case Clip::GuitarRiff: return riff();
    case Clip::GuitarChords: return chords();
    case Clip::BassLine: return bass();
    }
    return {};
}

bool loadDiFile(const std::string& path, std::vector<float>& samples, std::string& error) {
    wav::Audio file;
    if (!wav::read(path, file, error)) return false;
    if (file.frames() == 0) {
        error = "\"" + platform::shownPath(path) + "\" holds no audio";
        return false;
    }
    samples = diSignal(file);
    return true;
}

std::vector<float> diSignal(const wav::Audio& audio) {
    std::vector<float> mono = wav::mixToMono(audio);
    for (float& v : mono) v = std::clamp(v, -1.0f, 1.0f);
    return resample(mono, audio.rate, kRate);
}

}  // namespace audio
