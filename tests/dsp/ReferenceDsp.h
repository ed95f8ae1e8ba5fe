// The interpreter's definition, word by word: each of the 128 words decoded
// and run in turn every pass, as the pedal runs them. DspInterpreter runs a
// decoded, compacted form of the same program; the model test holds the two
// to the same bits.
#pragma once

#include <cstdint>
#include <vector>

#include "dsp/DspIsa.h"

class ReferenceDsp {
public:
    explicit ReferenceDsp(const uint8_t image[dspisa::kImageBytes]);
    void step(int32_t in, int32_t& outLeft, int32_t& outRight);

private:
    uint32_t words_[dspisa::kWords];
    int32_t regs_[dspisa::kRegisters + 1] = {};
    std::vector<int32_t> memory_;
    int64_t acc_ = 0;
    int32_t x_ = 0;
    int32_t out_[2] = {0, 0};
    uint16_t pointer_ = 0;
};
