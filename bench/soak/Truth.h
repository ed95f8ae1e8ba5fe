// What is so, read from outside the program after each action: each virtual
// pedal's state file and command log, and every file in the folders the
// session watches (the user's preset folder, the files it offers).
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "pedal/PedalState.h"
#include "tests/support/pedal/TestPedal.h"

namespace soak {

struct PedalTruth {
    bool present = false;           // registered: plugged in and powered
    bool stateRead = false;
    PedalState state;
    std::vector<testpedal::LoggedCommand> commands;   // the whole log so far
};

struct FileTruth {
    bool link = false;              // a symbolic link (bytes are its target's)
    std::string target;             // where the link points
    std::string bytes;
    mode_t mode = 0;                // permission bits of the file (the target's for a link)
};

struct Truth {
    std::map<std::string, PedalTruth> pedals;   // by serial number
    std::map<std::string, FileTruth> files;     // by path
};

PedalTruth readPedal(const testpedal::VirtualPedal& pedal);
// Every entry of the folders (not recursive); a missing folder adds nothing.
std::map<std::string, FileTruth> readFolders(const std::vector<std::string>& folders);

}  // namespace soak
