// The pedal DSP's instruction set: one 32-bit word per instruction, 128 words
// per pass, one pass per sample at 48 kHz. Shared by the interpreter and the
// assembler tools so both agree on every bit. See docs/dsp.md.
//
// Word fields (bit 0 = least significant):
//   opcode  bits 0..4
//   C16     bits 16..31  signed, 14 fraction bits (-2.0 .. 2 - 2^-14)
//   reg     bits 5..12   register number 0..255 (C16 and C11 register forms)
//   chan    bit 13       output channel of OUT/OUTD (0 left, 1 right)
//   C11     bits 21..31  signed, 9 fraction bits (-2.0 .. 2 - 2^-9)
//   addr    bits 5..20   delay-memory address, relative to the moving pointer
#pragma once

#include <cstdint>

namespace dspisa {

constexpr int kWords = 128;          // words per image, run once per sample
constexpr int kImageBytes = 512;
constexpr int kRegisters = 256;
constexpr int kMemoryWords = 65536;  // delay memory, addressed modulo its size
constexpr int kSampleRate = 48000;

enum Opcode : uint8_t {
    RDA = 0,    // ACC += C11 * M[addr]
    WRA = 1,    // M[addr] = sat(ACC); ACC = C11 * ACC
    MUL = 2,    // ACC = C16 * R[reg]
    MAC = 3,    // ACC += C16 * R[reg]
    SCL = 4,    // ACC = C16 * ACC
    LPF = 5,    // R[reg] = sat(R[reg] + C16 * (X - R[reg]))       one-pole low-pass of X
    SEC = 6,    // R[reg+1] = R[reg]; R[reg] = X; X = sat(2 * ACC)  end of a filter section
    MULX = 7,   // ACC = C16 * X
    MACX = 8,   // ACC += C16 * X
    STR = 9,    // ACC = C16 * ACC; R[reg] = sat(ACC)
    PSH = 10,   // ACC = C16 * ACC; R[reg+1] = R[reg]; R[reg] = sat(ACC)
    LDX = 11,   // X = sat(C16 * R[reg])
    OUT = 12,   // out[chan] = sat(C16 * ACC)
    OUTD = 13,  // out[chan] = R[reg]; R[reg] = sat(C16 * ACC)     output one pass late
    DMP = 14,   // ACC += (C16 / 2) * (ACC - R[reg]); R[reg] = sat(ACC)  damping
    CLR = 15,   // ACC = 0
    MUL11 = 16, // ACC = C11 * R[reg]
    NOP = 17,   // nothing
    IN = 18,    // X = input; R[reg] = input; ACC = C16 * input
    MAC1 = 19,  // ACC += (1 + C16 / 8) * R[reg]        fine coefficients near 1
    MACH = 20,  // ACC += (-1/2 + C16 / 8) * R[reg]     fine coefficients near -1/2
    OpcodeCount = 21
};

// The format of an opcode's operands, for the assembler and disassembler.
enum class Form : uint8_t {
    C11Addr,    // RDA, WRA
    C16Reg,     // MUL, MAC, LPF, STR, PSH, LDX, DMP, IN, MAC1, MACH
    C16,        // SCL, MULX, MACX
    Reg,        // SEC (C16 field ignored)
    C16Chan,    // OUT
    C16ChanReg, // OUTD
    C11Reg,     // MUL11
    None        // CLR, NOP
};

struct OpInfo {
    const char* mnemonic;
    Form form;
};

inline const OpInfo& opInfo(int op) {
    static const OpInfo table[OpcodeCount] = {
        {"rda", Form::C11Addr},  {"wra", Form::C11Addr},  {"mul", Form::C16Reg},
        {"mac", Form::C16Reg},   {"scl", Form::C16},      {"lpf", Form::C16Reg},
        {"sec", Form::Reg},      {"mulx", Form::C16},     {"macx", Form::C16},
        {"str", Form::C16Reg},   {"psh", Form::C16Reg},   {"ldx", Form::C16Reg},
        {"out", Form::C16Chan},  {"outd", Form::C16ChanReg}, {"dmp", Form::C16Reg},
        {"clr", Form::None},     {"mul11", Form::C11Reg}, {"nop", Form::None},
        {"in", Form::C16Reg},    {"mac1", Form::C16Reg},  {"mach", Form::C16Reg},
    };
    return table[op];
}

// Field access on a word held as a 32-bit number.
inline int opcodeOf(uint32_t w) { return static_cast<int>(w & 0x1F); }
inline int c16Of(uint32_t w) { return static_cast<int16_t>(w >> 16); }
inline int c11Of(uint32_t w) {
    int n = static_cast<int>(w >> 21);          // 11 bits
    return n >= 1024 ? n - 2048 : n;
}
inline int regOf(uint32_t w) { return static_cast<int>((w >> 5) & 0xFF); }
inline int chanOf(uint32_t w) { return static_cast<int>((w >> 13) & 1); }
inline int addrOf(uint32_t w) { return static_cast<int>((w >> 5) & 0xFFFF); }

inline uint32_t withC16(uint32_t w, int n) {
    return (w & 0xFFFFu) | (static_cast<uint32_t>(static_cast<uint16_t>(n)) << 16);
}
inline uint32_t withC11(uint32_t w, int n) {
    return (w & 0x1FFFFFu) | ((static_cast<uint32_t>(n) & 0x7FFu) << 21);
}
inline uint32_t withReg(uint32_t w, int r) {
    return (w & ~(0xFFu << 5)) | ((static_cast<uint32_t>(r) & 0xFFu) << 5);
}
inline uint32_t withChan(uint32_t w, int c) {
    return (w & ~(1u << 13)) | ((static_cast<uint32_t>(c) & 1u) << 13);
}
inline uint32_t withAddr(uint32_t w, int a) {
    return (w & ~(0xFFFFu << 5)) | ((static_cast<uint32_t>(a) & 0xFFFFu) << 5);
}

// Real value to field, truncating toward zero as the editor's encoders do.
inline int c16FromReal(double x) {
    int n = static_cast<int>(x < 0 ? -x * 16384.0 : x * 16384.0);
    return x < 0 ? -n : n;
}
inline int c11FromReal(double x) {
    int n = static_cast<int>(x < 0 ? -x * 512.0 : x * 512.0);
    return x < 0 ? -n : n;
}
inline double c16ToReal(int n) { return n / 16384.0; }
inline double c11ToReal(int n) { return n / 512.0; }

// Words as stored in an image: most significant byte first.
inline uint32_t wordAt(const uint8_t* image, int i) {
    const uint8_t* p = image + 4 * i;
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline void putWord(uint8_t* image, int i, uint32_t w) {
    uint8_t* p = image + 4 * i;
    p[0] = uint8_t(w >> 24); p[1] = uint8_t(w >> 16); p[2] = uint8_t(w >> 8); p[3] = uint8_t(w);
}

}  // namespace dspisa
