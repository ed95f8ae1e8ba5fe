// Where the editor finds its run-time data. Every part of the program reads
// "bin" (core files, speaker sets, factory master) and "img" (pictures)
// through paths relative to the working directory, so the program works from
// the folder that holds them: the working directory itself when it does (a
// development tree, build/run), else the program's own folder, else the
// installed data folder found from the program's location
// (<prefix>/share/orvella for <prefix>/bin/orvella).
#pragma once

#include <string>
#include <vector>

namespace datafolder {

// The folders that may hold the data, in the order they are tried, without
// repeats. dataFromBin is the installed data folder relative to the folder
// of the executable ("../share/orvella" for a standard layout).
std::vector<std::string> candidates(const std::string& workingFolder, const std::string& executable,
                                    const std::string& dataFromBin);
// True when folder/bin holds every core file (as files; their sizes are
// checked when the Dashboard reads them).
bool holdsCoreFiles(const std::string& folder);
// Tries the candidates for this process and makes the first that holds the
// core files the working directory. Returns that folder, or "" when none does
// (the working directory then stays as it was). Remembers what it tried.
// Folder variables holding a relative path (HOMEDRIVE, USERPROFILE,
// LOCALAPPDATA, ORVELLA_PEDAL_DIR) are made absolute first, so they keep
// naming the folders the user meant.
std::string use();
// The folders use() tried; only the working directory when it has not run.
std::vector<std::string> searched();

}  // namespace datafolder
