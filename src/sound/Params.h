// The 12-byte parameter block: indices, flag bits and defaults.
#pragma once

#include <cstdint>

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

extern const uint8_t defaultParams[ParamCount];
