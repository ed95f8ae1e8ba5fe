// The virtual pedal's --render gives the same bytes it always gave: the
// interpreter and the WAV files it uses are shared with the editor, and a
// change there must not change what the pedal plays.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/pedal/TestPedal.h"

using namespace testpedal;

namespace {

uint64_t fnv1a(const std::vector<uint8_t>& bytes) {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
    return h;
}

std::vector<uint8_t> slurp(const std::string& path) {
    std::vector<uint8_t> out;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF) out.push_back(static_cast<uint8_t>(c));
        std::fclose(f);
    }
    return out;
}

void put(std::vector<uint8_t>& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// A stereo 24-bit 48 kHz file of pseudo-random samples, made byte by byte here
// so that it does not depend on the code under test.
void writeInput(const std::string& path) {
    const uint32_t frames = 24000;
    std::vector<uint8_t> b = {'R', 'I', 'F', 'F'};
    put(b, 36 + frames * 6, 4);
    for (char c : std::string("WAVEfmt ")) b.push_back(uint8_t(c));
    put(b, 16, 4); put(b, 1, 2); put(b, 2, 2); put(b, 48000, 4); put(b, 48000 * 6, 4); put(b, 6, 2); put(b, 24, 2);
    for (char c : std::string("data")) b.push_back(uint8_t(c));
    put(b, frames * 6, 4);
    uint32_t state = 12345;
    for (uint32_t i = 0; i < frames * 2; ++i) {
        state = state * 1664525u + 1013904223u;
        // Quieter than full scale, with a few clipped peaks.
        int32_t v = int32_t(state) >> 9;
        if (i % 997 == 0) v = 0x7FFFFF;
        put(b, uint32_t(v), 3);
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
}

uint64_t render(const PedalFolder& folder, const std::string& input, const std::string& name) {
    const std::string out = folder.path() + "/" + name;
    std::string command = VirtualPedal::program() + " --dir " + folder.path() + " --serial RENDER1 --factory " +
                          ORVELLA_SOURCE_DIR "/data/bin/factoryset.fap --render " + out;
    if (!input.empty()) command += " --input " + input;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return fnv1a(slurp(out));
}

}  // namespace

TEST(PedalRender, GivesTheBytesItAlwaysGave) {
    PedalFolder folder;
    EXPECT_EQ(render(folder, "", "signal.wav"), 18212506930501200304ull);
    const std::string input = folder.path() + "/in.wav";
    writeInput(input);
    EXPECT_EQ(render(folder, input, "file.wav"), 535091986882677030ull);
}
