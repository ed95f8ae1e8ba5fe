// Runs one orvella-cli command over the toolkit-free pedal link: results to
// `out`, progress and errors to `err`. Every file and argument is checked
// before the first byte goes to the pedal, and no file is replaced unless
// the work that fills it succeeded.
#pragma once

#include <cstdio>
#include <string>

#include "cli/arguments.h"

namespace cli {

// Makes Ctrl-C, a hang-up or a termination leave no temporary file behind,
// and stop a restore between two presets, saying which ones are stored.
void catchInterrupts();

// Returns the exit code (ExitCode).
int run(const Options& options, std::FILE* out, std::FILE* err, bool errIsTerminal);

// Whether a command of the command table has a function that runs it.
bool runs(const std::string& command);

}  // namespace cli
