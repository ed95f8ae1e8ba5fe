// Where orvella-cli finds the user's preset folder and the editor's data.
#pragma once

#include <string>

namespace cli {

// The folder the editor's preset folder hangs below: $HOMEDRIVE, else $HOME,
// else the account's home folder (as the editor reads it on Linux).
std::string homeDrive();

// The folder whose "bin" holds every core file: `given` when not empty (""
// when it holds them not), else the working directory, the program's own
// folder or the installed data folder, the first that holds them. `tried`
// lists the folders looked at.
std::string dataFolder(const std::string& given, std::string& tried);

// Creates a folder and the folders above it; true when it exists afterwards.
bool makeFolders(const std::string& path);

}  // namespace cli
