// The real-valued sound model: what the control positions mean as
// coefficients, delay lengths and room taps, before they are encoded into
// instruction words. Plain record; the computations below fill its fields.
#pragma once

#include <cstdint>

struct ToneStage {          // microphone tone of one side
    double lowGain, highGain, diff, k;
};

struct BlendWeights {       // one side's blend for one mode
    double cos, sin;
    int position;           // slider position 0..100
};

struct DspModel {
    ToneStage toneL{1.0, 1.0, 0.0, 0.09753744188417221};
    double volumeL = 1.0;
    BlendWeights cabsBlendL{1.0, 0.0, 0};
    BlendWeights micsBlendL{0.9238795325112867, 0.3826834323650898, 25};
    double delayL = 0;      // samples
    double speakerGainL = 1.0;

    ToneStage toneR{1.0, 1.0, 0.0, 0.09753744188417221};
    double volumeR = 1.0;
    // The right Stereo Cabs blend keeps sin (own speaker) and cos (left speaker).
    BlendWeights cabsBlendR{0.0, 1.0, 100};
    BlendWeights micsBlendR{0.9238795325112867, 0.3826834323650898, 25};
    double delayR = 0;
    double speakerGainR = 1.0;

    int roomSize = 0;       // 0 Small, 1 Medium
    double timeCoef = 0.62;
    double depthCos = 0.7071067811865476, depthSin = 0.7071067811865476;
    double colorCoef = -0.5;
    double tapGainL[6] = {-0.3, 0.4, 0.4, 0.5, 0.5, -0.55};
    double tapGainR[6] = {0.4, -0.5, 0.5, 0.6, -0.6, 0.5};
    int tapWordL[6] = {47, 48, 49, 50, 51, 52};
    int tapWordR[6] = {66, 67, 68, 69, 70, 71};
    uint16_t roomTable[4][6] = {
        {9554, 7908, 6933, 6771, 6494, 6081},       // left, Small
        {10124, 9306, 8851, 8741, 8525, 8257},      // left, Medium
        {9554, 7912, 6885, 6443, 6210, 6081},       // right, Small
        {10504, 10089, 9177, 8659, 8323, 8129},     // right, Medium
    };
};

// Microphone tone for a = 0 ("Edge") .. 1 ("Center"): a tilt between a low
// and a high band around a corner that moves from 650 Hz to 1700 Hz.
ToneStage microphoneTone(double a);

// Gain of a volume slider position: (v - 100) / 100.
double volumeGain(int v);

// Equal-power blend angle for a position 0..100 (also the DEPTH angle).
double blendAngle(int position);

// Delay in samples of each side for a delay slider position.
void delaySamples(int position, bool ultraShort, double& left, double& right);

// Room TIME feedback for 0..100 percent and COLOR damping for 0..3.
double timeCoefficient(int percent);
double colorCoefficient(int color);

// Delay-memory layout: four lines of 6001 words.
namespace sound {
enum : unsigned { DelayLineLength = 6001 };
}  // namespace sound
