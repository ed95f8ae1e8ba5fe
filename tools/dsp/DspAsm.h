// Assembler and disassembler for the pedal DSP (instruction set in
// src/dsp/DspIsa.h). Source syntax, one instruction or directive a line:
//
//   ; comment                    everything after ';' is ignored
//   .org N                       the next word goes to image word N
//   .base N                      word numbers checked by .word count from N
//   .word N                      assert that the next word is word N after .base
//   .raw $XXXXXXXX               a word given as a whole
//   mnemonic operands            e.g.  mul 0.5, r41   rda -0.3, 9554   out 1.0, left
//
// Coefficients are real numbers (truncated toward zero, like the editor's
// encoders) or raw field values written $XXXX. Words not assembled are NOP.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dsp/DspIsa.h"

namespace dspasm {

struct Program {
    uint32_t words[dspisa::kWords];
    bool used[dspisa::kWords];
};

// Assembles source text; on failure returns false with "line N: message".
bool assemble(const std::string& source, Program& program, std::string& error);

// One word as an assembler line that assembles back to exactly the same word.
std::string disassembleWord(uint32_t word);

// A whole image as assembler source (one .org, then every word).
std::string disassemble(const uint8_t image[dspisa::kImageBytes]);

// The image bytes of a program, most significant byte first.
void toImage(const Program& program, uint8_t image[dspisa::kImageBytes]);

}  // namespace dspasm
