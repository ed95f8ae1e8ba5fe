// The DI signals the editor plays through a sound: built-in clips made here
// (plucked strings, deterministic: the same samples on every computer) and
// the user's own WAV file brought to the pedal's rate. Plain C++.
#pragma once

#include <string>
#include <vector>

namespace wav {
struct Audio;
}

namespace audio {

enum class Clip { GuitarRiff, GuitarChords, BassLine };
constexpr int ClipCount = 3;

// "Guitar riff", "Guitar chords", "Bass line".
const char* clipName(Clip clip);
// Mono, 48 kHz, a few seconds, ending in silence so that it loops without a click.
std::vector<float> makeClip(Clip clip);

// A WAV file as a mono 48 kHz DI signal: stereo files are mixed, other rates
// resampled. False with a message for the user in error.
bool loadDiFile(const std::string& path, std::vector<float>& samples, std::string& error);
// The same for audio already read: the mix is clipped at full scale, as the
// pedal's input clips, before it is resampled.
std::vector<float> diSignal(const wav::Audio& audio);

}  // namespace audio
