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

// Seeds whose sessions reach a title outside ASCII, a licence text offered as
// firmware, a pedal that keeps a wrong title, a second pedal waiting for
// firmware chosen in the selection prompt, late replies, and prompts over prompts.
INSTANTIATE_TEST_SUITE_P(Soak, CiSeed, ::testing::Values(80u, 107u, 111u, 154u, 203u, 206u));

}  // namespace
