// Pictures of the real main window for the guide: the window is built as the
// program builds it (with a virtual pedal attached, in a private home and
// working folder), brought into the states the guide shows, and read back
// from its back buffer.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace guide {

struct Shot {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;  // w * h * 3
};

// The states the guide pictures, by name:
//   cabs       connected, Stereo Cabs, factory preset 1 on the Dashboard
//   mics       the same sound in Stereo Mics
//   solo       Stereo Cabs with the left speaker soloed
//   notcher    Stereo Cabs, delay variant "Notcher - Doubler", ultra short
//   prompt     the local preset prompt open ("+" pressed)
//   offline    no pedal found at start-up
// repo: the repository (data/bin, data/img); pedalProgram: orvella-pedal.
// Returns false with the reason in error.
bool takeShots(const std::string& repo, const std::string& pedalProgram, std::map<std::string, Shot>& shots,
               std::string& error);

}  // namespace guide
