// The window's side of undo and redo and of the edited mark: it records the
// Dashboard after every change (the preview step, and what the features
// report through DashboardSteps), puts a step back on the Dashboard, and
// keeps the Dashboard the program is left with for the next start.
#pragma once

#include <string>

#include "context/dashboard_steps.h"
#include "editor/EditHistory.h"

class Orvella;

class EditSession : public DashboardSteps {
public:
    explicit EditSession(Orvella& window) : window(window) {}

    void dashboardReplaced() override;
    void pedalHolds(int preset, const uint8_t* record, const char* title) override;
    void pedalDamaged(int preset) override;

    // A change finished on the Dashboard (the preview step): a key held or a
    // wheel turned on one control continues the step it began.
    void dashboardChanged();
    // Another pedal (or the same one again) was connected: nothing is known
    // of its presets until they are read, but for the damage marks it had.
    void pedalChanged();
    // After the start-up connect: the history starts from the Dashboard as
    // it is, and the Dashboard the program was left with last time, when
    // there is one and it differs, becomes the first undo step.
    void begin();

    // Undo and redo act only while the Dashboard takes input (no prompt
    // open, no exchange running); each puts the step on the Dashboard and
    // the title and sends one preview, as a release does.
    bool mayStep() const;
    bool undo();
    bool redo();

    // Writes the Dashboard and the title to the last-Dashboard file; false
    // (nothing replaced, errno in *error) when it cannot be written.
    bool keepLastDashboard(int* error = nullptr) const;
    static std::string lastDashboardPath();
    // The pedals' damage marks, kept between runs (PedalPresets::encodeMarks).
    static std::string damageMarksPath();

    // The Dashboard and the title as the user made them: during a tone
    // chart audition, with the speakers the audition gives back.
    edits::DashboardState shown() const;
    bool auditioning() const;
    void refreshMark();

    edits::EditHistory history;
    edits::PedalPresets pedal;

private:
    void show(const edits::DashboardState& state);
    // Reads the kept marks once, before the first mark is made or asked for.
    void loadMarks();
    // Writes the marks when they changed.
    void keepMarks();
    bool marksLoaded = false;
    bool marksRefused = false;
    std::string keptMarks;
    Orvella& window;
    bool showing = false;
};
