// The plugin's parameters: the Dashboard's controls as a host sees them, each
// a whole number in a fixed range, and how they map to and from the 12-byte
// parameter block. Ranges come from the sound model (paramMax, the speaker
// table); the value texts are the Dashboard's read-outs. Plain C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sound/Params.h"

namespace plugin {

// Stable ids: hosts store automation and projects by them.
enum ParamId {
    Mode = 0, SpeakerL, SpeakerR, CabinetL, CabinetR, MicL, MicR, VolumeL, VolumeR, BlendL, BlendR,
    DelayPos, UltraShort, DelayUse, RoomSize, Time, Depth, Color, Solo, ParamCount
};

struct ParamInfo {
    const char* name;       // the Dashboard's label
    const char* symbol;     // a C identifier (LV2 port symbol)
    int max;                // min is 0
    int def;                // the value of the default block
    bool isEnum;            // value texts are names
};

const ParamInfo& paramInfo(int id);

// The values the host sees, whole numbers within their ranges.
struct ParamValues {
    int v[ParamCount];
};

// Values from a block (clamped as Apply clamps it; Solo off) and back.
ParamValues valuesFromBlock(const uint8_t block[sound::ParamCount]);
// The block the values stand for, Solo not folded in.
void blockFromValues(const ParamValues& values, uint8_t block[sound::ParamCount]);
// A host value rounded and clamped into the parameter's range.
int clampValue(int id, double value);

// The read-out for a value, given the others (the delay's depends on
// Ultra-short); false for an unknown id.
bool valueText(int id, int value, const ParamValues& all, char* out, std::size_t size);
// The value a text names: a name of an enum value or a number (the first
// number in the text, rounded). False when it names none.
bool valueFromText(int id, const char* text, double& value);

// Speakers as the host lists them: every byte that names a menu item.
int speakerCount();
int speakerByteAt(int index);
int speakerIndexOf(int speakerByte);      // -1 when not selectable

}  // namespace plugin
