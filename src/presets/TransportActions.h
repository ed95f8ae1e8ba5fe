// What the transport panel's buttons do: READ, WRITE, BACKUP, RESTORE, run
// synchronously against the pedal with alerts, status-log lines and the
// progress bar. installPresetCallbacks (presets/PresetContext.h) makes
// transport_cb the panel's callback with the PresetContext as user data.
#pragma once

#include "presets/PresetTransfer.h"

#include <cstdint>

class Fl_Widget;
struct FeatureContext;
struct PresetContext;

void transport_cb(Fl_Widget* panel, void* presets);

struct RestoreRun {
    presettransfer::Outcome outcome;
    // False when the selected preset could not be read back after a stop;
    // the Dashboard then keeps the sound it had before the restore.
    bool selectedShown = true;
    bool ok() const { return outcome.ok(); }
};

// Stores the eight presets of a 192-byte bank (records, then titles): each
// record is applied to the Dashboard, stored with the image that gives, and
// verified; finally the whole bank is read back and compared. The outcome is
// ok only if the pedal holds exactly what was stored. Afterwards, whether it
// succeeded or stopped half way, the Dashboard and the title show the
// selected preset as the pedal now holds it (taken from the bank when the
// run stored it, else read from the pedal), and the local preset bar's
// selection is cleared. Also used by the factory reset.
RestoreRun restorePresets(const PresetContext& presets, const uint8_t bank[192]);

// The pause between two presets of a restore, in seconds.
extern const double restorePause;
