// What the transport panel's buttons do: READ, WRITE, BACKUP, RESTORE, run
// synchronously against the pedal with alerts, status-log lines and the
// progress bar. The main window installs transport_cb as the panel's
// callback with itself as user data.
#pragma once

#include <cstdint>

class Fl_Widget;
class Orvella;

void transport_cb(Fl_Widget* panel, void* app);

// Stores the eight presets of a 192-byte bank (records, then titles): each
// record is applied to the Dashboard, stored with the image that gives, and
// verified; finally the whole bank is read back and compared. True only if
// the pedal holds exactly what was stored. Also used by the factory reset.
bool restorePresets(Orvella& app, const uint8_t bank[192]);

// The pause between two presets of a restore, in seconds.
extern const double restorePause;
