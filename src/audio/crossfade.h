// The crossfade from one sound to the next that everything hearing a sound
// change uses (Listen's player, the audio plugins): linear, from a new
// interpreter started from a cleared state, over 256 frames (5.3 ms).
#pragma once

#include <cstddef>

namespace audio {

constexpr std::size_t CrossfadeFrames = 256;
// The new sound's share at frame i (0 .. CrossfadeFrames - 1) of the fade.
inline float crossfadeGain(std::size_t i) { return float(i + 1) / CrossfadeFrames; }

}  // namespace audio
