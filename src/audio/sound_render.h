// Offline rendering of a sound (the 512-byte algorithm image) with the pedal's
// interpreter: a DI signal through it, its impulse response, and the FFT
// convolution that measures how well that response stands for the sound.
// Plain C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "dsp_isa.h"

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

struct IrOptions {
    int rate = PedalRate;       // 48000 or 44100
    bool normalise = false;     // peak at -1 dBFS
};
constexpr double IrFloorDb = -90.0;         // the tail is cut where it stays below this, relative to the peak
constexpr double IrMaxSeconds = 2.0;

// The response of the sound to a unit impulse, both outputs, cut where the
// tail stays below IrFloorDb of its peak (at most IrMaxSeconds; at least one
// frame). At 44.1 kHz the response is resampled and scaled so that it keeps
// the gain of the sound.
Stereo impulseResponse(const uint8_t image[dspisa::kImageBytes], const IrOptions& options = IrOptions());

// Linear convolution (length in + ir - 1), through the FFT.
std::vector<float> convolve(const std::vector<float>& in, const std::vector<float>& ir);

// The energy of (a - reference) relative to the energy of reference, in dB,
// over the frames both hold; a silent reference gives 0 dB.
double errorDb(const std::vector<float>& a, const std::vector<float>& reference);

}  // namespace audio
