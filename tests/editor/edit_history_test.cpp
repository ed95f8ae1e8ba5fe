// The undo history and the pedal-preset bookkeeping, without a toolkit.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "editor/EditHistory.h"

using edits::DashboardState;
using edits::EditHistory;

namespace {

DashboardState state(uint8_t volume, const char* title = "Untitled    ") {
    uint8_t record[12] = {0x21, 3, 23, 31, 31, 200, 200, 0, 100, 125, 50, 50};
    record[5] = volume;
    return DashboardState::of(record, title);
}

}  // namespace

TEST(EditHistory, AGestureHeldOnOneControlIsOneStepUntilItPausesOrAnotherControlMoves) {
    EditHistory h(200, 1.0);
    h.start(state(0));
    // Two hundred key repeats on one control, 30 ms apart: one step.
    double t = 10;
    for (uint8_t v = 1; v <= 200; ++v, t += 0.03) h.record(state(v), 7, t);
    EXPECT_EQ(h.undoCount(), 1u);
    // A pause longer than the merge time starts a new step, as does another control.
    h.record(state(150), 7, t + 2);
    EXPECT_EQ(h.undoCount(), 2u);
    h.record(state(151), 8, t + 2.1);
    EXPECT_EQ(h.undoCount(), 3u);
    // Changes without a gesture (mouse releases, READ) never merge.
    h.record(state(152), 0, t + 2.2);
    h.record(state(153), 0, t + 2.3);
    EXPECT_EQ(h.undoCount(), 5u);
    // Undo ends a gesture: the next repeat of control 8 is a step of its own.
    h.undo();
    h.record(state(160), 8, t + 2.4);
    h.record(state(161), 8, t + 2.5);
    EXPECT_EQ(h.undoCount(), 5u);
    EXPECT_EQ(*h.undo(), state(152));

    // A key on a control at its end changes nothing and so starts no gesture:
    // the next key is a step of its own, not part of the release before it.
    EditHistory g;
    g.start(state(0));
    g.record(state(1), 0, 1.0);
    g.record(state(1), 9, 1.1);
    g.record(state(2), 9, 1.2);
    EXPECT_EQ(g.undoCount(), 2u);
    EXPECT_EQ(*g.undo(), state(1));
    // A gesture that comes back to where it started leaves no step.
    g.record(state(11), 3, 5.0);
    g.record(state(1), 3, 5.1);
    EXPECT_EQ(g.undoCount(), 1u);
    EXPECT_EQ(*g.undo(), state(0));
}

// The window records the Dashboard after every action; a READ that fails
// leaves the Dashboard as it was, so it adds no step and undo still goes to
// the state before the last real change.
TEST(EditHistory, UndoAfterAFailedReadGoesToTheStateBeforeTheLastEdit) {
    EditHistory h;
    h.start(state(0, "Preset one  "));
    h.record(state(50, "Preset one  "));                // an edit
    EXPECT_FALSE(h.record(state(50, "Preset one  ")));   // the failed READ
    EXPECT_EQ(h.undoCount(), 1u);
    h.record(state(90, "Preset two  "));                // a READ that worked
    EXPECT_EQ(*h.undo(), state(50, "Preset one  "));
    EXPECT_EQ(*h.undo(), state(0, "Preset one  "));
}

// Any mix of steps, undos and redos: undo always returns the state shown
// before the step it takes back, and redo the one after it; the oldest steps
// go once the bound is reached (20 here, at least 200 by default).
TEST(EditHistory, RandomWalksAgreeWithAPlainListOfStates) {
    EXPECT_GE(EditHistory().limit(), 200u);
    std::mt19937 random(26);
    for (int run = 0; run < 50; ++run) {
        EditHistory h(20);
        std::vector<DashboardState> shown{state(0)};    // model: every state, and where we are
        size_t at = 0;
        h.start(shown[0]);
        for (int i = 0; i < 300; ++i) {
            int action = static_cast<int>(random() % 4);
            if (action <= 1) {
                DashboardState next = state(static_cast<uint8_t>(random() % 256), random() % 2 ? "Untitled    " : "Clean       ");
                if (h.record(next)) {
                    shown.resize(at + 1);
                    shown.push_back(next);
                    ++at;
                    if (shown.size() > 21) {
                        shown.erase(shown.begin());
                        --at;
                    }
                }
            } else if (action == 2) {
                auto s = h.undo();
                ASSERT_EQ(s.has_value(), at > 0);
                if (s) {
                    EXPECT_EQ(*s, shown[--at]);
                }
            } else {
                auto s = h.redo();
                ASSERT_EQ(s.has_value(), at + 1 < shown.size());
                if (s) {
                    EXPECT_EQ(*s, shown[++at]);
                }
            }
            ASSERT_EQ(h.current(), shown[at]);
            ASSERT_LE(h.undoCount(), 20u);
        }
    }
}

TEST(EditHistory, TheLastDashboardIsOfferedUnderEveryStep) {
    EditHistory h;
    h.start(state(1));
    EXPECT_FALSE(h.offerEarlier(state(1)));              // the same as now: nothing to offer
    EXPECT_TRUE(h.offerEarlier(state(77, "Last night  ")));
    h.record(state(2));
    EXPECT_EQ(*h.undo(), state(1));
    EXPECT_EQ(*h.undo(), state(77, "Last night  "));
    EXPECT_FALSE(h.canUndo());
}

TEST(PedalPresets, ADashboardCountsAsEditedOnlyAgainstAKnownPreset) {
    edits::PedalPresets pedal;
    EXPECT_FALSE(pedal.edited(0, state(1)));             // never read: no verdict
    pedal.holds(0, state(1));
    EXPECT_FALSE(pedal.edited(0, state(1)));
    EXPECT_TRUE(pedal.edited(0, state(2)));
    EXPECT_TRUE(pedal.edited(0, state(1, "Other       ")));
    EXPECT_FALSE(pedal.edited(1, state(2)));
    pedal.holds(9, state(3));                            // no such preset: ignored
    pedal.damaged(1);                                    // a store that went wrong: no Dashboard matches it
    EXPECT_TRUE(pedal.edited(1, state(2)));
    pedal.holds(1, state(2));                            // until it is read or written again
    EXPECT_FALSE(pedal.edited(1, state(2)));
    // Damage marks belong to the pedal; what is known of contents does not.
    pedal.connected("A");
    pedal.damaged(0);
    pedal.holds(2, state(2));
    for (const char* serial : {"B", "A"}) pedal.connected(serial);
    EXPECT_TRUE(pedal.edited(0, state(2)));
    EXPECT_FALSE(pedal.known(2));
    pedal.connected("B");
    EXPECT_FALSE(pedal.edited(0, state(2)));
    // Kept between runs: the next run marks A's preset again; anything but
    // such a text is refused.
    edits::PedalPresets next;
    ASSERT_TRUE(next.restoreMarks(pedal.encodeMarks()));
    next.connected("A");
    EXPECT_TRUE(next.edited(0, state(2)));
    for (const char* bad : {"", "OVM1\nA 0100000\n", "OVM1\nA 01000002\n", "OVM1\nA-1 01000000\n",
                            "OVM1\nA 01000000", "OVM1\nA 01000000\nA 00000001\n"})
        EXPECT_FALSE(next.restoreMarks(bad)) << bad;
    EXPECT_TRUE(next.edited(0, state(2)));
}

TEST(LastDashboardFile, RoundTripsAndRefusesAnythingElse) {
    DashboardState s = state(123, "Last night  ");
    std::string bytes = edits::encodeLastDashboard(s);
    ASSERT_EQ(bytes.size(), edits::lastDashboardSize);
    auto decoded = edits::decodeLastDashboard(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, s);
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    for (size_t n = 0; n < bytes.size(); ++n) EXPECT_FALSE(edits::decodeLastDashboard(p, n)) << n;
    std::string longer = bytes + "x";
    EXPECT_FALSE(edits::decodeLastDashboard(reinterpret_cast<const uint8_t*>(longer.data()), longer.size()));
    std::string otherMarker = bytes;
    otherMarker[0] = 'X';
    EXPECT_FALSE(edits::decodeLastDashboard(reinterpret_cast<const uint8_t*>(otherMarker.data()), otherMarker.size()));
    std::string controlInTitle = bytes;
    controlInTitle[20] = '\n';
    EXPECT_FALSE(
        edits::decodeLastDashboard(reinterpret_cast<const uint8_t*>(controlInTitle.data()), controlInTitle.size()));
}
