// What the transport panel's buttons do: READ, WRITE, BACKUP, RESTORE, run
// synchronously against the pedal with alerts, status-log lines and the
// progress bar. installPresetCallbacks (presets/preset_context.h) makes
// transport_cb the panel's callback with the PresetContext as user data.
#pragma once

#include <cstdint>

class Fl_Widget;
struct FeatureContext;
struct PresetContext;

void transport_cb(Fl_Widget* panel, void* presets);

// Stores the eight presets of a 192-byte bank (records, then titles): each
// record is applied to the Dashboard, stored with the image that gives, and
// verified; finally the whole bank is read back and compared. True only if
// the pedal holds exactly what was stored. Also used by the factory reset.
bool restorePresets(const FeatureContext& app, const uint8_t bank[192]);

// The pause between two presets of a restore, in seconds.
extern const double restorePause;
