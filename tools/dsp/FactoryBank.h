// Factory bank generator: reads the factory presets authored as text
// (dsp/factory.txt) and builds the 192-byte preset bank: eight 12-byte
// parameter blocks, then eight 12-character titles, space-padded.
//
// Line:  "Title" Flags=0x21 Speaker_L=3 Speaker_R=23 Mic_L=31 Mic_R=31
//        Volume_L=200 Volume_R=200 Blend_L=0 Blend_R=100 Delay=125 Time=50 Depth=50
// Every one of the twelve fields must be given; values are checked against
// their ranges and speaker bytes against the selectable items.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace factory {

constexpr int kPresets = 8;
constexpr int kBankBytes = 192;

struct Preset {
    std::string title;        // at most 12 characters
    uint8_t block[12];
};

bool parse(const std::string& text, std::vector<Preset>& presets, std::string& error);
void bank(const std::vector<Preset>& presets, uint8_t out[kBankBytes]);

}  // namespace factory
