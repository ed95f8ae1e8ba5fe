// The interpreter's arithmetic: delay memory addressing, saturation, the
// filter section step and the late output, on small assembled programs.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "tools/dsp/DspAsm.h"
#include "dsp/DspInterpreter.h"
#include "tests/dsp/Measure.h"
#include "tests/dsp/ReferenceDsp.h"

namespace {

std::vector<uint8_t> build(const std::string& source) {
    dspasm::Program p;
    std::string error;
    EXPECT_TRUE(dspasm::assemble(source, p, error)) << error;
    std::vector<uint8_t> image(dspisa::kImageBytes);
    dspasm::toImage(p, image.data());
    return image;
}

}  // namespace

// The decoded program the interpreter runs gives the same bits as the
// definition run word by word, on random programs: any words at all
// (unassigned opcodes included), then stretches that in turn push ACC to
// saturation (full-scale coefficients), add products to it (runs of `mac`
// and the other sums) and scale it back down (tiny coefficients), where a
// wrongly saturated sum would show, ending on both outputs. Registers and
// addresses collide, and inputs reach full scale.
TEST(Interpreter, DecodedProgramRunsAsTheWordByWordDefinition) {
    using namespace dspisa;
    std::mt19937 random(20261208);
    auto pick = [&random](uint32_t n) { return uint32_t(random() % n); };
    const std::vector<uint32_t> stretches[] = {
        {SCL, PSH, STR, WRA, DMP},                      // grow: full-scale coefficients
        {MAC, MAC, MAC, MAC1, MACH, MACX, RDA},         // sum
        {SCL, WRA, STR, OUTD, PSH},                     // shrink: tiny coefficients
    };
    enum Kind { Anything = -1, Grow, Sum, Shrink };
    for (int trial = 0; trial < 1000; ++trial) {
        std::vector<std::pair<uint32_t, int>> words;     // opcode, kind
        for (int n = int(pick(64)); n > 0; --n) words.push_back({pick(32), Anything});
        while (words.size() < kWords - 2) {
            words.push_back({IN, Grow});                // what grows
            for (int kind : {Grow, Sum, Shrink})
                for (int n = kind == Grow ? 9 + int(pick(8)) : 1 + int(pick(4)); n > 0; --n)
                    words.push_back({stretches[kind][pick(uint32_t(stretches[kind].size()))], kind});
        }
        words.resize(kWords - 2);
        words.push_back({OUT, Shrink});
        words.push_back({OUT, Shrink});
        uint8_t image[kImageBytes];
        for (int i = 0; i < kWords; ++i) {
            const uint32_t op = words[size_t(i)].first;
            const int kind = words[size_t(i)].second;
            uint32_t w = (uint32_t(random()) & ~0x1Fu) | op;
            if (pick(2)) w = withReg(w, pick(4) ? int(pick(6)) : 250 + int(pick(6)));
            const bool c11 = op == RDA || op == WRA || op == MUL11;
            const int full = c11 ? 1024 : 32768;
            int c = (int(pick(2 * full)) - full) / (1 << pick(c11 ? 11 : 16));
            if (kind == Grow) c = pick(2) ? -full : full - 1;
            if (kind == Shrink) c = int(pick(64)) - 32;
            w = c11 ? withC11(w, c) : withC16(w, c);
            if (op <= WRA && pick(2)) w = withAddr(w, int(pick(64)));
            if (i >= kWords - 2) w = withChan(w, i & 1);
            putWord(image, i, w);
        }
        DspInterpreter interpreter;
        interpreter.load(image);
        ReferenceDsp reference(image);
        for (int n = 0; n < 200; ++n) {
            const int32_t in = pick(4) == 0 ? (pick(2) ? INT32_MAX : INT32_MIN) : int32_t(random()) >> pick(12);
            int32_t l, r, refL, refR;
            interpreter.step(in, l, r);
            reference.step(in, refL, refR);
            ASSERT_EQ(l, refL) << "program " << trial << ", pass " << n;
            ASSERT_EQ(r, refR) << "program " << trial << ", pass " << n;
        }
    }
}

TEST(Interpreter, DelayMemoryReadsBasePlusNExactlyNSamplesLater) {
    for (int n : {0, 1, 50, 6000}) {
        const auto image = build(
            "in 1.0, r150\n"
            "wra 0.0, 12002\n"                       // write the input at the line's base
            "rda 1.0, " + std::to_string(12002 + n) + "\n"
            "out 1.0, left\n");
        const Stereo out = runImage(image.data(), impulse(n + 10, 0.5));
        EXPECT_EQ(peakIndex(out.left), std::size_t(n)) << "delay " << n;
        EXPECT_NEAR(out.left[n], 0.5, 1e-9);
    }
}

TEST(Interpreter, AddressesWrapAroundTheMemory) {
    // Base 65530 plus 10 reaches word 4 of the next turn; the value still
    // arrives 10 samples later.
    const auto image = build("in 1.0, r150\nwra 0.0, 65530\nrda 1.0, 4\nout 1.0, left\n");
    const Stereo out = runImage(image.data(), impulse(20, 0.25));
    EXPECT_EQ(peakIndex(out.left), 10u);
}

TEST(Interpreter, OverflowSaturatesInsteadOfWrapping) {
    const auto image = build("in 1.0, r150\nmulx 1.9\nmacx 1.9\nout 1.0, left\nscl -1.0\nout 1.0, right\n");
    const Stereo out = runImage(image.data(), std::vector<double>{0.9, -0.9});
    EXPECT_DOUBLE_EQ(out.left[0], DspInterpreter::toReal(INT32_MAX));
    EXPECT_DOUBLE_EQ(out.right[0], -1.0);
    EXPECT_DOUBLE_EQ(out.left[1], -1.0);
}

TEST(Interpreter, AccumulatorKeepsHeadroomUntilStored) {
    // 1.9 x 0.9 twice exceeds full scale inside ACC; scaling back down first
    // gives the exact sum, as a DSP with guard bits would.
    const auto image = build("in 1.0, r150\nmulx 1.9\nmacx 1.9\nscl 0.25\nout 1.0, left\n");
    const Stereo out = runImage(image.data(), std::vector<double>{0.9});
    EXPECT_NEAR(out.left[0], 0.9 * 3.8 * 0.25, 1e-4);
}

TEST(Interpreter, NotANumberOnTheInputPlaysAsSilence) {
    const auto image = build("in 1.0, r150\nout 1.0, left\n");
    DspInterpreter interpreter;
    interpreter.load(image.data());
    const float in[3] = {0.5f, std::nanf(""), -0.25f};
    float left[3], right[3];
    interpreter.run(in, left, right, 3);
    EXPECT_NEAR(left[0], 0.5f, 1e-6f);
    EXPECT_EQ(left[1], 0.0f);
    EXPECT_NEAR(left[2], -0.25f, 1e-6f);
}

TEST(Interpreter, DelayedOutputLeavesOnePassLate) {
    const auto image = build("in 1.0, r150\noutd 1.0, right, r28\n");
    const Stereo out = runImage(image.data(), std::vector<double>{0.5, 0.25, 0});
    EXPECT_DOUBLE_EQ(out.right[0], 0.0);
    EXPECT_NEAR(out.right[1], 0.5, 1e-9);
    EXPECT_NEAR(out.right[2], 0.25, 1e-9);
}

TEST(Interpreter, UnassignedOpcodesDoNothing) {
    std::vector<uint8_t> image = build("in 1.0, r150\nout 1.0, left\n");
    for (int i = 2; i < dspisa::kWords; ++i) dspisa::putWord(image.data(), i, 0x1F | (0x7FFu << 21));
    const Stereo out = runImage(image.data(), std::vector<double>{0.5});
    EXPECT_NEAR(out.left[0], 0.5, 1e-9);
}

TEST(Interpreter, ResetClearsDelayMemoryAndRegisters) {
    const auto image = build("in 1.0, r150\nwra 0.0, 100\nrda 1.0, 101\nout 1.0, left\n");
    DspInterpreter interpreter;
    interpreter.load(image.data());
    int32_t l, r;
    interpreter.step(DspInterpreter::toFixed(0.5), l, r);
    interpreter.reset();
    interpreter.step(0, l, r);
    EXPECT_EQ(l, 0);
}

TEST(Interpreter, RenderWavWritesAStereoFileAndRefusesBadInput) {
    const auto image = build("in 1.0, r150\nmulx 0.5\nout 1.0, left\nout -1.0, right\n");
    const ScratchDir scratch;
    ASSERT_FALSE(scratch.path().empty());
    const std::string dir = scratch.path();
    std::string error;
    ASSERT_TRUE(renderWav(image.data(), "", dir + "/dsp_render.wav", error)) << error;
    std::vector<float> mono;
    // Reading a stereo file gives the mean of the channels: here they cancel.
    ASSERT_TRUE(readWavMono(dir + "/dsp_render.wav", mono, error)) << error;
    EXPECT_GT(mono.size(), 48000u * 4);
    EXPECT_LT(peak(std::vector<double>(mono.begin(), mono.end())), 1e-4);

    // Rendering a file through the same program: left is half the input.
    const std::vector<float> ramp = {0.5f, -0.5f, 0.25f};
    ASSERT_TRUE(writeWavStereo(dir + "/dsp_in.wav", ramp, ramp, error));
    ASSERT_TRUE(renderWav(image.data(), dir + "/dsp_in.wav", dir + "/dsp_out.wav", error)) << error;
    ASSERT_TRUE(readWavMono(dir + "/dsp_out.wav", mono, error)) << error;
    EXPECT_EQ(mono.size(), 3u + 48000u);   // the input plus a second for tails

    EXPECT_FALSE(renderWav(image.data(), dir + "/missing.wav", dir + "/dsp_none.wav", error));
    EXPECT_NE(error.find("missing.wav"), std::string::npos);
    std::FILE* f = std::fopen((dir + "/dsp_short.wav").c_str(), "wb");
    std::fputs("RIFF", f);
    std::fclose(f);
    EXPECT_FALSE(renderWav(image.data(), dir + "/dsp_short.wav", dir + "/dsp_none.wav", error));
    EXPECT_EQ(std::fopen((dir + "/dsp_none.wav").c_str(), "rb"), nullptr);
}

TEST(Interpreter, WavInputAcceptsWiderFormatsAndRefusesOtherRates) {
    // A minimal file: RIFF header, 16-byte fmt chunk, data chunk.
    auto wav = [](uint16_t format, uint16_t bits, uint32_t rate, const std::vector<uint8_t>& data) {
        std::vector<uint8_t> b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0};
        auto put = [&](uint32_t v, int n) { for (int i = 0; i < n; ++i) b.push_back(uint8_t(v >> (8 * i))); };
        put(format, 2); put(1, 2); put(rate, 4); put(rate * bits / 8, 4); put(bits / 8, 2); put(bits, 2);
        b.insert(b.end(), {'d', 'a', 't', 'a'});
        put(uint32_t(data.size()), 4);
        b.insert(b.end(), data.begin(), data.end());
        return b;
    };
    const ScratchDir scratch;
    ASSERT_FALSE(scratch.path().empty());
    const std::string path = scratch.path() + "/dsp_fmt.wav";
    auto check = [&](const std::vector<uint8_t>& bytes, std::vector<float>& out, std::string& error) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return readWavMono(path, out, error);
    };
    std::vector<float> s;
    std::string error;
    ASSERT_TRUE(check(wav(1, 24, 48000, {0x00, 0x00, 0x40, 0x00, 0x00, 0xC0}), s, error)) << error;
    ASSERT_EQ(s.size(), 2u);
    EXPECT_FLOAT_EQ(s[0], 0.5f);
    EXPECT_FLOAT_EQ(s[1], -0.5f);
    ASSERT_TRUE(check(wav(3, 32, 48000, {0x00, 0x00, 0x80, 0x3E}), s, error)) << error;   // 0.25f
    EXPECT_FLOAT_EQ(s[0], 0.25f);
    EXPECT_FALSE(check(wav(1, 16, 44100, {0, 0}), s, error));
    EXPECT_NE(error.find("44100"), std::string::npos);
    EXPECT_FALSE(check(wav(1, 8, 48000, {0}), s, error));
}
