// Quit (button and menu): ends the process at once with status 0; no
// destructor runs and nothing is saved.
#pragma once

void quitProgram();

// Tests observe a quit in-process (for example the start-up core-file check)
// by installing a hook that runs instead of the exit; nullptr restores it.
using QuitHook = void (*)();
void setQuitHook(QuitHook hook);
