// What a feature tells the window after it replaced the Dashboard's sound or
// title as a whole (READ, a local preset, a restore), or learnt what a preset
// of the pedal holds: the window keeps the undo history and the edited mark
// from it. No toolkit.
#pragma once

#include <cstdint>

class DashboardSteps {
public:
    virtual ~DashboardSteps() = default;
    // The Dashboard or the title may have changed: one undo step when they
    // did (never merged with another); the edited mark follows.
    virtual void dashboardReplaced() = 0;
    // Preset `preset` (0-7) of the pedal now holds this 12-byte record and
    // 12-character title: it was read, written and verified, or restored.
    virtual void pedalHolds(int preset, const uint8_t* record, const char* title) = 0;
    // A store into preset `preset` went wrong: it may hold a damaged copy.
    virtual void pedalDamaged(int preset) = 0;
};
