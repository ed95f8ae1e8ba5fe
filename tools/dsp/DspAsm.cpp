#include "tools/dsp/DspAsm.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

using namespace dspisa;

namespace dspasm {
namespace {

std::string trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

std::vector<std::string> splitOperands(const std::string& s) {
    std::vector<std::string> out;
    if (trim(s).empty()) return out;
    std::stringstream ss(s);
    std::string part;
    while (std::getline(ss, part, ',')) out.push_back(trim(part));
    return out;
}

bool parseInt(const std::string& s, long lo, long hi, long& v) {
    if (s.empty()) return false;
    char* end = nullptr;
    const long n = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || n < lo || n > hi) return false;
    v = n;
    return true;
}

// A coefficient of `bits` width: $hex raw field or a real number in range.
bool parseCoef(const std::string& s, int bits, int& field, std::string& why) {
    const long span = 1L << bits;
    if (!s.empty() && s[0] == '$') {
        char* end = nullptr;
        const long n = std::strtol(s.c_str() + 1, &end, 16);
        if (s.size() < 2 || *end != '\0' || n < 0 || n >= span) {
            why = "bad raw coefficient \"" + s + "\"";
            return false;
        }
        field = static_cast<int>(n >= span / 2 ? n - span : n);
        return true;
    }
    char* end = nullptr;
    const double x = std::strtod(s.c_str(), &end);
    if (s.empty() || *end != '\0' || !std::isfinite(x)) {
        why = "bad coefficient \"" + s + "\"";
        return false;
    }
    if (x < -2.0 || x >= 2.0) {
        why = "coefficient " + s + " is outside -2 .. 2";
        return false;
    }
    field = bits == 16 ? c16FromReal(x) : c11FromReal(x);
    return true;
}

bool parseReg(const std::string& s, int& reg, std::string& why) {
    long n;
    if (s.size() < 2 || (s[0] != 'r' && s[0] != 'R') || !parseInt(s.substr(1), 0, kRegisters - 1, n)) {
        why = "bad register \"" + s + "\" (r0 .. r255)";
        return false;
    }
    reg = static_cast<int>(n);
    return true;
}

bool parseChan(const std::string& s, int& chan, std::string& why) {
    if (s == "left") { chan = 0; return true; }
    if (s == "right") { chan = 1; return true; }
    why = "bad channel \"" + s + "\" (left or right)";
    return false;
}

int findOpcode(const std::string& m) {
    for (int op = 0; op < OpcodeCount; ++op)
        if (m == opInfo(op).mnemonic) return op;
    return -1;
}

bool encode(const std::string& mnemonic, const std::vector<std::string>& ops, uint32_t& w, std::string& why) {
    const int op = findOpcode(mnemonic);
    if (op < 0) { why = "unknown instruction \"" + mnemonic + "\""; return false; }
    const Form form = opInfo(op).form;
    static const int arity[] = {2, 2, 1, 1, 2, 3, 2, 0};
    const size_t want = static_cast<size_t>(arity[static_cast<int>(form)]);
    if (ops.size() != want) {
        why = mnemonic + " takes " + std::to_string(want) + " operand(s)";
        return false;
    }
    w = static_cast<uint32_t>(op);
    int c = 0, r = 0, ch = 0;
    long a = 0;
    switch (form) {
    case Form::C11Addr:
        if (!parseCoef(ops[0], 11, c, why)) return false;
        if (!parseInt(ops[1], 0, 65535, a)) { why = "bad address \"" + ops[1] + "\" (0 .. 65535)"; return false; }
        w = withAddr(withC11(w, c), static_cast<int>(a));
        break;
    case Form::C16Reg:
        if (!parseCoef(ops[0], 16, c, why) || !parseReg(ops[1], r, why)) return false;
        w = withReg(withC16(w, c), r);
        break;
    case Form::C16:
        if (!parseCoef(ops[0], 16, c, why)) return false;
        w = withC16(w, c);
        break;
    case Form::Reg:
        if (!parseReg(ops[0], r, why)) return false;
        w = withReg(w, r);
        break;
    case Form::C16Chan:
        if (!parseCoef(ops[0], 16, c, why) || !parseChan(ops[1], ch, why)) return false;
        w = withChan(withC16(w, c), ch);
        break;
    case Form::C16ChanReg:
        if (!parseCoef(ops[0], 16, c, why) || !parseChan(ops[1], ch, why) || !parseReg(ops[2], r, why)) return false;
        w = withReg(withChan(withC16(w, c), ch), r);
        break;
    case Form::C11Reg:
        if (!parseCoef(ops[0], 11, c, why) || !parseReg(ops[1], r, why)) return false;
        w = withReg(withC11(w, c), r);
        break;
    case Form::None:
        break;
    }
    return true;
}

std::string hex(uint32_t v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "$%0*X", digits, v);
    return buf;
}

std::string coefText(int field, int bits) {
    const uint32_t mask = (1u << bits) - 1;
    return hex(static_cast<uint32_t>(field) & mask, bits == 16 ? 4 : 3);
}

}  // namespace

bool assemble(const std::string& source, Program& program, std::string& error) {
    for (int i = 0; i < kWords; ++i) {
        program.words[i] = NOP;
        program.used[i] = false;
    }
    int pc = 0, base = 0, lineNo = 0;
    std::stringstream in(source);
    std::string line;
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        const size_t semi = line.find(';');
        if (semi != std::string::npos) line.erase(semi);
        line = trim(line);
        if (line.empty()) continue;
        size_t sp = 0;
        while (sp < line.size() && !std::isspace(static_cast<unsigned char>(line[sp]))) ++sp;
        std::string head = line.substr(0, sp);
        for (char& ch : head) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        const std::string rest = trim(line.substr(sp));
        long n;
        if (head == ".org") {
            if (!parseInt(rest, 0, kWords - 1, n)) return fail("bad .org \"" + rest + "\"");
            pc = static_cast<int>(n);
            continue;
        }
        if (head == ".base") {
            if (!parseInt(rest, 0, kWords - 1, n)) return fail("bad .base \"" + rest + "\"");
            base = static_cast<int>(n);
            continue;
        }
        if (head == ".word") {
            if (!parseInt(rest, 0, kWords - 1, n)) return fail("bad .word \"" + rest + "\"");
            if (pc - base != n)
                return fail("expected word " + std::to_string(n) + " here, but this is word " + std::to_string(pc - base));
            continue;
        }
        if (pc >= kWords) return fail("program longer than " + std::to_string(kWords) + " words");
        if (program.used[pc]) return fail("word " + std::to_string(pc) + " assembled twice");
        uint32_t w = 0;
        if (head == ".raw") {
            char* end = nullptr;
            const unsigned long v = std::strtoul(rest.c_str() + (rest.empty() ? 0 : 1), &end, 16);
            if (rest.size() < 2 || rest[0] != '$' || *end != '\0' || v > 0xFFFFFFFFul)
                return fail("bad .raw \"" + rest + "\"");
            w = static_cast<uint32_t>(v);
        } else {
            std::string why;
            if (!encode(head, splitOperands(rest), w, why)) return fail(why);
        }
        program.words[pc] = w;
        program.used[pc] = true;
        ++pc;
    }
    return true;
}

std::string disassembleWord(uint32_t w) {
    const int op = opcodeOf(w);
    if (op >= OpcodeCount) return ".raw " + hex(w, 8);
    const OpInfo& info = opInfo(op);
    std::string text = info.mnemonic;
    const std::string reg = "r" + std::to_string(regOf(w));
    const std::string chan = chanOf(w) ? "right" : "left";
    uint32_t rebuilt = static_cast<uint32_t>(op);
    switch (info.form) {
    case Form::C11Addr:
        text += " " + coefText(c11Of(w), 11) + ", " + std::to_string(addrOf(w));
        rebuilt = withAddr(withC11(rebuilt, c11Of(w)), addrOf(w));
        break;
    case Form::C16Reg:
        text += " " + coefText(c16Of(w), 16) + ", " + reg;
        rebuilt = withReg(withC16(rebuilt, c16Of(w)), regOf(w));
        break;
    case Form::C16:
        text += " " + coefText(c16Of(w), 16);
        rebuilt = withC16(rebuilt, c16Of(w));
        break;
    case Form::Reg:
        text += " " + reg;
        rebuilt = withReg(rebuilt, regOf(w));
        break;
    case Form::C16Chan:
        text += " " + coefText(c16Of(w), 16) + ", " + chan;
        rebuilt = withChan(withC16(rebuilt, c16Of(w)), chanOf(w));
        break;
    case Form::C16ChanReg:
        text += " " + coefText(c16Of(w), 16) + ", " + chan + ", " + reg;
        rebuilt = withReg(withChan(withC16(rebuilt, c16Of(w)), chanOf(w)), regOf(w));
        break;
    case Form::C11Reg:
        text += " " + coefText(c11Of(w), 11) + ", " + reg;
        rebuilt = withReg(withC11(rebuilt, c11Of(w)), regOf(w));
        break;
    case Form::None:
        break;
    }
    // Bits the mnemonic form does not carry: keep the word exact.
    if (rebuilt != w) return ".raw " + hex(w, 8) + "  ; " + text;
    return text;
}

std::string disassemble(const uint8_t image[kImageBytes]) {
    std::string out = ".org 0\n";
    for (int i = 0; i < kWords; ++i) {
        char label[32];
        std::snprintf(label, sizeof label, "  ; %3d\n", i);
        out += "    " + disassembleWord(wordAt(image, i)) + label;
    }
    return out;
}

void toImage(const Program& program, uint8_t image[kImageBytes]) {
    for (int i = 0; i < kWords; ++i) putWord(image, i, program.words[i]);
}

}  // namespace dspasm
