#include "tools/dsp/FactoryBank.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "sound/Params.h"
#include "sound/Speakers.h"

using namespace sound;

namespace factory {
namespace {

// Field names in block order; the ranges are the editor's (sound/Params.h).
const char* const kFields[ParamCount] = {
    "Flags", "Speaker_L", "Speaker_R", "Mic_L", "Mic_R", "Volume_L", "Volume_R",
    "Blend_L", "Blend_R", "Delay", "Time", "Depth",
};

}  // namespace

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
                if (eq != std::string::npos && item.compare(0, eq, kFields[i]) == 0 &&
                    std::strlen(kFields[i]) == eq)
                    index = i;
            if (index < 0) return fail("unknown field \"" + item + "\"");
            char* end = nullptr;
            const long v = std::strtol(item.c_str() + eq + 1, &end, 0);
            if (*end != '\0' || eq + 1 == item.size() || v < 0 || v > paramMax(index, 0))
                return fail("bad value in \"" + item + "\"");
            if (given[index]) return fail("field given twice in \"" + item + "\"");
            given[index] = true;
            p.block[index] = static_cast<uint8_t>(v);
        }
        for (int i = 0; i < 12; ++i)
            if (!given[i]) return fail(std::string("missing field ") + kFields[i]);
        if (!isSelectableSpeaker(p.block[Speaker_L]) || !isSelectableSpeaker(p.block[Speaker_R]))
            return fail("a speaker byte names no selectable speaker");
        if (p.block[Delay] > paramMax(Delay, p.block[Flags])) return fail("an ultra-short Delay runs 0..100");
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
