// Each command's function, by the file that holds it; commands.cpp maps the
// names of the command table (arguments.cpp) to them. Each returns the exit
// code (ExitCode).
#pragma once

#include "cli/session.h"

namespace cli {

// pedal_commands.cpp: the pedals attached and their state.
int listCommand(Session& s);
int statusCommand(Session& s);

// preset_commands.cpp: one preset, read from or sent to the pedal.
int readCommand(Session& s);
int exportCommand(Session& s);
int writeCommand(Session& s);
int previewCommand(Session& s);

// bank_commands.cpp: all eight presets, to and from a backup file.
int backupCommand(Session& s);
int restoreCommand(Session& s);

// maintenance_commands.cpp: the global configuration and the firmware.
int configGetCommand(Session& s);
int configSetCommand(Session& s);
int firmwareCommand(Session& s);

// sound_commands.cpp: a sound played offline into a WAV file.
int renderCommand(Session& s);
int irCommand(Session& s);

}  // namespace cli
