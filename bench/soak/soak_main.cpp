// The soak as a long run: random sessions, one seed after another, for N
// minutes; prints each violation with its seed and shortest action list, and
// at the end the figures. Needs a display (run it under xvfb-run).
//   soak --minutes N [--seed S] [--actions N] [--shrink RUNS] [--verbose] [--keep-going] [--list] [--rule NAME]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/soak/Session.h"
#include "tests/support/gui/TestEnvironment.h"

int main(int argc, char** argv) {
    double minutes = 1;
    uint32_t seed = static_cast<uint32_t>(std::time(nullptr));
    int actions = 25, shrinkRuns = 40;
    std::string rule;
    bool verbose = false, keepGoing = false, list = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool more = i + 1 < argc;
        if (a == "--minutes" && more) minutes = std::atof(argv[++i]);
        else if (a == "--seed" && more) seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 0));
        else if (a == "--actions" && more) actions = std::atoi(argv[++i]);
        else if (a == "--shrink" && more) shrinkRuns = std::atoi(argv[++i]);
        else if (a == "--verbose") verbose = true;
        else if (a == "--keep-going") keepGoing = true;
        else if (a == "--list") list = true;
        else if (a == "--rule" && more) rule = argv[++i];
        else {
            std::fprintf(stderr, "Usage: soak [--minutes N] [--seed S] [--actions N] [--shrink RUNS] [--verbose] [--keep-going] [--list] [--rule NAME]\n");
            return 2;
        }
    }
    if (list) {     // the seed's actions, without running them
        for (const soak::Action& x : soak::generate(seed, actions)) std::printf("%s\n", soak::describe(x).c_str());
        return 0;
    }
    gui::openDisplay();
    soak::Figures figures;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(minutes * 60);
    std::printf("soak: from seed %u, %d actions a session, for %.1f minutes\n", seed, actions, minutes);
    std::fflush(stdout);
    long failedSeeds = 0;
    do {
        if (keepGoing) {
            // Every rule a session breaks, each printed as found (no shrinking).
            long before = figures.violations;
            soak::runSession(seed, soak::generate(seed, actions), figures, verbose, true);
            failedSeeds += figures.violations > before;
        } else {
            std::string report = soak::soakSeed(seed, actions, figures, shrinkRuns, verbose, rule);
            if (!report.empty()) {
                ++failedSeeds;
                std::printf("%s", report.c_str());
            }
        }
        std::fflush(stdout);
        ++seed;
    } while (std::chrono::steady_clock::now() < end);
    std::printf("soak: sessions %ld, actions %ld, faults injected %ld, claims checked %ld, violations %ld "
                "(%ld seeds failed)\n",
                figures.sessions, figures.actions, figures.faults, figures.claims, figures.violations, failedSeeds);
    return failedSeeds ? 1 : 0;
}
