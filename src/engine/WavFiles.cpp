// Minimal RIFF/WAVE reading and writing: reads 16-, 24- and 32-bit PCM and
// 32-bit float, mono or stereo, at 48 kHz; writes 16-bit stereo, what the
// pedal's converters deliver.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "DspEngine.h"

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

bool readAll(const std::string& path, std::vector<uint8_t>& data, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) { error = "cannot open \"" + path + "\""; return false; }
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + n);
    const bool bad = std::ferror(f) != 0;
    std::fclose(f);
    if (bad) { error = "cannot read \"" + path + "\""; return false; }
    return true;
}

}  // namespace

bool readWavMono(const std::string& path, std::vector<float>& samples, std::string& error) {
    std::vector<uint8_t> d;
    if (!readAll(path, d, error)) return false;
    if (d.size() < 12 || std::memcmp(d.data(), "RIFF", 4) != 0 || std::memcmp(d.data() + 8, "WAVE", 4) != 0) {
        error = "\"" + path + "\" is not a WAV file";
        return false;
    }
    int channels = 0, bits = 0, format = 0;
    uint32_t rate = 0;
    bool haveFormat = false;
    size_t pos = 12;
    while (pos + 8 <= d.size()) {
        const uint32_t size = le32(&d[pos + 4]);
        const size_t body = pos + 8;
        const size_t avail = d.size() - body;
        if (std::memcmp(&d[pos], "fmt ", 4) == 0) {
            if (size < 16 || avail < 16) break;
            format = le16(&d[body]);
            channels = le16(&d[body + 2]);
            rate = le32(&d[body + 4]);
            bits = le16(&d[body + 14]);
            // WAVE_FORMAT_EXTENSIBLE names the real format in its sub-format GUID.
            if (format == 0xFFFE && size >= 40 && avail >= 40) format = le16(&d[body + 24]);
            haveFormat = true;
        } else if (std::memcmp(&d[pos], "data", 4) == 0) {
            if (!haveFormat) break;
            const bool pcm = format == 1 && (bits == 16 || bits == 24 || bits == 32);
            const bool floats = format == 3 && bits == 32;
            if (!(pcm || floats) || channels < 1 || channels > 2) {
                error = "\"" + path + "\" must be 16-, 24- or 32-bit PCM or 32-bit float, mono or stereo";
                return false;
            }
            if (rate != uint32_t(dspisa::kSampleRate)) {
                error = "\"" + path + "\" must be sampled at 48000 Hz (it is " + std::to_string(rate) + " Hz)";
                return false;
            }
            const size_t bytesPerSample = bits / 8;
            const size_t frames = std::min<size_t>(size, avail) / (bytesPerSample * channels);
            samples.resize(frames);
            for (size_t i = 0; i < frames; ++i) {
                double sum = 0;
                for (int c = 0; c < channels; ++c)
                    sum += sampleAt(&d[body + bytesPerSample * (i * channels + c)], bits, floats);
                samples[i] = static_cast<float>(sum / channels);
            }
            return true;
        }
        pos = body + size + (size & 1);
    }
    error = "\"" + path + "\" has no readable format and data chunks";
    return false;
}

bool writeWavStereo(const std::string& path, const std::vector<float>& left,
                    const std::vector<float>& right, std::string& error) {
    const size_t frames = std::min(left.size(), right.size());
    std::vector<uint8_t> b;
    b.reserve(44 + frames * 4);
    const uint32_t dataBytes = static_cast<uint32_t>(frames * 4);
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    put32(b, 36 + dataBytes);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(b, 16);
    put16(b, 1);
    put16(b, 2);
    put32(b, dspisa::kSampleRate);
    put32(b, dspisa::kSampleRate * 4);
    put16(b, 4);
    put16(b, 16);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put32(b, dataBytes);
    for (size_t i = 0; i < frames; ++i) {
        for (float v : {left[i], right[i]}) {
            long s = std::lround(double(v) * 32768.0);
            s = s > 32767 ? 32767 : (s < -32768 ? -32768 : s);
            put16(b, static_cast<uint16_t>(static_cast<int16_t>(s)));
        }
    }
    const std::string temp = path + ".tmp";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) { error = "cannot create \"" + temp + "\""; return false; }
    const bool written = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        error = "cannot write \"" + path + "\"";
        return false;
    }
    return true;
}

bool renderWav(const uint8_t image[dspisa::kImageBytes], const std::string& inputWav,
               const std::string& outputWav, std::string& error) {
    std::vector<float> in;
    if (inputWav.empty()) in = testSignal();
    else if (!readWavMono(inputWav, in, error)) return false;
    // Let reverb tails ring out for a second after the input ends.
    in.resize(in.size() + dspisa::kSampleRate, 0.0f);
    std::vector<float> left(in.size()), right(in.size());
    DspEngine engine;
    engine.load(image);
    engine.run(in.data(), left.data(), right.data(), in.size());
    return writeWavStereo(outputWav, left, right, error);
}
