// Shared set-up of the transport GUI tests (one file per action,
// transport_<action>_test.cpp): the real window on a virtual pedal that
// starts with known presets, record(i) titled "Factory i+1", and what the
// tests read back from the window and the pedal.
#pragma once

#include "tests/presets/PresetsGui.h"
#include "tests/support/pedal/TestPedal.h"

#include "link/OV_UsbController.h"

#include <FL/Enumerations.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Widget.H>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace presettest {

// How every failed exchange's alert begins.
const char* const tail = "Read / Write operation failed - please try again.\n\n";

class Transport : public PresetsGui {
protected:
    void SetUp() override;
    void TearDown() override;

    OV_TransportPanel& panel() { return *window->transportPanel(); }
    void press(Fl_Widget* w) { gui::click(window.get(), w->x() + w->w() / 2, w->y() + w->h() / 2); }
    void selectPreset(int index) { press(panel().child(index)); }
    std::string log() const;
    std::string newLog() const { return log().substr(logAtStart.size()); }
    // The new log lines without their time stamps.
    std::vector<std::string> newLines() const;
    std::string progressLabel() const { return window->usb()->progress->label(); }
    Fl_Color progressColour() const { return window->usb()->progress->selection_color(); }
    std::string today() const;
    std::vector<uint8_t> pedalBank() const;

    // Picks, for the next RESTORE, a backup of eight presets unlike the pedal's.
    std::string pickBackup();
    int stores() const;
    PedalState pedalState() const;
    // A preview gets no reply, so the editor moves on before the pedal has
    // taken it: wait (at most ten seconds, for a busy machine) until the pedal
    // plays this image.
    bool waitUntilPlaying(const uint8_t* image) const;
    // The same for the command log: true once it holds count commands.
    bool waitForCommands(size_t count) const { return pedal->waitForCommands(count).size() >= count; }

    std::unique_ptr<testpedal::PedalFolder> pedals;  // ORVELLA_PEDAL_DIR while the pedal runs
    std::unique_ptr<testpedal::VirtualPedal> pedal;
    std::string logAtStart;
};

}  // namespace presettest
