#include "plugin/plugin_params.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sound/Speakers.h"

namespace plugin {

namespace {

using namespace sound;

const ParamInfo kParams[ParamCount] = {
    {"Mode", "mode", 1, 0, true},
    {"Left speaker", "speaker_l", 0, 0, true},      // max and defaults from the speaker table
    {"Right speaker", "speaker_r", 0, 0, true},
    {"Left cabinet", "cabinet_l", 1, 0, true},
    {"Right cabinet", "cabinet_r", 1, 1, true},
    {"Left microphone", "mic_l", 0, 0, false},      // the rest from the block's ranges
    {"Right microphone", "mic_r", 0, 0, false},
    {"Left volume", "volume_l", 0, 0, false},
    {"Right volume", "volume_r", 0, 0, false},
    {"Left blend", "blend_l", 0, 0, false},
    {"Right blend", "blend_r", 0, 0, false},
    {"Delay", "delay", 0, 0, false},
    {"Ultra-short", "ultra_short", 1, 0, true},
    {"Delay use", "delay_use", 1, 0, true},
    {"Room size", "room_size", 1, 0, true},
    {"Time", "time", 0, 0, false},
    {"Depth", "depth", 0, 0, false},
    {"Color", "color", FlagColorMask, 1, false},
    {"Solo", "solo", 2, 0, true},
};

const char* const kEnumTexts[ParamCount][3] = {
    {"STEREO CABS", "STEREO MICS"}, {}, {}, {"Sealed", "Opened/Ported"}, {"Sealed", "Opened/Ported"},
    {}, {}, {}, {}, {}, {}, {}, {"Off", "On"}, {"as Stereo Enhancer", "as Notcher - Doubler"},
    {"Small", "Medium"}, {}, {}, {}, {"Off", "Left", "Right"},
};

// The block byte of each plain number parameter.
int byteOf(int id) {
    switch (id) {
    case MicL: return Mic_L;
    case MicR: return Mic_R;
    case VolumeL: return Volume_L;
    case VolumeR: return Volume_R;
    case BlendL: return Blend_L;
    case BlendR: return Blend_R;
    case DelayPos: return Delay;
    case Time: return sound::Time;
    case Depth: return sound::Depth;
    default: return -1;
    }
}

struct Table {
    ParamInfo params[ParamCount];
    int speakers[SpeakerTableSize];
    int count = 0;
    Table() {
        for (int b = 0; b < SpeakerTableSize; ++b)
            if (isSelectableSpeaker(b)) speakers[count++] = b;
        ParamValues defaults = {};
        for (int id = 0; id < ParamCount; ++id) {
            params[id] = kParams[id];
            const int byte = byteOf(id);
            if (byte >= 0) params[id].max = paramMax(byte, 0);
        }
        params[SpeakerL].max = params[SpeakerR].max = count - 1;
        defaults = valuesFromBlockWith(defaultParams);
        for (int id = 0; id < ParamCount; ++id) params[id].def = defaults.v[id];
    }
    ParamValues valuesFromBlockWith(const uint8_t in[sound::ParamCount]) const {
        uint8_t b[sound::ParamCount];
        sanitizeParams(in, b);
        ParamValues p;
        const uint8_t f = b[Flags];
        p.v[Mode] = (f & FlagStereoMics) ? 1 : 0;
        for (int side = 0; side < 2; ++side) {
            int index = 0;
            for (int i = 0; i < count; ++i)
                if (speakers[i] == b[Speaker_L + side]) index = i;
            p.v[SpeakerL + side] = index;
        }
        p.v[CabinetL] = (f & FlagLeftOpen) ? 1 : 0;
        p.v[CabinetR] = (f & FlagRightOpen) ? 1 : 0;
        for (int id = 0; id < ParamCount; ++id)
            if (byteOf(id) >= 0) p.v[id] = b[byteOf(id)];
        p.v[UltraShort] = (f & FlagUltraShort) ? 1 : 0;
        p.v[DelayUse] = (f & FlagNotcher) ? 1 : 0;
        p.v[RoomSize] = (f & FlagRoomMedium) ? 1 : 0;
        p.v[Color] = f & FlagColorMask;
        p.v[Solo] = 0;
        return p;
    }
};

const Table& table() {
    static const Table t;
    return t;
}

// The first number in text, or false.
bool firstNumber(const char* text, double& x) {
    for (const char* p = text; *p; ++p) {
        if ((*p >= '0' && *p <= '9') || ((*p == '-' || *p == '.') && p[1] >= '0' && p[1] <= '9')) {
            char* end = nullptr;
            x = std::strtod(p, &end);
            return end != p && std::isfinite(x);
        }
    }
    return false;
}

bool sameText(const char* a, const char* b) {
    while (*a == ' ') ++a;
    for (; *a && *b; ++a, ++b)
        if ((*a | 0x20) != (*b | 0x20)) return false;
    while (*a == ' ') ++a;
    return *a == 0 && *b == 0;
}

}  // namespace

const ParamInfo& paramInfo(int id) { return table().params[id]; }

int speakerCount() { return table().count; }
int speakerByteAt(int index) { return table().speakers[index]; }
int speakerIndexOf(int speakerByte) {
    for (int i = 0; i < table().count; ++i)
        if (table().speakers[i] == speakerByte) return i;
    return -1;
}

ParamValues valuesFromBlock(const uint8_t block[sound::ParamCount]) { return table().valuesFromBlockWith(block); }

void blockFromValues(const ParamValues& p, uint8_t b[sound::ParamCount]) {
    for (int id = 0; id < ParamCount; ++id)
        if (byteOf(id) >= 0) b[byteOf(id)] = uint8_t(p.v[id]);
    b[Speaker_L] = uint8_t(speakerByteAt(p.v[SpeakerL]));
    b[Speaker_R] = uint8_t(speakerByteAt(p.v[SpeakerR]));
    b[Flags] = uint8_t((p.v[Color] & FlagColorMask) | (p.v[RoomSize] ? FlagRoomMedium : 0) |
                       (p.v[Mode] ? FlagStereoMics : 0) | (p.v[CabinetL] ? FlagLeftOpen : 0) |
                       (p.v[CabinetR] ? FlagRightOpen : 0) | (p.v[UltraShort] ? FlagUltraShort : 0) |
                       (p.v[DelayUse] ? FlagNotcher : 0));
    // One slider serves both delay ranges: Ultra-short holds it to its own.
    if (b[Delay] > paramMax(Delay, b[Flags])) b[Delay] = uint8_t(paramMax(Delay, b[Flags]));
}

int clampValue(int id, double value) {
    if (id < 0 || id >= ParamCount || !std::isfinite(value)) return 0;
    const double r = std::floor(value + 0.5);
    return r < 0 ? 0 : r > paramInfo(id).max ? paramInfo(id).max : int(r);
}

bool valueText(int id, int value, const ParamValues& all, char* out, std::size_t size) {
    if (id < 0 || id >= ParamCount || size == 0) return false;
    value = clampValue(id, value);
    switch (id) {
    case SpeakerL: case SpeakerR: {
        const int byte = speakerByteAt(value);
        std::snprintf(out, size, "%s: %s", categoryNames[speakerCategory(byte)], speakerLabel(byte));
        return true;
    }
    case MicL: case MicR:
        std::snprintf(out, size, "%3.0f%% edge, %3.0f%% center", (62 - value) / 62.0 * 100, value / 62.0 * 100);
        return true;
    case VolumeL: case VolumeR:
        std::snprintf(out, size, "%.2f", (value - 100) / 100.0);    // the field's %2.1f, one step finer
        return true;
    case BlendL: case BlendR:
        std::snprintf(out, size, "%d out left, %d out right", 100 - value, value);
        return true;
    case DelayPos: {
        const int centre = all.v[UltraShort] ? 50 : 125;
        const int d = value > 2 * centre ? 2 * centre : value;
        if (d == centre) std::snprintf(out, size, "0");
        else if (all.v[UltraShort])
            std::snprintf(out, size, "%s %3.2f", d < centre ? "left" : "right", std::abs(d - centre) / 50.0);
        else
            std::snprintf(out, size, "%s %d", d < centre ? "left" : "right", std::abs(d - centre));
        return true;
    }
    case Time: case Depth:
        std::snprintf(out, size, "%d%%", value);
        return true;
    case Color:
        std::snprintf(out, size, "%d", value);
        return true;
    default:
        std::snprintf(out, size, "%s", kEnumTexts[id][value]);
        return true;
    }
}

bool valueFromText(int id, const char* text, double& value) {
    if (id < 0 || id >= ParamCount || !text) return false;
    if (paramInfo(id).isEnum) {
        for (int v = 0; v <= paramInfo(id).max; ++v) {
            char name[96];
            valueText(id, v, ParamValues{}, name, sizeof name);
            const char* label = (id == SpeakerL || id == SpeakerR) ? speakerLabel(speakerByteAt(v)) : name;
            if (sameText(text, name) || sameText(text, label)) {
                value = v;
                return true;
            }
        }
        return false;
    }
    double x;
    if (!firstNumber(text, x)) return false;
    const bool right = std::strstr(text, "right") != nullptr;
    switch (id) {
    case MicL: case MicR: value = 62 - x * 62 / 100; break;                 // the edge share
    case VolumeL: case VolumeR: value = x * 100 + 100; break;
    case BlendL: case BlendR: value = 100 - x; break;                        // the left output's share
    case DelayPos:
        // Read in the wide range; a value for Ultra-short ("left 0.40") is a fraction.
        value = std::fabs(x) < 1 && x != 0 ? 50 + (right ? 50 : -50) * std::fabs(x) : 125 + (right ? 1 : -1) * std::fabs(x);
        break;
    default: value = x; break;
    }
    return true;
}

}  // namespace plugin
