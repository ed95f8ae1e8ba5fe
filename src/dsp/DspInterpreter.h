// The virtual pedal's DSP: runs a 512-byte algorithm image on audio exactly
// as the pedal's fixed-point processor would (see DspIsa.h, docs/dsp.md).
// Plain C++, no toolkit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dsp/DspIsa.h"

class DspInterpreter {
public:
    DspInterpreter();

    // Decodes the image (128 words, most significant byte first) and clears
    // registers, accumulator, delay memory and outputs.
    void load(const uint8_t image[dspisa::kImageBytes]);
    // Clears the state, keeping the loaded program.
    void reset();

    // One pass of the program: a mono input sample in, the two outputs that
    // the converters latch at the end of the pass. Samples are signed 32-bit
    // fractions of full scale (Q31).
    void step(int32_t in, int32_t& outLeft, int32_t& outRight);

    // Runs n samples of full-scale-relative floating-point audio (clipped to
    // -1..1 on the way in) and writes both outputs.
    void run(const float* in, float* outLeft, float* outRight, std::size_t n);

    // Unsigned-free helpers for tests and tools.
    static int32_t toFixed(double x);
    static double toReal(int32_t v) { return v / 2147483648.0; }

private:
    // One decoded operation: its opcode, output channel, register or address
    // and coefficient. MacRun, past the assigned opcodes, heads a run of
    // `mac` operations (arg: how many follow).
    static constexpr uint8_t MacRun = dspisa::OpcodeCount;
    struct Op {
        uint8_t code;
        uint8_t chan;
        uint16_t arg;
        int32_t coef;
    };
    // At most 128 operations and one head per run of at least one `mac`.
    Op program_[dspisa::kWords + dspisa::kWords / 2 + 1];
    int count_ = 0;
    int32_t regs_[dspisa::kRegisters + 1];   // +1: a push at register 255 spills harmlessly
    std::vector<int32_t> memory_;
    int64_t acc_;
    int32_t x_;
    int32_t out_[2];
    uint16_t pointer_;
};

// Renders inputWav (16-, 24- or 32-bit PCM or 32-bit float, mono or stereo,
// 48 kHz; stereo is mixed to mono) through the image into outputWav (stereo 16-bit 48 kHz). An empty
// inputWav renders a built-in test signal: a few plucked-string notes followed
// by a burst of noise. Returns false with a message in error on failure; the
// output file is written to a temporary name and renamed, so a failed render
// never leaves a partial file behind.
bool renderWav(const uint8_t image[dspisa::kImageBytes], const std::string& inputWav,
               const std::string& outputWav, std::string& error);

// The built-in test signal (mono, 48 kHz, about four seconds).
std::vector<float> testSignal();

// WAV input and output used by renderWav, exposed for tools and tests.
bool readWavMono(const std::string& path, std::vector<float>& samples, std::string& error);
bool writeWavStereo(const std::string& path, const std::vector<float>& left,
                    const std::vector<float>& right, std::string& error);
