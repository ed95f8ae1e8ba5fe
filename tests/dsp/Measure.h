// Measuring helpers for the DSP tests: run an image on a signal and read
// levels and responses off the result.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/pictures/ToneChartMeasure.h"

struct Stereo {
    std::vector<double> left, right;
};

// Runs the image on the input (full scale = 1.0) from a cleared state.
Stereo runImage(const uint8_t* image, const std::vector<double>& input);

// An impulse of the given height followed by silence, n samples long.
std::vector<double> impulse(std::size_t n, double height);

// Deterministic white noise, uniform in -level..level.
std::vector<double> whiteNoise(std::size_t n, double level, uint32_t seed);

// Magnitude of the discrete-time Fourier transform of h at f Hz (48 kHz),
// as the tone charts measure it.
using tonechart::magnitudeAt;

double dB(double ratio);
double peak(const std::vector<double>& v, std::size_t from = 0, std::size_t to = SIZE_MAX);
double energy(const std::vector<double>& v, std::size_t from = 0, std::size_t to = SIZE_MAX);
std::size_t peakIndex(const std::vector<double>& v);

// A folder of its own under /tmp, removed with everything in it when the
// object goes: tests that write files never meet another run's files.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};
