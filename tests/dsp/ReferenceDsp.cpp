#include "tests/dsp/ReferenceDsp.h"

using namespace dspisa;

namespace {

// The accumulator holds products at full precision: 14 more fraction bits
// than a stored sample (Q45), and 9 guard bits above full scale, where it
// saturates. Registers, delay memory and outputs are Q31 and saturate at full
// scale; storing rounds to nearest.
constexpr int kFrac = 14;
constexpr int64_t kAccLimit = int64_t(1) << (31 + kFrac + 9);
using Wide = __int128;

inline int64_t clampAcc(Wide v) {
    return v > kAccLimit ? kAccLimit : (v < -kAccLimit ? -kAccLimit : static_cast<int64_t>(v));
}
inline int32_t sat(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v));
}
// ACC (Q45) to a stored sample (Q31), rounded.
inline int32_t store(int64_t acc) { return sat((acc + (int64_t(1) << (kFrac - 1))) >> kFrac); }
// The same, rounded toward zero: a filter section's output, which feeds its
// recursion, so that a silent input decays to exactly zero instead of
// settling on a small offset (the dead band of rounded recursions).
inline int32_t storeTowardZero(int64_t acc) {
    return sat(acc >= 0 ? acc >> kFrac : -((-acc) >> kFrac));
}
// A C16 coefficient (14 fraction bits) times ACC, staying in Q45.
inline int64_t scale16(int32_t c, int64_t acc) { return clampAcc((Wide(c) * acc) >> 14); }
// Left shifts of negative values are undefined in C++17: values move up by
// multiplying with a power of two instead, which gives the same bits.
inline int64_t up(int64_t v, int bits) { return v * (int64_t(1) << bits); }
// A C11 coefficient (9 fraction bits) times a sample, as Q45.
inline int64_t product11(int32_t c, int32_t v) { return up(int64_t(c) * v, kFrac - 9); }

}  // namespace

ReferenceDsp::ReferenceDsp(const uint8_t image[kImageBytes]) : memory_(kMemoryWords, 0) {
    for (int i = 0; i < kWords; ++i) words_[i] = wordAt(image, i);
}

void ReferenceDsp::step(int32_t in, int32_t& outLeft, int32_t& outRight) {
    int64_t acc = acc_;
    int32_t x = x_;
    int32_t* const r = regs_;
    int32_t* const m = memory_.data();
    const uint16_t ptr = pointer_;
    for (const uint32_t w : words_) {
        const int code = opcodeOf(w);
        const int reg = regOf(w), chan = chanOf(w);
        const uint16_t addr = static_cast<uint16_t>(addrOf(w));
        const int32_t c16 = c16Of(w), c11 = c11Of(w);
        switch (code) {
        case RDA: acc = clampAcc(Wide(acc) + product11(c11, m[uint16_t(ptr + addr)])); break;
        case WRA:
            m[uint16_t(ptr + addr)] = store(acc);
            acc = clampAcc((Wide(c11) * acc) >> 9);
            break;
        case MUL: acc = int64_t(c16) * r[reg]; break;
        case MAC: acc = clampAcc(Wide(acc) + int64_t(c16) * r[reg]); break;
        case SCL: acc = scale16(c16, acc); break;
        case LPF:
            r[reg] = store(up(r[reg], kFrac) + c16 * (int64_t(x) - r[reg]));
            break;
        case SEC:
            r[reg + 1] = r[reg];
            r[reg] = x;
            x = storeTowardZero(clampAcc(Wide(acc) * 2));
            break;
        case MULX: acc = int64_t(c16) * x; break;
        case MACX: acc = clampAcc(Wide(acc) + int64_t(c16) * x); break;
        case STR:
            acc = scale16(c16, acc);
            r[reg] = store(acc);
            break;
        case PSH:
            acc = scale16(c16, acc);
            r[reg + 1] = r[reg];
            r[reg] = store(acc);
            break;
        case LDX: x = store(int64_t(c16) * r[reg]); break;
        case OUT: out_[chan] = store(scale16(c16, acc)); break;
        case OUTD:
            out_[chan] = r[reg];
            r[reg] = store(scale16(c16, acc));
            break;
        case DMP:
            acc = clampAcc(Wide(acc) + ((Wide(c16) * (acc - up(r[reg], kFrac))) >> 15));
            r[reg] = store(acc);
            break;
        case CLR: acc = 0; break;
        case MUL11: acc = product11(c11, r[reg]); break;
        case IN:
            x = in;
            r[reg] = in;
            acc = int64_t(c16) * in;
            break;
        case MAC1:
            acc = clampAcc(Wide(acc) + up(r[reg], kFrac) + ((int64_t(c16) * r[reg]) >> 3));
            break;
        case MACH:
            acc = clampAcc(Wide(acc) - up(r[reg], kFrac - 1) + ((int64_t(c16) * r[reg]) >> 3));
            break;
        default: break;  // NOP and the unassigned opcodes
        }
    }
    acc_ = acc;
    x_ = x;
    regs_[kRegisters] = 0;
    pointer_ = uint16_t(ptr - 1);
    outLeft = out_[0];
    outRight = out_[1];
}
