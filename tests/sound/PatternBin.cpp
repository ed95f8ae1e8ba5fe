#include "tests/sound/PatternBin.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#ifdef _WIN32
#include <process.h>
#endif
#include <filesystem>
#include <vector>

#include "sound/CoreFiles.h"

uint16_t coePattern(int set, int record, int word)
{
    // Odd records are negative, so the gain's sign is exercised too.
    uint16_t v = uint16_t(0x2000 | (set << 10) | (record << 5) | word);
    return (record & 1) ? uint16_t(v | 0x8000) : v;
}

void fvcPattern(PatternFile f, int word, uint8_t out[4])
{
    out[0] = uint8_t(0xA0 + f);
    out[1] = uint8_t(word);
    out[2] = uint8_t(0x55 ^ (word * 7));
    out[3] = uint8_t(0x0F ^ (word * 3 + f));
}

PatternBin::PatternBin()
{
#ifdef _WIN32
    // No mkdtemp here: a folder named after the process and a count.
    static int made = 0;
    path = (std::filesystem::temp_directory_path() /
            ("orvella-sound-" + std::to_string(_getpid()) + "-" + std::to_string(++made))).generic_string();
    std::filesystem::create_directories(path);
#else
    char tmpl[] = "/tmp/orvella-sound-XXXXXX";
    path = mkdtemp(tmpl);
#endif
    for (int f = 0; f < 8; ++f) {
        const CoreFileSlice& slice = coreFileSlices[f];
        std::vector<uint8_t> bytes(size_t(slice.offset + slice.length), 0xEE);
        uint8_t* data = bytes.data() + slice.offset;
        if (f <= GearMisc) {
            for (long i = 0; i < slice.length / 2; ++i) {
                uint16_t v = coePattern(f, int(i / 26), int(i % 26));
                data[2 * i] = uint8_t(v & 0xFF);
                data[2 * i + 1] = uint8_t(v >> 8);
            }
        } else {
            for (long w = 0; w < slice.length / 4; ++w) fvcPattern(PatternFile(f), int(w), data + 4 * w);
        }
        FILE* out = std::fopen(file(PatternFile(f)).c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }
}

PatternBin::~PatternBin()
{
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

std::string PatternBin::file(PatternFile f) const
{
    return path + "/" + coreFileSlices[f].name;
}

void PatternBin::remove(PatternFile f) const
{
    std::remove(file(f).c_str());
}

void PatternBin::shorten(PatternFile f, long bytes) const
{
    std::filesystem::resize_file(file(f), std::filesystem::file_size(file(f)) - bytes);
}

uint32_t wordAt(const uint8_t* words, int w)
{
    const uint8_t* p = words + 4 * w;
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint16_t c16At(const uint8_t* words, int w)
{
    return uint16_t(wordAt(words, w) >> 16);
}

unsigned c11At(const uint8_t* words, int w)
{
    return wordAt(words, w) >> 21;
}

unsigned addressAt(const uint8_t* words, int w)
{
    return (wordAt(words, w) >> 5) & 0xFFFF;
}
