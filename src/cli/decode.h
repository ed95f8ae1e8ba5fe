// What orvella-cli prints about a preset and the global configuration: the
// 12-byte record decoded into named parameters, as aligned text or as JSON.
// Speaker names are the Dashboard's menu items (src/sound's tables); the
// record is read as the editor would load it (clamped), and the raw bytes
// are shown beside it. Plain C++, no toolkit.
#pragma once

#include <cstdint>
#include <string>

#include "link/Protocol.h"

namespace cli {

// Preset `number` (1..8) with its record and 12-character title.
std::string presetText(int number, const uint8_t record[12], const uint8_t title[12]);
std::string presetJson(int number, const uint8_t record[12], const uint8_t title[12]);

// The title without its padding on the right.
std::string titleText(const uint8_t title[12]);

// The global configuration byte: bits 7-6 left knob, 5-4 right knob
// (0 mic position, 1 channel blend, 2 vol and phase), 3-0 MIDI channel - 1.
enum KnobFunction { MicPosition = 0, ChannelBlend = 1, VolAndPhase = 2, KnobFunctionCount = protocol::KnobFunctions };
const char* knobFunctionName(int function);     // "Mic Position", ...; nullptr for 3
// A knob function from what a user types: mic, blend, volume, or the full
// name in any case, with or without spaces or hyphens. -1 when unknown.
int parseKnobFunction(const std::string& text);
uint8_t configByte(int left, int right, int midiChannel);   // channel 1..16
int leftKnob(uint8_t config);
int rightKnob(uint8_t config);
int midiChannel(uint8_t config);                            // 1..16
std::string configText(uint8_t config);
std::string configJson(uint8_t config);

// Whether the user's locale writes UTF-8: the first of LC_ALL, LC_CTYPE and
// LANG that is set names a UTF-8 character set.
bool utf8Locale();
// Text for a terminal (names of files and local presets, titles from the
// pedal and from files): control bytes (C1 ones too), the backslash and
// bytes of no valid UTF-8 character become \xNN, so none can act as a control
// sequence; valid UTF-8 characters stay as they are when `utf8` (names in
// the user's language), else every byte outside printable ASCII is escaped.
std::string printable(const std::string& text, bool utf8);
inline std::string printable(const std::string& text) { return printable(text, utf8Locale()); }

// One line of the text form: "key:", padded to a column, the value.
std::string field(const std::string& key, const std::string& value);

// Text as a JSON string literal (quotes included); bytes outside printable
// ASCII become \u00XX, as titles are single-byte characters.
std::string jsonString(const std::string& text);

}  // namespace cli
