// The interpreter. The image is decoded once per load into a compact program:
// the operations that do something (no-operations and unassigned opcodes are
// dropped) with their fields unpacked, and each run of consecutive `mac`
// operations as one step that adds its products in a tight loop, so that a
// pass dispatches far fewer than 128 times. The arithmetic is the same, step
// by step, as the word-by-word definition in DspIsa.h and docs/dsp.md.
#include "dsp/DspInterpreter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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
// The same for a sum known to fit 64 bits: ACC stays within 2^54 after every
// operation, and a product of a coefficient (at most 2^15) and a sample (2^31)
// or a sample moved up by 14 bits stays within 2^46, so their sums cannot
// overflow. Only products with ACC itself need the 128-bit path.
inline int64_t clampAcc(int64_t v) { return v > kAccLimit ? kAccLimit : (v < -kAccLimit ? -kAccLimit : v); }
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

DspInterpreter::DspInterpreter() : memory_(kMemoryWords, 0) {
    uint8_t silent[kImageBytes];
    for (int i = 0; i < kWords; ++i) putWord(silent, i, NOP);
    load(silent);
}

void DspInterpreter::load(const uint8_t image[kImageBytes]) {
    count_ = 0;
    int runHead = -1;
    for (int i = 0; i < kWords; ++i) {
        const uint32_t w = wordAt(image, i);
        const int code = opcodeOf(w);
        // Unassigned opcodes do nothing, like NOP: neither is kept.
        if (code == NOP || code >= OpcodeCount) continue;
        Op op;
        op.code = static_cast<uint8_t>(code);
        op.chan = static_cast<uint8_t>(chanOf(w));
        op.arg = static_cast<uint16_t>(code == RDA || code == WRA ? addrOf(w) : regOf(w));
        op.coef = code == RDA || code == WRA || code == MUL11 ? c11Of(w) : c16Of(w);
        // A run of `mac` becomes one step holding the run's length, followed
        // by the run's operations, which the step reads as its table.
        if (code == MAC) {
            if (runHead < 0 || runHead + program_[runHead].arg + 1 != count_) {
                runHead = count_;
                program_[count_++] = Op{MacRun, 0, 0, 0};
            }
            ++program_[runHead].arg;
        }
        program_[count_++] = op;
    }
    reset();
}

void DspInterpreter::reset() {
    std::memset(regs_, 0, sizeof regs_);
    std::fill(memory_.begin(), memory_.end(), 0);
    acc_ = 0;
    x_ = 0;
    out_[0] = out_[1] = 0;
    pointer_ = 0;
}

void DspInterpreter::step(int32_t in, int32_t& outLeft, int32_t& outRight) {
    int64_t acc = acc_;
    int32_t x = x_;
    int32_t* const r = regs_;
    int32_t* const m = memory_.data();
    const uint16_t ptr = pointer_;
    const Op* const end = program_ + count_;
    for (const Op* op = program_; op < end; ++op) {
        switch (op->code) {
        case RDA: acc = clampAcc(acc + product11(op->coef, m[uint16_t(ptr + op->arg)])); break;
        case WRA:
            m[uint16_t(ptr + op->arg)] = store(acc);
            acc = clampAcc((Wide(op->coef) * acc) >> 9);
            break;
        case MUL: acc = int64_t(op->coef) * r[op->arg]; break;
        case MacRun: {
            const Op* const last = op + op->arg;
            while (op < last) {
                ++op;
                acc = clampAcc(acc + int64_t(op->coef) * r[op->arg]);
            }
            break;
        }
        case SCL: acc = scale16(op->coef, acc); break;
        case LPF:
            r[op->arg] = store(up(r[op->arg], kFrac) + op->coef * (int64_t(x) - r[op->arg]));
            break;
        case SEC:
            r[op->arg + 1] = r[op->arg];
            r[op->arg] = x;
            x = storeTowardZero(clampAcc(acc * 2));
            break;
        case MULX: acc = int64_t(op->coef) * x; break;
        case MACX: acc = clampAcc(acc + int64_t(op->coef) * x); break;
        case STR:
            acc = scale16(op->coef, acc);
            r[op->arg] = store(acc);
            break;
        case PSH:
            acc = scale16(op->coef, acc);
            r[op->arg + 1] = r[op->arg];
            r[op->arg] = store(acc);
            break;
        case LDX: x = store(int64_t(op->coef) * r[op->arg]); break;
        case OUT: out_[op->chan] = store(scale16(op->coef, acc)); break;
        case OUTD:
            out_[op->chan] = r[op->arg];
            r[op->arg] = store(scale16(op->coef, acc));
            break;
        case DMP:
            acc = clampAcc(Wide(acc) + ((Wide(op->coef) * (acc - up(r[op->arg], kFrac))) >> 15));
            r[op->arg] = store(acc);
            break;
        case CLR: acc = 0; break;
        case MUL11: acc = product11(op->coef, r[op->arg]); break;
        case IN:
            x = in;
            r[op->arg] = in;
            acc = int64_t(op->coef) * in;
            break;
        case MAC1:
            acc = clampAcc(acc + up(r[op->arg], kFrac) + ((int64_t(op->coef) * r[op->arg]) >> 3));
            break;
        case MACH:
            acc = clampAcc(acc - up(r[op->arg], kFrac - 1) + ((int64_t(op->coef) * r[op->arg]) >> 3));
            break;
        default: break;     // MAC only occurs inside a run
        }
    }
    acc_ = acc;
    x_ = x;
    // Register 256 only exists to absorb a push at register 255.
    regs_[kRegisters] = 0;
    pointer_ = uint16_t(ptr - 1);
    outLeft = out_[0];
    outRight = out_[1];
}

int32_t DspInterpreter::toFixed(double x) {
    if (std::isnan(x)) return 0;    // a damaged input sample plays as silence
    const double v = x * 2147483648.0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(v);
}

void DspInterpreter::run(const float* in, float* outLeft, float* outRight, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        int32_t l, r;
        step(toFixed(std::clamp(double(in[i]), -1.0, 1.0)), l, r);
        outLeft[i] = static_cast<float>(toReal(l));
        outRight[i] = static_cast<float>(toReal(r));
    }
}
