// orvella-image: applies a 12-byte parameter block to the sound model built
// from a "bin" folder and writes the 512-byte algorithm image.
//
//   orvella-image --bin DIR [--solo left|right] [--hex] [-o FILE] HEX24
//
// HEX24 is the block as 24 hex digits (spaces allowed). Without -o the image
// goes to standard output: raw bytes, or with --hex 128 words as 8-digit hex,
// eight to a line. Exit status: 0 success, 1 unusable bin folder or output,
// 2 bad arguments.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/program_info.h"
#include "sound/SoundModel.h"

using namespace sound;

namespace {

const char* const usage =
    "usage: orvella-image --bin DIR [--solo left|right] [--hex] [-o FILE] HEX24\n"
    "  HEX24  the 12-byte parameter block as 24 hex digits\n"
    "  --bin  folder holding the core and coefficient files\n"
    "  --solo play one side on both outputs (Stereo Cabs blocks only)\n"
    "  --hex  print 128 hex words instead of the raw 512 bytes\n"
    "  -o     write to FILE instead of standard output\n"
    "  --help, --version  this text, the version\n";

bool parseBlock(const std::string& text, uint8_t block[ParamCount])
{
    std::string digits;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c))) digits += c;
    if (digits.size() != 2 * ParamCount) return false;
    for (int i = 0; i < ParamCount; ++i) {
        unsigned value = 0;
        for (int k = 0; k < 2; ++k) {
            char c = digits[size_t(2 * i + k)];
            if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
            value = value * 16 + unsigned(std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                                                      : std::tolower(c) - 'a' + 10);
        }
        block[i] = uint8_t(value);
    }
    return true;
}

std::string hexWords(const uint8_t* image)
{
    std::string out;
    char word[10];
    for (int w = 0; w < 128; ++w) {
        std::snprintf(word, sizeof word, "%02X%02X%02X%02X", image[4 * w], image[4 * w + 1], image[4 * w + 2],
                      image[4 * w + 3]);
        out += word;
        out += (w % 8 == 7) ? '\n' : ' ';
    }
    return out;
}

// Writes to a temporary file beside the target and renames it, so an
// existing file is either replaced whole or left as it was.
bool writeFile(const std::string& path, const void* data, size_t size)
{
    std::string tmp = path + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    ok = std::fclose(f) == 0 && ok;
    if (ok) ok = std::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(tmp.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    int answered = programinfo::answerHelpOrVersion(argc, argv, "orvella-image", usage);
    if (answered >= 0) return answered;
    std::string binDir, outPath, blockText, solo;
    bool hex = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool takesValue = arg == "--bin" || arg == "-o" || arg == "--solo";
        if (takesValue && i + 1 == argc) {
            std::fprintf(stderr, "orvella-image: %s needs a value\n%s", arg.c_str(), usage);
            return 2;
        }
        if (takesValue) {
            std::string value = argv[++i];
            if (arg == "--bin") binDir = value;
            else if (arg == "-o") outPath = value;
            else solo = value;
        } else if (arg == "--hex") {
            hex = true;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "orvella-image: unknown option %s\n%s", arg.c_str(), usage);
            return 2;
        } else {
            blockText += arg;
        }
    }
    uint8_t block[ParamCount];
    if (binDir.empty() || !parseBlock(blockText, block)) {
        std::fprintf(stderr, "orvella-image: need --bin DIR and a block of 24 hex digits\n%s", usage);
        return 2;
    }
    if (!solo.empty() && solo != "left" && solo != "right") {
        std::fprintf(stderr, "orvella-image: --solo takes left or right\n");
        return 2;
    }

    SoundModel model(binDir);
    if (!model.coreFilesOk()) {
        std::fprintf(stderr, "orvella-image: core files missing or short in %s:\n%s", binDir.c_str(),
                     model.loadProblems().c_str());
        return 1;
    }
    model.apply(block);
    if (std::memcmp(block, model.params(), ParamCount) != 0)
        std::fprintf(stderr, "orvella-image: out-of-range bytes were clamped\n");
    if (!solo.empty() && !model.setSolo(solo == "left" ? LeftSide : RightSide, true)) {
        std::fprintf(stderr, "orvella-image: Solo needs a Stereo Cabs block\n");
        return 2;
    }

    const uint8_t* image = model.image();
    std::string text = hex ? hexWords(image) : std::string();
    const void* data = hex ? static_cast<const void*>(text.data()) : static_cast<const void*>(image);
    size_t size = hex ? text.size() : 512;
    if (!outPath.empty()) {
        if (!writeFile(outPath, data, size)) {
            std::fprintf(stderr, "orvella-image: cannot write %s\n", outPath.c_str());
            return 1;
        }
        return 0;
    }
    if (std::fwrite(data, 1, size, stdout) != size || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "orvella-image: cannot write the image\n");
        return 1;
    }
    return 0;
}
