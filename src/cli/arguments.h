// orvella-cli's command line: one table of the commands, one of the options
// (which commands take each) and one of the exit codes. Parsing, the
// program's and each command's help and the manual page's commands, options
// and exit status are all made from these tables. Plain C++, no toolkit.
#pragma once

#include <string>
#include <vector>

namespace cli {

enum ExitCode {
    ExitOk = 0,
    ExitUsage = 2,           // bad command line
    ExitFile = 3,            // a file could not be read or written, or holds the wrong bytes
    ExitNoPedal = 4,         // no pedal, the named one absent, several and no --pedal, or not ours to open
    ExitCommunication = 5,   // the pedal did not answer, or not completely
    ExitVerification = 6,    // what the pedal echoed or read back differs from what was sent
    ExitPedalMode = 7,       // the pedal is not in the mode the command needs
    ExitInterrupted = 130,   // stopped by Ctrl-C (a restore says which presets it stored)
};

// What an option's value or an operand is. Files say which way they go: a
// file of "-" is standard input where one is read, standard output where
// one is written ("./-" names a file called "-").
enum class Kind { Flag, Text, Preset, FileIn, FileOut };

struct OptionSpec {
    const char* name;                   // "--pedal"
    char letter;                        // 'q' for -q; 0 when it has none
    const char* value;                  // "SERIAL"; nullptr for a flag
    Kind kind;
    std::vector<std::string> commands;  // the commands that take it; empty: every command
    const char* help;                   // a line or two ('\n' between them)
};

struct OperandSpec {
    const char* name;                   // "FILE.lop"
    Kind kind;
};

struct CommandSpec {
    const char* name;                   // "read", "config get"
    std::vector<OperandSpec> operands;
    int required;                       // how many of the operands must be given
    const char* summary;                // one line, for the program's help
    const char* text;                   // paragraphs (blank lines between) for its help and the manual
};

struct ExitSpec {
    int code;
    const char* meaning;                // one line
};

const std::vector<CommandSpec>& commandTable();
const std::vector<OptionSpec>& optionTable();
const std::vector<ExitSpec>& exitTable();
// Whether `command` takes `option` (every command takes the global ones).
bool takes(const std::string& command, const OptionSpec& option);

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

// Whether a file operand or option value names standard input or output.
inline bool isStandardStream(const std::string& path) { return path == "-"; }

// The help of one command ("read", "config set", "config" for both), or of
// the program when command is empty or unknown.
std::string helpText(const std::string& command);

// The manual page's sections made from the tables, in roff: the commands
// with their options, the options of every command, the exit status.
std::string manCommands();
std::string manOptions();
std::string manExitStatus();

}  // namespace cli
