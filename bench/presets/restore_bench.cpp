// Restore of eight presets against a virtual pedal paced at the wire speed,
// reported as a ratio to its floor: the wire time of every byte (each store,
// the read-back of each preset and the final read of the bank) plus the
// pauses the pedal needs (0.1 s before each image, 0.25 s after each preset).
//
//   xvfb-run -a build-presets/bench/presets/presets_restore_bench [runs]
#include "tests/support/pedal/TestPedal.h"
#include "tests/support/gui/RecordingDialogs.h"
#include "tests/support/gui/TestEnvironment.h"

#include "presets/TransportActions.h"
#include "shell/main_window.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    gui::TestEnvironment env;
    gui::RecordingDialogs dialogs;
    testpedal::PedalFolder pedals;
    testpedal::PedalOptions options;
    options.serial = "VPBENCH0001";
    options.wireSpeed = true;
    testpedal::VirtualPedal pedal(pedals, options);
    std::string error;
    if (!pedal.start(&error)) {
        std::fprintf(stderr, "the virtual pedal did not start: %s\n", error.c_str());
        return 1;
    }
    std::unique_ptr<Orvella> window = env.openWindow();

    uint8_t bank[192];
    for (int i = 0; i < 8; ++i) {
        const uint8_t record[12] = {0x21, 3, 23, static_cast<uint8_t>(10 + i), 31, static_cast<uint8_t>(150 - i),
                                    200, static_cast<uint8_t>(20 + i), 100, 125, 50, 50};
        std::memcpy(bank + 12 * i, record, 12);
        char title[13];
        std::snprintf(title, sizeof title, "Bench %-6d", i + 1);
        std::memcpy(bank + 96 + 12 * i, title, 12);
    }

    // Bits on the wire at 115200 baud, 8N1: ten a byte.
    const double byteTime = 10.0 / 115200.0;
    // Header and image out, the image echoed, then the preset read back (1 out, 24 in).
    const double perStore = (25 + 512 + 512 + 1 + 24) * byteTime + 0.1;
    const double floor = 8 * (perStore + restorePause) + (1 + 192) * byteTime;

    double worst = 0;
    for (int run = 0; run < runs; ++run) {
        auto start = std::chrono::steady_clock::now();
        bool ok = restorePresets(window->presets(), bank).ok();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!ok) {
            std::fprintf(stderr, "run %d: restore failed\n", run + 1);
            return 1;
        }
        std::printf("run %d: %.3f s, floor %.3f s, ratio %.3f\n", run + 1, seconds, floor, seconds / floor);
        if (seconds / floor > worst) worst = seconds / floor;
    }
    std::printf("worst ratio %.3f (goal: under 1.1)\n", worst);
    return worst < 1.1 ? 0 : 2;
}
