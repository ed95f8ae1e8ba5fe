// RIFF/WAVE reading and writing (WavFile.h), and the 48 kHz helpers the
// virtual pedal's --render uses on top of it.
#include "dsp/WavFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "dsp/DspInterpreter.h"
#include "base/files.h"
#include "base/platform.h"

namespace wav {

namespace {

uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
// One sample as a fraction of full scale.
double sampleAt(const uint8_t* p, int bits, bool floats) {
    if (floats) {
        const uint32_t u = le32(p);
        float f;
        std::memcpy(&f, &u, sizeof f);
        return std::isfinite(f) ? f : 0.0;
    }
    if (bits == 16) return int16_t(le16(p)) / 32768.0;
    if (bits == 24) return int32_t(uint32_t(p[0] << 8) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 24)) / 2147483648.0;
    return int32_t(le32(p)) / 2147483648.0;
}

void put32(std::vector<uint8_t>& b, uint32_t v) { for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i))); }
void put16(std::vector<uint8_t>& b, uint16_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); }

long clipped(float v, double scale, long low, long high) {
    const double x = double(v) * scale;
    if (!(x == x)) return 0;
    if (x >= double(high)) return high;
    if (x <= double(low)) return low;
    return std::lround(x) > high ? high : std::lround(x);
}

}  // namespace

bool parse(const uint8_t* d, std::size_t size, Audio& out, std::string& error, const std::string& name) {
    const std::string quoted = "\"" + name + "\"";
    if (size < 12 || std::memcmp(d, "RIFF", 4) != 0 || std::memcmp(d + 8, "WAVE", 4) != 0) {
        error = quoted + " is not a WAV file";
        return false;
    }
    int channels = 0, bits = 0, format = 0;
    uint32_t rate = 0;
    bool haveFormat = false;
    std::size_t pos = 12;
    while (pos + 8 <= size) {
        const uint32_t chunk = le32(d + pos + 4);
        const std::size_t body = pos + 8;
        const std::size_t avail = size - body;
        if (std::memcmp(d + pos, "fmt ", 4) == 0) {
            if (chunk < 16 || avail < 16) break;
            format = le16(d + body);
            channels = le16(d + body + 2);
            rate = le32(d + body + 4);
            bits = le16(d + body + 14);
            // WAVE_FORMAT_EXTENSIBLE names the real format in its sub-format GUID.
            if (format == 0xFFFE && chunk >= 40 && avail >= 40) format = le16(d + body + 24);
            haveFormat = true;
        } else if (std::memcmp(d + pos, "data", 4) == 0) {
            if (!haveFormat) break;
            const bool pcm = format == 1 && (bits == 16 || bits == 24 || bits == 32);
            const bool floats = format == 3 && bits == 32;
            if (!(pcm || floats) || channels < 1 || channels > 2) {
                error = quoted + " must be 16-, 24- or 32-bit PCM or 32-bit float, mono or stereo";
                return false;
            }
            if (rate < 8000 || rate > 192000) {
                error = quoted + " has a sample rate of " + std::to_string(rate) + " Hz; 8000 to 192000 Hz can be read";
                return false;
            }
            const std::size_t bytesPerSample = bits / 8;
            const std::size_t frames = std::min<std::size_t>(chunk, avail) / (bytesPerSample * channels);
            out.rate = int(rate);
            out.channels = channels;
            out.samples.resize(frames * channels);
            for (std::size_t i = 0; i < frames * channels; ++i)
                out.samples[i] = static_cast<float>(sampleAt(d + body + bytesPerSample * i, bits, floats));
            return true;
        }
        if (chunk > size - body) break;
        pos = body + chunk + (chunk & 1);
    }
    error = quoted + " has no readable format and data chunks";
    return false;
}

bool read(const std::string& path, Audio& out, std::string& error) {
    std::vector<uint8_t> bytes;
    int err = 0;
    if (!files::readFile(path, bytes, &err, MaxFileBytes)) {
        error = err == EFBIG ? "\"" + platform::shownPath(path) + "\" is too large (more than 1 GiB)"
                             : "cannot open \"" + platform::shownPath(path) + "\": " + std::strerror(err ? err : EIO);
        return false;
    }
    return parse(bytes.data(), bytes.size(), out, error, platform::shownPath(path));
}

std::vector<float> mixToMono(const Audio& audio) {
    std::vector<float> mono(audio.frames());
    const int c = audio.channels;
    for (std::size_t i = 0; i < mono.size(); ++i) {
        double sum = 0;
        for (int k = 0; k < c; ++k) sum += audio.samples[i * c + k];
        mono[i] = static_cast<float>(sum / c);
    }
    return mono;
}

std::vector<uint8_t> encode(const Audio& audio, Format format) {
    const int bytes = format == Format::Int16 ? 2 : format == Format::Int24 ? 3 : 4;
    const uint32_t frames = static_cast<uint32_t>(audio.frames());
    const uint32_t align = uint32_t(bytes * audio.channels);
    const uint32_t dataBytes = frames * align;
    std::vector<uint8_t> b;
    b.reserve(44 + dataBytes + 1);
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    put32(b, 36 + dataBytes + (dataBytes & 1));
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(b, 16);
    put16(b, format == Format::Float32 ? 3 : 1);
    put16(b, uint16_t(audio.channels));
    put32(b, uint32_t(audio.rate));
    put32(b, uint32_t(audio.rate) * align);
    put16(b, uint16_t(align));
    put16(b, uint16_t(bytes * 8));
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put32(b, dataBytes);
    for (std::size_t i = 0; i < std::size_t(frames) * audio.channels; ++i) {
        const float v = audio.samples[i];
        switch (format) {
        case Format::Int16: put16(b, uint16_t(int16_t(clipped(v, 32768.0, -32768, 32767)))); break;
        case Format::Int24: {
            const uint32_t s = uint32_t(clipped(v, 8388608.0, -8388608, 8388607));
            b.insert(b.end(), {uint8_t(s), uint8_t(s >> 8), uint8_t(s >> 16)});
            break;
        }
        case Format::Float32: {
            const float f = std::isfinite(v) ? v : 0.0f;
            uint32_t u;
            std::memcpy(&u, &f, sizeof u);
            put32(b, u);
            break;
        }
        }
    }
    if (dataBytes & 1) b.push_back(0);
    return b;
}

bool write(const std::string& path, const Audio& audio, Format format, std::string& error) {
    const std::vector<uint8_t> bytes = encode(audio, format);
    files::AtomicFile file(path);
    if (!file.isOpen() || !file.write(bytes.data(), bytes.size()) || !file.commit()) {
        error = "cannot write \"" + platform::shownPath(path) + "\": " + std::strerror(file.error() ? file.error() : EIO);
        return false;
    }
    return true;
}

}  // namespace wav

bool readWavMono(const std::string& path, std::vector<float>& samples, std::string& error) {
    wav::Audio audio;
    if (!wav::read(path, audio, error)) return false;
    if (audio.rate != dspisa::kSampleRate) {
        error = "\"" + platform::shownPath(path) + "\" must be sampled at 48000 Hz (it is " + std::to_string(audio.rate) + " Hz)";
        return false;
    }
    samples = wav::mixToMono(audio);
    return true;
}

bool writeWavStereo(const std::string& path, const std::vector<float>& left,
                    const std::vector<float>& right, std::string& error) {
    wav::Audio audio;
    audio.rate = dspisa::kSampleRate;
    audio.channels = 2;
    const std::size_t frames = std::min(left.size(), right.size());
    audio.samples.resize(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        audio.samples[2 * i] = left[i];
        audio.samples[2 * i + 1] = right[i];
    }
    return wav::write(path, audio, wav::Format::Int16, error);
}

bool renderWav(const uint8_t image[dspisa::kImageBytes], const std::string& inputWav,
               const std::string& outputWav, std::string& error) {
    std::vector<float> in;
    if (inputWav.empty()) in = testSignal();
    else if (!readWavMono(inputWav, in, error)) return false;
    // Let reverb tails ring out for a second after the input ends.
    in.resize(in.size() + dspisa::kSampleRate, 0.0f);
    std::vector<float> left(in.size()), right(in.size());
    DspInterpreter interpreter;
    interpreter.load(image);
    interpreter.run(in.data(), left.data(), right.data(), in.size());
    return writeWavStereo(outputWav, left, right, error);
}
