// Where the editor finds its run-time data. Every part of the program reads
// "bin" (core files, speaker sets, factory master) and "img" (pictures)
// through paths relative to the working directory, so the program works from
// the folder that holds them: the first of datafolder::candidates()
// (base/data_folder.h) whose "bin" holds every core file.
#pragma once

#include <string>
#include <vector>

#include "base/data_folder.h"

namespace runfolder {

// Tries the candidates for this process and makes the first that holds the
// core files the working directory. Returns that folder, or "" when none does
// (the working directory then stays as it was). Remembers what it tried.
// Folder variables holding a relative path (HOMEDRIVE, USERPROFILE,
// LOCALAPPDATA, ORVELLA_PEDAL_DIR) are made absolute first, so they keep
// naming the folders the user meant.
std::string use();
// The folders use() tried; only the working directory when it has not run.
std::vector<std::string> searched();

}  // namespace runfolder
