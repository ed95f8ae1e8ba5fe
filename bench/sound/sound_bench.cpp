// Times the sound model's bulk operations: Apply of a whole parameter block
// and a full mode switch (Stereo Cabs -> Stereo Mics -> Stereo Cabs).
//
//   bench_sound [BIN_DIR] [ITERATIONS]
//
// BIN_DIR defaults to "bin"; missing core files only make the data zero, the
// work done is the same. Prints the mean time per operation.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sound/SoundModel.h"

using namespace sound;

namespace {

template <class F>
double nanosecondsPerCall(int iterations, F&& call)
{
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < iterations; ++i) call(i);
    auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::nano>(end - start).count() / iterations;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string bin = argc > 1 ? argv[1] : "bin";
    int iterations = argc > 2 ? std::atoi(argv[2]) : 20000;
    if (iterations <= 0) iterations = 20000;

    SoundModel model(bin);
    if (!model.coreFilesOk()) std::fprintf(stderr, "note: core files missing or short in %s\n", bin.c_str());

    // Two blocks that differ in every byte that matters, one per mode.
    const uint8_t cabs[ParamCount] = {0x21, 3, 23, 31, 31, 200, 200, 0, 100, 125, 50, 50};
    const uint8_t mics[ParamCount] = {0xDE, 42, 70, 10, 50, 30, 170, 40, 60, 33, 80, 20};
    unsigned checksum = 0;

    double apply = nanosecondsPerCall(iterations, [&](int i) {
        model.apply(i % 2 ? mics : cabs);
        checksum += model.image()[200];
    });
    model.apply(cabs);
    double modeSwitch = nanosecondsPerCall(iterations, [&](int) {
        model.setMode(1);
        model.setMode(0);
        checksum += model.image()[300];
    });
    double volume = nanosecondsPerCall(iterations, [&](int i) {
        model.setVolume(LeftSide, i % 201);
        checksum += model.image()[212];
    });

    std::printf("apply of a whole block:        %8.0f ns per apply\n", apply);
    std::printf("mode switch there and back:    %8.0f ns per pair (%0.0f ns per switch)\n", modeSwitch,
                modeSwitch / 2);
    std::printf("single volume commit:          %8.0f ns per call\n", volume);
    std::printf("(%d iterations; checksum %u)\n", iterations, checksum);
    return 0;
}
