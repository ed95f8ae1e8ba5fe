// dspgen SOURCE_DIR OUT_DIR: writes all of the run-time "bin" folder.
#include <cstdio>
#include <string>

#include "tools/dsp/DataGenerator.h"
#include "base/program_info.h"

int main(int argc, char** argv) {
    int answered = programinfo::answerHelpOrVersion(argc, argv, "dspgen",
                                                    "usage: dspgen SOURCE_DIR OUT_DIR   (e.g. dspgen dsp data/bin)\n"
                                                    "Writes all of the run-time \"bin\" folder from the DSP sources.\n");
    if (answered >= 0) return answered;
    if (argc != 3) {
        std::fprintf(stderr, "usage: dspgen SOURCE_DIR OUT_DIR   (e.g. dspgen dsp data/bin)\n");
        return 2;
    }
    std::string error;
    if (!datagen::generate(argv[1], argv[2], error)) {
        std::fprintf(stderr, "dspgen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
