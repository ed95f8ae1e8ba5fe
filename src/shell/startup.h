// Start-up helpers of the main window that need no display.
#pragma once

#include <string>

// Makes sure HOMEDRIVE/Kestrova/Orvella/presets/ exists, creating only the
// levels that are missing (maker, program, preset folder). A plain file where
// a folder should be counts as absent; creation failures are not reported,
// the file operations in those folders report their own failures later.
void makeDataFolders();
// The same for an explicit drive/home folder; used by makeDataFolders().
void makeDataFolders(const std::string& homeDrive);
