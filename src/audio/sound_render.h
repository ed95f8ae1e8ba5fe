// Offline rendering of a sound (the 512-byte algorithm image) with the pedal's
// interpreter: a DI signal through it, its impulse response, and the FFT
// convolution that measures how well that response stands for the sound.
// Plain C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dsp/DspIsa.h"

namespace audio {

constexpr int PedalRate = dspisa::kSampleRate;

struct Stereo {
    std::vector<float> left, right;
    std::size_t frames() const { return left.size(); }
};

// in, then `tail` frames of silence, through the image from a cleared state.
// progress (may be empty) is called now and then with the fraction done and
// stops the render when it returns false (the result is then empty).
Stereo render(const uint8_t image[dspisa::kImageBytes], const std::vector<float>& in, std::size_t tail,
              const std::function<bool(double)>& progress = {});

// Where a sound ends: its output has stayed below TailFloorDb of its peak for
// TailQuietFrames (the pedal's whole delay memory, so an echo still to come is
// waited for) or TailMaxSeconds have passed after the input. What is kept
// ends TailKeptMs after the last frame above the floor.
constexpr double TailFloorDb = -90.0;
constexpr double TailMaxSeconds = 10.0;
constexpr double TailKeptMs = 10.0;
constexpr std::size_t TailQuietFrames = dspisa::kMemoryWords;
// The frames of sound worth keeping: up to TailKeptMs (at rate) past the
// last frame, at or after `from`, above TailFloorDb of the peak of both
// outputs; at least `from` frames and never more than the sound holds.
std::size_t soundLength(const Stereo& sound, std::size_t from, int rate);

// Full scale of a 24-bit sample: what reaches it in a file has clipped.
constexpr float FullScale = 1.0f - 1.0f / 8388608.0f;
struct Rendered {
    Stereo sound;
    std::size_t clipped = 0;    // samples (both outputs) at full scale
    float peak = 0;             // of both outputs
};
// in through the image from a cleared state, and the tail until the sound
// ends (see above). progress as for render.
Rendered renderSound(const uint8_t image[dspisa::kImageBytes], const std::vector<float>& in,
                     const std::function<bool(double)>& progress = {});

struct IrOptions {
    int rate = PedalRate;       // 48000 or 44100
    bool normalise = false;     // peak at -1 dBFS
    // For an integer file: a response reaching full scale is scaled down by
    // whole dB to a peak at most -1 dBFS (IrInfo::gainDb says by how much).
    bool integer = false;
};
// How a response was measured and written.
struct IrInfo {
    double level = 1;           // the impulse's height: the highest at which nothing saturates
    std::size_t lead = 0;       // frames before the impulse's instant (the resampler's pre-ringing)
    double gainDb = 0;          // applied after measuring (normalising or fitting an integer file)
    float peak = 0;             // of the response as measured (gain 0 dB)
};

// The linear response of the sound, both outputs: an impulse low enough that
// no stage of the program saturates, scaled back, so a float response keeps
// peaks above 1.0. It ends as a sound does (at most TailMaxSeconds). At
// 44.1 kHz the response is resampled and scaled so that it keeps the gain of
// the sound, and starts info->lead frames early with the resampler's
// pre-ringing.
Stereo impulseResponse(const uint8_t image[dspisa::kImageBytes], const IrOptions& options = IrOptions(),
                       IrInfo* info = nullptr);

// What a log line says of a response beyond its length: the gain applied and
// the lead, each as ", ..." (empty when neither).
std::string irNotes(const IrInfo& info, int rate);
// A length for people: milliseconds below a second ("34 ms"), else seconds ("2.5 s").
std::string durationText(std::size_t frames, int rate);

// Linear convolution (length in + ir - 1), through the FFT.
std::vector<float> convolve(const std::vector<float>& in, const std::vector<float>& ir);

// The energy of (a - reference) relative to the energy of reference, in dB,
// over the frames both hold; a silent reference gives 0 dB.
double errorDb(const std::vector<float>& a, const std::vector<float>& reference);

}  // namespace audio
