// Where the programs look for their run-time data ("bin" with the core files,
// "img"): the working directory, the program's own folder, and the installed
// data folder found from the program's location (<prefix>/share/orvella for
// <prefix>/bin/orvella). Plain C++: the editor (shell/run_folder.h) and
// orvella-cli both search this way.
#pragma once

#include <string>
#include <vector>

namespace datafolder {

// The folders that may hold the data, in the order they are tried, without
// repeats. dataFromBin is the installed data folder relative to the folder
// of the executable ("../share/orvella" for a standard layout).
std::vector<std::string> candidates(const std::string& workingFolder, const std::string& executable,
                                    const std::string& dataFromBin);
// The same for this process: its working directory, its executable and the
// installed layout it was built for.
std::vector<std::string> candidates();

}  // namespace datafolder
