// Assembler and disassembler: exact round trips, clear errors, and the
// instruction words the editor writes or patches meaning what they must.
#include <gtest/gtest.h>

#include "tools/dsp/DataGenerator.h"
#include "tools/dsp/DspAsm.h"

using namespace dspisa;

namespace {

dspasm::Program assembleFile(const std::string& name) {
    std::string text, error;
    EXPECT_TRUE(datagen::readText(std::string(DSP_SOURCE_DIR) + "/" + name + ".asm", text, error)) << error;
    dspasm::Program p;
    EXPECT_TRUE(dspasm::assemble(text, p, error)) << name << ": " << error;
    return p;
}

std::string assembleError(const std::string& source) {
    dspasm::Program p;
    std::string error;
    EXPECT_FALSE(dspasm::assemble(source, p, error)) << source;
    return error;
}

}  // namespace

TEST(Assembler, DisassemblyOfEveryProgramAssemblesToTheSameWords) {
    for (const char* name : {"ScCore_A", "ScCore_B", "SmCore", "SpFiL", "SpFiR"}) {
        const dspasm::Program p = assembleFile(name);
        uint8_t image[kImageBytes];
        dspasm::toImage(p, image);
        dspasm::Program back;
        std::string error;
        ASSERT_TRUE(dspasm::assemble(dspasm::disassemble(image), back, error)) << name << ": " << error;
        for (int i = 0; i < kWords; ++i) EXPECT_EQ(back.words[i], p.words[i]) << name << " word " << i;
    }
}

TEST(Assembler, AnyWordSurvivesDisassemblyAndAssembly) {
    uint32_t s = 12345;
    for (int i = 0; i < 20000; ++i) {
        s = s * 1664525u + 1013904223u;
        const uint32_t w = i < 32 ? uint32_t(i) : s;
        dspasm::Program p;
        std::string error;
        ASSERT_TRUE(dspasm::assemble(dspasm::disassembleWord(w), p, error)) << dspasm::disassembleWord(w);
        EXPECT_EQ(p.words[0], w) << dspasm::disassembleWord(w);
    }
}

TEST(Assembler, FieldsAndDirectives) {
    dspasm::Program p;
    std::string error;
    ASSERT_TRUE(dspasm::assemble(".org 10\n.base 10\n.word 0\n  rda -0.6, 1200 ; tail\n"
                                 "mul $ECCD, r20\nout 1.0, right\n.raw $014012D2\n", p, error)) << error;
    EXPECT_FALSE(p.used[9]);
    EXPECT_EQ(p.words[0], uint32_t(NOP));               // unassembled words are NOP
    EXPECT_EQ(opcodeOf(p.words[10]), RDA);
    EXPECT_EQ(c11Of(p.words[10]), -307);                // truncated toward zero, as the editor does
    EXPECT_EQ(addrOf(p.words[10]), 1200);
    EXPECT_EQ(p.words[11] >> 16, 0xECCDu);
    EXPECT_EQ(regOf(p.words[11]), 20);
    EXPECT_EQ(chanOf(p.words[12]), 1);
    EXPECT_EQ(p.words[13], 0x014012D2u);
}

TEST(Assembler, ErrorsNameTheLineAndTheFault) {
    EXPECT_EQ(assembleError("nop\nfoo r1\n"), "line 2: unknown instruction \"foo\"");
    EXPECT_NE(assembleError("mul 0.5, r256\n").find("bad register"), std::string::npos);
    EXPECT_NE(assembleError("scl 2.0\n").find("outside -2 .. 2"), std::string::npos);
    EXPECT_NE(assembleError("rda 0.5, 65536\n").find("bad address"), std::string::npos);
    EXPECT_NE(assembleError("mul 0.5\n").find("takes 2 operand"), std::string::npos);
    EXPECT_NE(assembleError(".base 3\nnop\n.word 0\n").find("expected word 0"), std::string::npos);
    EXPECT_NE(assembleError("nop\n.org 0\nnop\n").find("assembled twice"), std::string::npos);
    EXPECT_NE(assembleError(".org 127\nnop\nnop\n").find("longer than 128"), std::string::npos);
}

TEST(InstructionSet, FixedWordsOfTheEditorAreMeaningfulInstructions) {
    EXPECT_EQ(dspasm::disassembleWord(0x014012D2), "in $0140, r150");
    EXPECT_EQ(dspasm::disassembleWord(0x00000011), "nop");
    const uint32_t rightSections[] = {0x6E6, 0x726, 0x766, 0x7A6, 0x7E6};
    for (int j = 0; j < 5; ++j)
        EXPECT_EQ(dspasm::disassembleWord(rightSections[j]), "sec r" + std::to_string(55 + 2 * j));
    // The right filter file already holds those words where the editor puts them.
    const dspasm::Program right = assembleFile("SpFiR");
    for (int j = 0; j < 5; ++j) EXPECT_EQ(right.words[43 + 9 * j + 8], rightSections[j]);
}

TEST(InstructionSet, PatchedWordsHaveOpcodesThatSurviveTheEditorsWrites) {
    // Words receiving an address: opcode 0 (the address write clears bits 0..4).
    const dspasm::Program sm = assembleFile("SmCore");
    for (int w : {47, 48, 49, 50, 51, 52, 53, 66, 67, 68, 69, 70, 71, 72})
        EXPECT_EQ(opcodeOf(sm.words[29 + w]), RDA) << "SmCore word " << w;
    // C11-only level words: a C11 form with a register.
    EXPECT_EQ(opcodeOf(sm.words[29 + 46]), MUL11);
    EXPECT_EQ(opcodeOf(sm.words[29 + 65]), MUL11);
    // C16 words: an opcode whose form carries a C16 coefficient.
    for (int w : {1, 2, 3, 4, 20, 26, 37, 43, 54, 57, 64, 73}) {
        const Form f = opInfo(opcodeOf(sm.words[29 + w])).form;
        EXPECT_TRUE(f == Form::C16 || f == Form::C16Reg) << "SmCore word " << w;
    }
    const dspasm::Program a = assembleFile("ScCore_A"), b = assembleFile("ScCore_B");
    for (int w : {11, 12, 25, 26}) EXPECT_EQ(opcodeOf(a.words[71 + w]), RDA) << "ScCore_A word " << w;
    for (int w : {8, 9, 22, 23}) EXPECT_EQ(opcodeOf(b.words[71 + w]), RDA) << "ScCore_B word " << w;
    for (int w : {1, 2, 3, 4, 5, 6, 7, 15, 16, 17, 18, 19, 20, 21}) {
        const Form f = opInfo(opcodeOf(a.words[71 + w])).form;
        EXPECT_TRUE(f == Form::C16 || f == Form::C16Reg) << "ScCore_A word " << w;
    }
    for (int w : {1, 2, 3, 4, 10, 11, 12, 15, 16, 17, 18, 24, 25, 26}) {
        const Form f = opInfo(opcodeOf(b.words[71 + w])).form;
        EXPECT_TRUE(f == Form::C16 || f == Form::C16Reg) << "ScCore_B word " << w;
    }
    // Both variants share words 0..4, 13..18 and 27.
    for (int w : {0, 1, 2, 3, 4, 13, 14, 15, 16, 17, 18, 27}) EXPECT_EQ(a.words[71 + w], b.words[71 + w]);
    // Filter coefficients sit at section words 0, 2, 3, 6 and 7 with C16 forms.
    for (const char* name : {"SpFiL", "SpFiR"}) {
        const dspasm::Program f = assembleFile(name);
        for (int j = 0; j < 5; ++j)
            for (int k : {0, 2, 3, 6, 7}) {
                const Form form = opInfo(opcodeOf(f.words[43 + 9 * j + k])).form;
                EXPECT_TRUE(form == Form::C16 || form == Form::C16Reg) << name << " " << j << "/" << k;
            }
    }
}

TEST(InstructionSet, WordsTheEditorCopiesBetweenProgramsAgree) {
    // Solo copies the left block's coefficient fields into the right block and
    // back: the words around them must play them the same way.
    const dspasm::Program left = assembleFile("SpFiL"), right = assembleFile("SpFiR");
    for (int j = 0; j < 5; ++j)
        for (int k : {0, 2, 3, 6, 7})
            EXPECT_EQ(opcodeOf(left.words[43 + 9 * j + k]), opcodeOf(right.words[43 + 9 * j + k])) << j << "/" << k;
    // Solo also puts the left tone and gain into the right part's words 15..18,
    // and entering Stereo Mics may leave the Stereo Cabs tone words 1..4 in place.
    const dspasm::Program cabs = assembleFile("ScCore_A"), mics = assembleFile("SmCore");
    for (int w = 1; w <= 4; ++w) {
        EXPECT_EQ(opcodeOf(cabs.words[71 + w]), opcodeOf(cabs.words[71 + 14 + w])) << w;
        EXPECT_EQ(cabs.words[71 + w] & 0xFFFF, mics.words[29 + w] & 0xFFFF)
            << "word " << w;
    }
}
