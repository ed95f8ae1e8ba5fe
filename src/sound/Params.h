// The 12-byte parameter block: indices, flag bits and defaults.
#pragma once

#include <cstdint>

namespace sound {

enum ParamIndex {
    Flags = 0, Speaker_L, Speaker_R, Mic_L, Mic_R, Volume_L, Volume_R,
    Blend_L, Blend_R, Delay, Time, Depth, ParamCount
};

enum FlagBits : uint8_t {
    FlagColorMask = 0x03,     // room COLOR 0..3
    FlagRoomMedium = 0x04,    // room SIZE Medium
    FlagStereoMics = 0x08,    // Stereo Mics mode
    FlagLeftOpen = 0x10,      // left cabinet opened/ported
    FlagRightOpen = 0x20,     // right cabinet opened/ported
    FlagUltraShort = 0x40,    // ultra-short delay range
    FlagNotcher = 0x80,       // delay used as Notcher - Doubler
};

}  // namespace sound

extern const uint8_t defaultParams[sound::ParamCount];

// Highest value a byte may hold; Delay depends on the ultra-short bit of flags.
int paramMax(int index, uint8_t flags);

// Copies a block, clamping every byte to its range and mapping a speaker byte
// that names no selectable item to its category's default for that side.
// Blocks come from the pedal and from files, which carry no checksum.
void sanitizeParams(const uint8_t in[sound::ParamCount], uint8_t out[sound::ParamCount]);

// The block stored while a Solo is active: the silent side takes the soloed
// side's speaker, microphone and cabinet bit (soloSide 0 left, 1 right).
// in and out may be the same block.
void foldSolo(const uint8_t in[sound::ParamCount], int soloSide, uint8_t out[sound::ParamCount]);
