#include "sound/DspModel.h"

#include <cmath>

namespace {
// The angles use pi to eleven decimals; the stored images depend on it.
const double Pi11 = 3.14159265359;
const double TwoPi11 = 6.28318530718;
const double SampleRate = 48000.0;
}  // namespace

ToneStage microphoneTone(double a)
{
    ToneStage t;
    double f = 1050.0 * a + 650.0;
    double w = TwoPi11 * f;
    t.k = 2.0 * w / (w + 3.0 * SampleRate);
    double g = 10.0 * a - 5.0;
    if (g > 0) {
        t.lowGain = std::pow(2.0, -0.75 * g / 6.0);
        t.highGain = std::pow(2.0, g / 6.0);
    } else {
        t.lowGain = std::pow(2.0, -g / 6.0);
        t.highGain = std::pow(2.0, 0.75 * g / 6.0);
    }
    t.diff = t.lowGain - t.highGain;
    return t;
}

double volumeGain(int v)
{
    return (v - 100) / 100.0;
}

double blendAngle(int position)
{
    return ((position - 50) / 50.0 + 1.0) * Pi11 * 0.25;
}

void delaySamples(int d, bool ultraShort, double& left, double& right)
{
    left = right = 0;
    if (ultraShort) {
        if (d < 50) left = 50 - d;
        else if (d > 50) right = d - 50;
    } else {
        const int perMs = int(SampleRate / 1000);
        if (d < 125) left = (125 - d) * perMs;
        else if (d > 125) right = (d - 125) * perMs;
    }
}

double timeCoefficient(int percent)
{
    return 0.74 * (percent / 100.0) + 0.25;
}

double colorCoefficient(int color)
{
    return -(color + 1) * 0.25;
}
