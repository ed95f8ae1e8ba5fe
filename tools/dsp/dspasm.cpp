// dspasm IN.asm OUT.fvc   assembles a program into a 512-byte image
// dspasm -d IN.fvc        prints an image as assembler source
#include <cstdio>
#include <string>
#include <vector>

#include "tools/dsp/DataGenerator.h"
#include "tools/dsp/DspAsm.h"
#include "base/program_info.h"

int main(int argc, char** argv) {
    int answered = programinfo::answerHelpOrVersion(argc, argv, "dspasm",
                                                    "usage: dspasm IN.asm OUT.fvc   assembles a program into a 512-byte image\n"
                                                    "       dspasm -d IN.fvc        prints an image as assembler source\n");
    if (answered >= 0) return answered;
    std::string error, text;
    if (argc == 3 && std::string(argv[1]) == "-d") {
        if (!datagen::readText(argv[2], text, error)) {
            std::fprintf(stderr, "dspasm: %s\n", error.c_str());
            return 1;
        }
        if (text.size() < size_t(dspisa::kImageBytes)) {
            std::fprintf(stderr, "dspasm: \"%s\" is shorter than an image (512 bytes)\n", argv[2]);
            return 1;
        }
        std::fputs(dspasm::disassemble(reinterpret_cast<const uint8_t*>(text.data())).c_str(), stdout);
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            std::fprintf(stderr, "dspasm: cannot write the listing to standard output\n");
            return 1;
        }
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: dspasm IN.asm OUT.fvc | dspasm -d IN.fvc\n");
        return 2;
    }
    dspasm::Program program;
    if (!datagen::readText(argv[1], text, error) || !dspasm::assemble(text, program, error)) {
        std::fprintf(stderr, "dspasm: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    uint8_t image[dspisa::kImageBytes];
    dspasm::toImage(program, image);
    std::FILE* f = std::fopen(argv[2], "wb");
    if (!f || std::fwrite(image, 1, sizeof image, f) != sizeof image || std::fclose(f) != 0) {
        std::fprintf(stderr, "dspasm: cannot write \"%s\"\n", argv[2]);
        return 1;
    }
    return 0;
}
