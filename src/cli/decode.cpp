#include "cli/decode.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "link/Protocol.h"
#include "sound/Params.h"
#include "sound/Speakers.h"

using namespace sound;

namespace cli {

namespace {

const char* const colorNames[4] = {"I", "II", "III", "IV"};

std::string trimmed(const char* text) {
    std::string s = text ? text : "";
    size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string format(const char* fmt, double a, double b = 0, double c = 0) {
    char line[128];
    std::snprintf(line, sizeof line, fmt, a, b, c);
    return line;
}

std::string hexRecord(const uint8_t* record, const char* separator) {
    std::string out;
    char byte[4];
    for (int i = 0; i < ParamCount; ++i) {
        std::snprintf(byte, sizeof byte, "%02X", record[i]);
        if (i) out += separator;
        out += byte;
    }
    return out;
}

struct SideView {
    int speaker;                // the speaker number the editor loads
    std::string speakerName;    // the menu item
    const char* category;
    const char* cabinet;        // nullptr for Gears and Misc speakers
    int mic;                    // 0 Edge .. 62 Center
    int volume;                 // 0..200
    int blend;                  // 0..100
};

// A record as the editor loads it: clamped, every part named.
struct View {
    uint8_t raw[ParamCount];
    uint8_t p[ParamCount];
    bool clamped;
    bool stereoMics;
    SideView side[2];
    bool ultraShort;
    bool notcher;
    int delay;
    int delayedSide;            // -1 none, 0 left, 1 right
    int delayAmount;
    const char* roomSize;
    int color;

    explicit View(const uint8_t record[ParamCount]) {
        std::memcpy(raw, record, sizeof raw);
        sanitizeParams(record, p);
        clamped = std::memcmp(raw, p, sizeof raw) != 0;
        uint8_t flags = p[Flags];
        stereoMics = flags & FlagStereoMics;
        for (int s = 0; s < 2; ++s) {
            SideView& v = side[s];
            v.speaker = p[s == 0 ? Speaker_L : Speaker_R];
            v.speakerName = trimmed(speakerLabel(v.speaker));
            v.category = categoryNames[speakerCategory(v.speaker)];
            bool open = flags & (s == 0 ? FlagLeftOpen : FlagRightOpen);
            v.cabinet = speakerHasCabinet(v.speaker) ? (open ? "Opened/Ported" : "Sealed") : nullptr;
            v.mic = p[s == 0 ? Mic_L : Mic_R];
            v.volume = p[s == 0 ? Volume_L : Volume_R];
            v.blend = p[s == 0 ? Blend_L : Blend_R];
        }
        ultraShort = flags & FlagUltraShort;
        notcher = flags & FlagNotcher;
        delay = p[Delay];
        int centre = ultraShort ? 50 : 125;
        delayedSide = delay < centre ? 0 : delay > centre ? 1 : -1;
        delayAmount = delay < centre ? centre - delay : delay - centre;
        roomSize = (flags & FlagRoomMedium) ? "Medium" : "Small";
        color = flags & FlagColorMask;
    }

    const char* mode() const { return stereoMics ? "Stereo Mics" : "Stereo Cabs"; }
    const char* delayUse() const { return notcher ? "Notcher - Doubler" : "Stereo Enhancer"; }
    const char* delayUnit() const { return ultraShort ? "samples" : "ms"; }
    static double gain(int volume) { return (volume - 100) / 100.0; }
    // "L-Out = 100% L-Speaker + 0% R-Speaker", as the Dashboard labels the blend.
    std::string blendMeaning(int s) const {
        const char* first = stereoMics ? "Close Mic" : "L-Speaker";
        const char* second = stereoMics ? "Room Mic" : "R-Speaker";
        char line[96];
        std::snprintf(line, sizeof line, "%s = %d%% %s + %d%% %s", s == 0 ? "L-Out" : "R-Out", 100 - side[s].blend,
                      first, side[s].blend, second);
        return line;
    }
};

std::string volumeText(int volume) {
    if (volume == 100) return "< Mute >";
    std::string text = format("%+.2f", View::gain(volume));
    if (volume < 100) text += " (phase inverted)";
    return text;
}

void row(std::string& out, const std::string& key, const std::string& value) { out += field(key, value); }

}  // namespace

std::string field(const std::string& key, const std::string& value) {
    std::string line = key + ':';
    line.append(line.size() < 15 ? 15 - line.size() : 1, ' ');
    return line + value + '\n';
}

std::string titleText(const uint8_t title[12]) {
    std::string t(reinterpret_cast<const char*>(title), 12);
    size_t end = t.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : t.substr(0, end + 1);
}

bool utf8Locale() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        std::string set;
        for (const char* c = value; *c; ++c)
            if (*c != '-' && *c != '_') set += char(std::tolower(static_cast<unsigned char>(*c)));
        return set.find("utf8") != std::string::npos;
    }
    return false;
}

namespace {

// The length of the valid UTF-8 character that starts at text[i], or 0: no
// overlong form, no surrogate, nothing above U+10FFFF, no C1 control.
size_t utf8Length(const std::string& text, size_t i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > text.size()) return 0;
    uint32_t code = c & (0xFF >> (n + 1));
    for (size_t k = 1; k < n; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        code = code << 6 | (next & 0x3F);
    }
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[n] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) || code < 0xA0) return 0;
    return n;
}

}  // namespace

std::string printable(const std::string& text, bool utf8) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += char(c);
            ++i;
            continue;
        }
        if (size_t n = utf8 ? utf8Length(text, i) : 0) {
            out.append(text, i, n);
            i += n;
            continue;
        }
        char esc[8];
        std::snprintf(esc, sizeof esc, "\\x%02X", c);
        out += esc;
        ++i;
    }
    return out;
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        }
    }
    return out + "\"";
}

std::string presetText(int number, const uint8_t record[12], const uint8_t title[12]) {
    View v(record);
    std::string out;
    row(out, "preset", std::to_string(number));
    row(out, "title", printable(titleText(title)));
    row(out, "record", hexRecord(v.raw, " ") + (v.clamped ? "  (out of range; loaded as " + hexRecord(v.p, " ") + ")" : ""));
    row(out, "mode", v.mode());
    for (int s = 0; s < 2; ++s) {
        const SideView& side = v.side[s];
        std::string name = s == 0 ? "left " : "right ";
        std::string speaker = side.speakerName + " (" + side.category + ", " + std::to_string(side.speaker) + ")";
        if (s == 1 && v.stereoMics) speaker += ", not heard in Stereo Mics";
        row(out, name + "speaker", speaker);
        row(out, name + "cabinet", side.cabinet ? side.cabinet : "not applicable to Gears or Misc speakers");
        row(out, name + "mic", std::to_string(side.mic) + " (0 Edge .. 62 Center)");
        row(out, name + "volume", volumeText(side.volume));
        row(out, name + "blend", std::to_string(side.blend) + "% (" + v.blendMeaning(s) + ")");
    }
    row(out, "delay use", v.delayUse());
    row(out, "delay range", v.ultraShort ? "ultra-short" : "normal");
    std::string delay = std::to_string(v.delay) + " (";
    if (v.delayedSide < 0)
        delay += "no delay)";
    else
        delay += std::string(v.delayedSide == 0 ? "left" : "right") + " delayed by " + std::to_string(v.delayAmount) +
                 " " + v.delayUnit() + ")";
    row(out, "delay", delay);
    row(out, "room size", v.roomSize);
    row(out, "room time", std::to_string(v.p[Time]) + "%");
    row(out, "room depth", std::to_string(v.p[Depth]) + "% (0 E.Reflection .. 100 Reverb Tail)");
    row(out, "room color", std::string(colorNames[v.color]) + (v.color == 0 ? " (Lively)" : v.color == 3 ? " (Warm)" : ""));
    return out;
}

std::string presetJson(int number, const uint8_t record[12], const uint8_t title[12]) {
    View v(record);
    std::string out = "{\n";
    out += "  \"preset\": " + std::to_string(number) + ",\n";
    out += "  \"title\": " + jsonString(titleText(title)) + ",\n";
    out += "  \"record\": \"" + hexRecord(v.raw, "") + "\",\n";
    out += "  \"clamped\": " + std::string(v.clamped ? "true" : "false") + ",\n";
    out += "  \"mode\": " + jsonString(v.mode()) + ",\n";
    for (int s = 0; s < 2; ++s) {
        const SideView& side = v.side[s];
        out += s == 0 ? "  \"left\": {" : "  \"right\": {";
        out += "\"speaker\": " + jsonString(side.speakerName);
        out += ", \"speaker_number\": " + std::to_string(side.speaker);
        out += ", \"category\": " + jsonString(side.category);
        out += ", \"cabinet\": " + (side.cabinet ? jsonString(side.cabinet) : std::string("null"));
        out += ", \"mic\": " + std::to_string(side.mic);
        out += ", \"volume\": " + format("%.2f", View::gain(side.volume));
        out += ", \"blend\": " + std::to_string(side.blend);
        out += "},\n";
    }
    out += "  \"delay\": {\"use\": " + jsonString(v.delayUse());
    out += ", \"range\": " + jsonString(v.ultraShort ? "ultra-short" : "normal");
    out += ", \"value\": " + std::to_string(v.delay);
    out += ", \"delayed\": " + (v.delayedSide < 0 ? std::string("null") : jsonString(v.delayedSide == 0 ? "left" : "right"));
    out += ", \"amount\": " + std::to_string(v.delayAmount);
    out += ", \"unit\": " + jsonString(v.delayUnit()) + "},\n";
    out += "  \"room\": {\"size\": " + jsonString(v.roomSize);
    out += ", \"time\": " + std::to_string(v.p[Time]);
    out += ", \"depth\": " + std::to_string(v.p[Depth]);
    out += ", \"color\": " + jsonString(colorNames[v.color]) + "}\n";
    out += "}\n";
    return out;
}

const char* knobFunctionName(int function) {
    if (function < 0 || function >= KnobFunctionCount) return nullptr;
    const char* name = protocol::knobFunctionItems[function];
    while (*name == ' ') ++name;     // the prompt's items lead with spaces only
    return name;
}

int parseKnobFunction(const std::string& text) {
    std::string key;
    for (char c : text)
        if (std::isalnum(static_cast<unsigned char>(c))) key += char(std::tolower(static_cast<unsigned char>(c)));
    if (key == "mic" || key == "micposition") return MicPosition;
    if (key == "blend" || key == "channelblend") return ChannelBlend;
    if (key == "volume" || key == "vol" || key == "volandphase") return VolAndPhase;
    return -1;
}

uint8_t configByte(int left, int right, int channel) {
    return static_cast<uint8_t>((left << 6) | (right << 4) | ((channel - 1) & 0x0F));
}
int leftKnob(uint8_t config) { return config >> 6; }
int rightKnob(uint8_t config) { return (config >> 4) & 3; }
int midiChannel(uint8_t config) { return (config & 0x0F) + 1; }

namespace {
std::string knobText(int function) {
    const char* name = knobFunctionName(function);
    return name ? name : "unknown (" + std::to_string(function) + ")";
}
}  // namespace

std::string configText(uint8_t config) {
    std::string out;
    row(out, "left knob", knobText(leftKnob(config)));
    row(out, "right knob", knobText(rightKnob(config)));
    row(out, "midi channel", std::to_string(midiChannel(config)));
    return out;
}

std::string configJson(uint8_t config) {
    auto knob = [](int f) { return knobFunctionName(f) ? jsonString(knobFunctionName(f)) : std::string("null"); };
    return "{\"left_knob\": " + knob(leftKnob(config)) + ", \"right_knob\": " + knob(rightKnob(config)) +
           ", \"midi_channel\": " + std::to_string(midiChannel(config)) + "}\n";
}

}  // namespace cli
