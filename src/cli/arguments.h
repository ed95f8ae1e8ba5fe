// orvella-cli's command line: sub-commands, their options and help texts,
// and the exit codes scripts can rely on. Plain C++, no toolkit.
#pragma once

#include <string>
#include <vector>

namespace cli {

enum ExitCode {
    ExitOk = 0,
    ExitUsage = 2,           // bad command line
    ExitFile = 3,            // a file could not be read or written, or holds the wrong bytes
    ExitNoPedal = 4,         // no pedal, the named one is absent, or several and no --pedal
    ExitCommunication = 5,   // the pedal did not answer, or not completely
    ExitVerification = 6,    // what the pedal echoed or read back differs from what was sent
    ExitPedalMode = 7,       // the pedal is not in the mode the command needs
    ExitInterrupted = 130,   // stopped by Ctrl-C (a restore says which presets it stored)
};

struct Options {
    std::string command;                // "list", ..., "config get", "config set"; "" for none
    std::vector<std::string> operands;  // the command's positional arguments
    std::string pedal;                  // --pedal SERIAL
    std::string data;                   // --data DIR: the folder holding "bin"
    std::string name;                   // export --name
    std::string title;                  // write --title
    bool titleGiven = false;
    int solo = -1;                      // write/preview --solo: 0 left, 1 right
    int left = -1, right = -1, midi = -1;   // config set
    int preset = 0;                     // 1..8 for read, export, write; render/ir --preset
    // render and ir: where the sound comes from (--preset, --lop, --backup
    // with --index) and what the file holds.
    std::string lop, backup;
    int index = 0;                      // --index 1..8
    int rate = 48000;                   // --rate 48000|44100
    std::string format;                 // --format 16|24|float; "" the command's default
    bool normalise = false;             // ir --normalise
    bool force = false;                 // firmware --force: also an older version
    bool quiet = false, verbose = false, json = false;
    bool help = false, version = false;
};

struct Parsed {
    Options options;
    std::string error;                  // one line; empty when the command line is usable
};

Parsed parse(const std::vector<std::string>& args);

// The help of one command ("read", "config set", ...), or of the program
// when command is empty or unknown.
std::string helpText(const std::string& command);

}  // namespace cli
