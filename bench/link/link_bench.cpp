// Link benchmarks against virtual pedals over pseudo-terminals:
//  1. CPU time the process spends during a 1-second time-out wait
//     (goal: under 5% of one core);
//  2. storePreset and readAll round trips at emulated wire speed, as a ratio
//     to their floor: the wire time of their bytes at 115200 baud 8N1 plus the
//     0.1 s pause where there is one (goal: under 1.3).
// Usage: link_bench [rounds]   (default 10; the median round is reported)
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/support/pedal/TestPedal.h"
#include "link/OV_UsbController.h"

namespace {

double clockSeconds(clockid_t id) {
    timespec ts;
    clock_gettime(id, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

const double byteSeconds = 10.0 / 115200.0;

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::FILE* diagnostics = std::freopen("/dev/null", "w", stdout);   // the link's diagnostic lines
    (void)diagnostics;
    std::FILE* out = stderr;

    testpedal::PedalFolder folder;
    OV_UsbController usb(415, 445, 200, 24);
    for (int i = 0; i < 8; ++i) usb.presetAddress[i] = static_cast<uint8_t>(2 * i);

    // 1. A pedal that never answers: the wait runs to its limit.
    {
        testpedal::PedalOptions o;
        o.serial = "BENCH1";
        o.faults = {"no-reply"};
        testpedal::VirtualPedal pedal(folder, o);
        std::string error;
        if (!pedal.start(&error) || !usb.openByDescription()) {
            std::fprintf(out, "cannot start a virtual pedal: %s\n", error.c_str());
            return 1;
        }
        double wall0 = clockSeconds(CLOCK_MONOTONIC), cpu0 = clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
        bool got = usb.getOneByte(protocol::GetStatus);
        double wall = clockSeconds(CLOCK_MONOTONIC) - wall0, cpu = clockSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
        double share = 100.0 * cpu / wall;
        std::fprintf(out, "time-out wait: %s after %.3f s, CPU %.4f s = %.2f%% of one core (goal < 5%%): %s\n",
                     got ? "answered (unexpected)" : "timed out", wall, cpu, share, share < 5 ? "met" : "MISSED");
    }

    // 2. Round trips at wire speed.
    testpedal::PedalOptions o;
    o.serial = "BENCH2";
    o.wireSpeed = true;
    testpedal::VirtualPedal pedal(folder, o);
    std::string error;
    if (!pedal.start(&error) || !usb.openByDescription()) {
        std::fprintf(out, "cannot start a virtual pedal: %s\n", error.c_str());
        return 1;
    }
    uint8_t params[12] = {0x21, 3, 23, 31, 31, 200, 200, 0, 100, 125, 50, 50};
    uint8_t title[12] = {'B', 'e', 'n', 'c', 'h', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    uint8_t image[512];
    for (int i = 0; i < 512; ++i) image[i] = static_cast<uint8_t>(i * 5);
    image[0] = 0x01;

    std::vector<double> stores, reads;
    for (int r = 0; r < rounds; ++r) {
        double t0 = clockSeconds(CLOCK_MONOTONIC);
        int result = usb.storePreset(r % 8, params, title, image);
        double t1 = clockSeconds(CLOCK_MONOTONIC);
        bool ok = usb.readAll();
        double t2 = clockSeconds(CLOCK_MONOTONIC);
        if (result != 0 || !ok) {
            std::fprintf(out, "round %d failed (store %d, readAll %s)\n", r, result, ok ? "ok" : "failed");
            return 1;
        }
        stores.push_back(t1 - t0);
        reads.push_back(t2 - t1);
    }
    double storeFloor = (25 + 512 + 512) * byteSeconds + 0.1;
    double readFloor = (1 + 192) * byteSeconds;
    double storeRatio = median(stores) / storeFloor, readRatio = median(reads) / readFloor;
    std::fprintf(out, "storePreset: median %.1f ms, floor %.1f ms, ratio %.3f (goal < 1.3): %s\n",
                 1000 * median(stores), 1000 * storeFloor, storeRatio, storeRatio < 1.3 ? "met" : "MISSED");
    std::fprintf(out, "readAll:     median %.1f ms, floor %.1f ms, ratio %.3f (goal < 1.3): %s\n",
                 1000 * median(reads), 1000 * readFloor, readRatio, readRatio < 1.3 ? "met" : "MISSED");
    return 0;
}
