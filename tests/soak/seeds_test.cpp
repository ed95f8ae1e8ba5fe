// The fixed seeds CI runs: each a random session of the window, orvella-cli,
// faults, cut cables, killed pedals and scripts, and damaged files, with every
// claim checked after each action. A failure prints the seed and the shortest
// action list that still breaks the same rule; replay a seed for longer with
// bench/soak (docs/robustness.md).
#include <gtest/gtest.h>

#include <cstdlib>

#include "bench/soak/Session.h"

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

// The soak must not cry wolf: every action done honestly, against a pedal
// whose faults the program is built to survive, breaks no rule, and most of
// them make claims the oracle checks.
TEST(Soak, HonestActionsAgainstSurvivableFaultsBreakNoRule) {
    using soak::Action;
    using soak::Op;
    const std::vector<Action> actions = {
        Action(Op::Read, 1), Action(Op::Title, 0, 0, 0, "Clean"), Action(Op::Write, 2), Action(Op::Backup),
        Action(Op::Restore, 0, 0, 0, "mine.bkp"), Action(Op::SaveLocal, 0, 0, 0, "Lead"),
        Action(Op::ImportLocal, 0, 0, 0, "Good.lop"), Action(Op::ChooseLocal, 0), Action(Op::RemoveLocal),
        Action(Op::OpenConfig),
        // A script changes the byte under the open prompt; a second click on its button claims nothing.
        Action(Op::CliConfig, 0, 0, 5), Action(Op::OpenConfig), Action(Op::ConfigConfirm, 1, 2, 5), Action(Op::Audition, 5, 1),
        Action(Op::Click, 300, 300), Action(Op::CliWrite, 3, 0, 0, "Good.lop"),
        Action(Op::CliBackup, 0, 0, 0, "mine.bkp"), Action(Op::CliRestore, 0, 0, 0, "other.bkp"),
        Action(Op::CliExport, 5, 0, 0, "export.lop"), Action(Op::CliConfig, 2, 0, 3), Action(Op::CliStatus),
        Action(Op::Fault, 0, 0, 0, "corrupt-echo"), Action(Op::Write, 6), Action(Op::Fault, 0, 0, 0, "no-reply"),
        Action(Op::Read, 4), Action(Op::Fault), Action(Op::Unplug), Action(Op::Read, 0),
        Action(Op::Replug), Action(Op::Connect), Action(Op::KillPedal), Action(Op::Connect), Action(Op::Read, 7),
        Action(Op::RestartEditor), Action(Op::Restore, 0, 0, 0, "short.bkp"),
    };
    soak::Figures figures;
    soak::Failure failure = soak::runSession(1, actions, figures);
    EXPECT_FALSE(failure) << "after action " << failure.index + 1 << ": " << failure.violation;
    EXPECT_EQ(figures.actions, static_cast<long>(actions.size()));
    EXPECT_GT(figures.claims, 2 * figures.actions);
}

// Seeds whose sessions, among much else, store a title outside ASCII, import
// an out-of-range local preset, read presets from a pedal answering late,
// open Global Configuration without a pedal, run two scripts on one pedal and
// write backups and exports through symlinks and into private files.
INSTANTIATE_TEST_SUITE_P(Soak, CiSeed, ::testing::Values(2u, 6u, 7u, 13u, 17u, 57u));

}  // namespace
