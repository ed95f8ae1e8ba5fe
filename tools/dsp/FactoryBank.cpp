#include "FactoryBank.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

namespace factory {
namespace {

struct Field {
    const char* name;
    int max;
};
const Field kFields[12] = {
    {"Flags", 255}, {"Speaker_L", 77}, {"Speaker_R", 77}, {"Mic_L", 62}, {"Mic_R", 62},
    {"Volume_L", 200}, {"Volume_R", 200}, {"Blend_L", 100}, {"Blend_R", 100},
    {"Delay", 250}, {"Time", 100}, {"Depth", 100},
};

}  // namespace

bool selectableSpeaker(int b) {
    static const int bytes[] = {2, 3, 6, 7, 10, 11, 14, 15, 18, 19, 23, 24, 27, 28, 31, 32, 35, 36, 39, 40,
                                42, 43, 46, 47, 50, 51, 54, 55, 58, 59, 61, 62, 64, 65, 66, 68, 69, 70,
                                72, 73, 74, 76, 77};
    for (int v : bytes)
        if (v == b) return true;
    return false;
}

bool parse(const std::string& text, std::vector<Preset>& presets, std::string& error) {
    presets.clear();
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    auto fail = [&](const std::string& why) {
        error = "factory presets line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        const size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        const size_t q1 = line.find('"'), q2 = line.find('"', q1 + 1);
        if (q1 == std::string::npos || q2 == std::string::npos) return fail("the title must be quoted");
        Preset p;
        p.title = line.substr(q1 + 1, q2 - q1 - 1);
        if (p.title.empty() || p.title.size() > 12) return fail("a title has 1 to 12 characters");
        for (unsigned char c : p.title)
            if (c < 32 || c > 126) return fail("a title is plain printable text");
        bool given[12] = {};
        std::istringstream fs(line.substr(q2 + 1));
        std::string item;
        while (fs >> item) {
            const size_t eq = item.find('=');
            int index = -1;
            for (int i = 0; i < 12; ++i)
                if (eq != std::string::npos && item.compare(0, eq, kFields[i].name) == 0 &&
                    std::strlen(kFields[i].name) == eq)
                    index = i;
            if (index < 0) return fail("unknown field \"" + item + "\"");
            char* end = nullptr;
            const long v = std::strtol(item.c_str() + eq + 1, &end, 0);
            if (*end != '\0' || eq + 1 == item.size() || v < 0 || v > kFields[index].max)
                return fail("bad value in \"" + item + "\"");
            if (given[index]) return fail("field given twice in \"" + item + "\"");
            given[index] = true;
            p.block[index] = static_cast<uint8_t>(v);
        }
        for (int i = 0; i < 12; ++i)
            if (!given[i]) return fail(std::string("missing field ") + kFields[i].name);
        if (!selectableSpeaker(p.block[1]) || !selectableSpeaker(p.block[2]))
            return fail("a speaker byte names no selectable speaker");
        if ((p.block[0] & 0x40) && p.block[9] > 100) return fail("an ultra-short Delay runs 0..100");
        presets.push_back(p);
    }
    if (presets.size() != kPresets) {
        error = "factory presets: " + std::to_string(presets.size()) + " presets given, 8 needed";
        return false;
    }
    return true;
}

void bank(const std::vector<Preset>& presets, uint8_t out[kBankBytes]) {
    std::memset(out, ' ', kBankBytes);
    for (int i = 0; i < kPresets; ++i) {
        std::memcpy(out + 12 * i, presets[i].block, 12);
        std::memcpy(out + 96 + 12 * i, presets[i].title.data(), presets[i].title.size());
    }
}

}  // namespace factory
