// What the tone chart pictures show: a speaker's magnitude response as the
// pedal plays it, measured by running the image the editor would send for
// that speaker through the pedal's interpreter, and the same response
// computed directly from the speaker's coefficient record, which checks the
// measurement.
#pragma once

#include <string>
#include <vector>

#include "sound/CoreFiles.h"
#include "sound/DspModel.h"

class SoundModel;

namespace tonechart {

const double SampleRate = 48000.0;

// The setting a chart is measured in: Stereo Cabs, the speaker on the left,
// microphone wheel at its centre, left volume full (x1), blend all left.
// The left output's impulse response for an impulse of height `height`.
// The charts use an impulse near full scale (a hard-picked note), well
// above the level where the fixed-point sections' rounding toward zero
// cuts the tails of the low resonances short (an impulse of 1/8 reads up to
// 1.5 dB low between 25 and 40 Hz on the bass speakers).
const double ImpulseHeight = 0.9;
std::vector<double> impulseResponse(SoundModel& model, int speakerByte, bool opened, double height = ImpulseHeight,
                                    std::size_t length = 65536);

// Magnitude of the discrete-time Fourier transform of h at f Hz.
double magnitudeAt(const std::vector<double>& h, double f);

// The chart's level in dB at each frequency: the measured output over the
// input, without the core's fixed output gain, so 0 dB is unity through the
// speaker's filter and gain word.
std::vector<double> measuredLevels(SoundModel& model, int speakerByte, bool opened,
                                   const std::vector<double>& freqs);

// The same level computed from the record's five sections and gain word and
// the microphone tone stage, without running anything.
double directLevel(const SpeakerRecord& record, const ToneStage& tone, double f);

// The core's output gain on the measured path (volume x1.5 at full volume).
const double OutputGain = 1.5;

// n log-spaced frequencies from `from` to `to` Hz.
std::vector<double> logFrequencies(double from, double to, int n);

// What a player reads off a curve, against its mid-band level (the median
// from 200 Hz to 4 kHz): where the low end, coming up from 40 Hz, reaches
// 3 dB under it; the strongest point from 1 to 6 kHz; where the top, coming
// down from 12 kHz, reaches 6 dB under it.
struct Reading {
    double midLevel = 0;
    double lowCorner = 0;       // Hz; 0 when the low end is up at the chart's start
    double peakFreq = 0, peakDb = 0;
    double topCorner = 0;       // Hz; 0 when it stays up to the chart's end
};
Reading readCurve(const std::vector<double>& freqs, const std::vector<double>& levels);

}  // namespace tonechart
