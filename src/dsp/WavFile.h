// RIFF/WAVE files, the one reader and writer of the programs: reads 16-, 24-
// and 32-bit integer and 32-bit float samples (also WAVE_FORMAT_EXTENSIBLE),
// mono or stereo, at any rate from 8 to 192 kHz; writes 16-, 24-bit integer or
// 32-bit float through the atomic write, so a failed write never replaces a
// file. Plain C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wav {

struct Audio {
    int rate = 48000;
    int channels = 1;               // 1 or 2
    std::vector<float> samples;     // interleaved, fractions of full scale
    std::size_t frames() const { return channels > 0 ? samples.size() / channels : 0; }
};

enum class Format { Int16, Int24, Float32 };

// Largest file read: about ten minutes of 192 kHz stereo 32-bit audio.
constexpr std::size_t MaxFileBytes = std::size_t(1) << 30;

// Decodes a whole file held in memory; name is used in the messages. A data
// chunk cut short keeps the whole frames it holds; samples that are not
// finite numbers read as silence.
bool parse(const uint8_t* data, std::size_t size, Audio& out, std::string& error, const std::string& name);
bool read(const std::string& path, Audio& out, std::string& error);

// The mean of the channels, frame by frame.
std::vector<float> mixToMono(const Audio& audio);

// The whole file; integer samples are rounded and clipped to full scale.
std::vector<uint8_t> encode(const Audio& audio, Format format);
bool write(const std::string& path, const Audio& audio, Format format, std::string& error);

}  // namespace wav
