// The fixed seeds CI runs: each a random session of the window, orvella-cli,
// faults, cut cables, killed pedals and scripts, and damaged files, with every
// claim checked after each action. A failure prints the seed and the shortest
// action list that still breaks the same rule; replay a seed for longer with
// bench/soak (docs/robustness.md).
#include <gtest/gtest.h>

#include <cstdlib>

#include "Session.h"

namespace {

const int actionsPerSession = 24;
const int shrinkRuns = 12;      // enough to cut a failing list down, bounded for CI

class CiSeed : public ::testing::TestWithParam<uint32_t> {};

TEST_P(CiSeed, EveryClaimHolds) {
    soak::Figures figures;
    std::string report = soak::soakSeed(GetParam(), actionsPerSession, figures, shrinkRuns);
    ASSERT_TRUE(report.empty()) << report;
    EXPECT_EQ(figures.actions, actionsPerSession) << "the session ended early";
    EXPECT_GT(figures.claims, actionsPerSession);
}

// Seeds whose sessions, among much else, store a title outside ASCII, import
// an out-of-range local preset, read presets from a pedal answering late,
// open Global Configuration without a pedal, run two scripts on one pedal and
// write backups and exports through symlinks and into private files.
INSTANTIATE_TEST_SUITE_P(Soak, CiSeed, ::testing::Values(2u, 6u, 7u, 13u, 17u));

}  // namespace
