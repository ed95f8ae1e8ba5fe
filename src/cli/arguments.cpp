#include "cli/arguments.h"

#include <algorithm>
#include <cstdlib>

#include "cli/decode.h"

namespace cli {

namespace {

const char* const programHelp =
    "Usage: orvella-cli [OPTIONS] COMMAND [ARGUMENTS]\n"
    "\n"
    "The Drevani pedal's presets, configuration and firmware from a terminal or a script.\n"
    "\n"
    "Commands:\n"
    "  list [--json]             the pedals found: serial number, description, port\n"
    "  status                    firmware mode and version, global configuration\n"
    "  read N [--json]           preset N (1-8) decoded into named parameters\n"
    "  export N FILE.lop         preset N saved as a local preset file\n"
    "  write N FILE.lop          a local preset stored in preset N, verified\n"
    "  preview FILE.lop          a local preset played without storing it\n"
    "  backup [FILE.bkp]         the eight presets saved into a backup file\n"
    "  restore FILE.bkp          the eight presets stored from a backup, verified\n"
    "  config get [--json]       knob functions and MIDI channel\n"
    "  config set [--left F] [--right F] [--midi N]\n"
    "                            changes the global configuration\n"
    "  firmware FILE.fdt         updates a pedal waiting for firmware\n"
    "  render IN.wav OUT.wav SOUND  a DI recording played through a sound, to a WAV file\n"
    "  ir OUT.wav SOUND          a sound's impulse response as a stereo WAV file\n"
    "                            (SOUND: --preset N, --lop FILE.lop or --backup FILE.bkp --index N)\n"
    "  help [COMMAND]            this text, or a command's\n"
    "\n"
    "Options (with any command):\n"
    "  --pedal SERIAL   the pedal to use when several are attached\n"
    "  --quiet, -q      no progress on standard error (errors are still printed)\n"
    "  --verbose, -v    the link's diagnostic lines on standard error\n"
    "  --data DIR       the folder holding the editor's \"bin\" folder (write, preview, restore,\n"
    "                   render, ir)\n"
    "  --help, -h       help; after a command, that command's\n"
    "  --version        the program's version\n"
    "Options may stand before or after the command; a long option may be shortened\n"
    "to any unambiguous beginning (--ped), short ones bundled (-qv).\n"
    "\n"
    "Results go to standard output; progress and errors to standard error.\n"
    "\n"
    "Exit status:\n"
    "  0  success\n"
    "  2  usage: the command line is wrong\n"
    "  3  file: a file cannot be read or written, or does not hold what it should\n"
    "  4  pedal not found: none attached, the named one absent, or several and no --pedal\n"
    "  5  communication: the pedal did not answer, or not completely\n"
    "  6  verification: what the pedal echoed or read back differs from what was sent\n"
    "  7  pedal mode: the pedal waits for firmware (for firmware: it does not)\n"
    "\n"
    "'orvella-cli help COMMAND' or 'orvella-cli COMMAND --help' describes a command.\n";

struct CommandSpec {
    const char* name;
    int minOperands, maxOperands;
    bool takesPreset;               // the first operand is a preset number 1..8
    std::vector<std::string> options;
    const char* help;
};

// How render and ir take their sound, in the help of both.
#define SOUND_HELP                                                                         \
    "The sound is one of:\n"                                                              \
    "  --preset N            preset N (1 to 8) as stored on the pedal\n"                  \
    "  --lop FILE.lop        a local preset file (no pedal needed)\n"                     \
    "  --backup FILE.bkp --index N   preset N of a backup file (no pedal needed)\n"       \
    "A file whose record or title no pedal holds is refused (exit status 3); the\n"     \
    "record is loaded into the sound model as the editor loads it (a preset's from\n"     \
    "the pedal clamped) and its algorithm image run by the pedal's own interpreter.\n"    \
    "The file is replaced only once it is complete.\n"

const std::vector<CommandSpec>& commands() {
    static const std::vector<CommandSpec> list = {
        {"list", 0, 0, false, {"--json"},
         "Usage: orvella-cli list [--json]\n"
         "\n"
         "Lists the pedals found, real ones first, then virtual ones, one per line:\n"
         "serial number, description and port, separated by tabs; with --json, a JSON\n"
         "array of objects. Sends nothing. When there is none it prints nothing (with\n"
         "--json: []) and exits 0.\n"},
        {"status", 0, 0, false, {"--json"},
         "Usage: orvella-cli [--pedal SERIAL] status [--json]\n"
         "\n"
         "Asks the pedal for its firmware status: whether it runs its firmware\n"
         "(\"normal\") or waits for a firmware update (\"update\"), and the version.\n"
         "A pedal in normal operation is also asked for its global configuration\n"
         "(knob functions, MIDI channel).\n"},
        {"read", 1, 1, true, {"--json"},
         "Usage: orvella-cli [--pedal SERIAL] read N [--json]\n"
         "\n"
         "Reads preset N (1 to 8) and prints its title and its parameters by name:\n"
         "mode, speaker, cabinet, microphone, volume and blend of each side, delay and\n"
         "room, with the speaker names of the editor's menus. With --json, one JSON\n"
         "object. A record holding bytes out of range is shown as the editor loads it\n"
         "(clamped), its raw bytes beside it.\n"},
        {"export", 2, 2, true, {"--name"},
         "Usage: orvella-cli [--pedal SERIAL] export N FILE.lop [--name NAME]\n"
         "\n"
         "Reads preset N (1 to 8) and saves it as a local preset file, the format the\n"
         "editor's local preset library reads and imports. The preset's name is NAME,\n"
         "or the file's name without its folder and \".lop\" (at most 38 characters,\n"
         "none of / \\ : * ? \" < > |). The record is saved as the editor loads it.\n"
         "The file is replaced only once it is complete.\n"},
        {"write", 2, 2, true, {"--solo", "--title"},
         "Usage: orvella-cli [--pedal SERIAL] write N FILE.lop [--solo left|right] [--title TEXT]\n"
         "\n"
         "Stores a local preset file in preset N (1 to 8) as the editor's WRITE does:\n"
         "a file whose record or title no pedal holds is refused (exit status 3), the\n"
         "record is loaded into the sound model, the\n"
         "algorithm image composed from the editor's data folder, record, title and\n"
         "image stored, the 512-byte echo compared with the image and the preset read\n"
         "back and compared with the record and title sent; a difference is stored\n"
         "once more automatically, a second difference is exit status 6.\n"
         "  --solo left|right  store with that side soloed (Stereo Cabs presets only):\n"
         "                     the other side takes its speaker, microphone and cabinet\n"
         "  --title TEXT       the title to store instead of the file's: at most 12\n"
         "                     characters of printable ASCII, as the editor's title field\n"},
        {"preview", 1, 1, false, {"--solo"},
         "Usage: orvella-cli [--pedal SERIAL] preview FILE.lop [--solo left|right]\n"
         "\n"
         "Plays a local preset file on the pedal without storing it: the image is\n"
         "composed as for write and sent as the editor's live preview.\n"},
        {"backup", 0, 1, false, {},
         "Usage: orvella-cli [--pedal SERIAL] backup [FILE.bkp]\n"
         "\n"
         "Reads the eight presets (records and titles, 192 bytes) into a backup file,\n"
         "the format of the editor's BACKUP. Without FILE, the editor's name for\n"
         "today's backup in its preset folder ($HOMEDRIVE, else $HOME, then\n"
         "/Kestrova/Orvella/presets/Drevani_Backup_MM-DD-YYYY.bkp). The file appears\n"
         "only when complete; a failed read leaves an earlier file as it was. Prints\n"
         "the file's path.\n"},
        {"restore", 1, 1, false, {},
         "Usage: orvella-cli [--pedal SERIAL] restore FILE.bkp\n"
         "\n"
         "Stores the eight presets of a backup file as the editor's RESTORE does: a\n"
         "file that does not hold exactly 192 bytes is refused before anything is\n"
         "sent; each preset's image is composed from its record, stored, its echo\n"
         "verified and the preset read back (one automatic retry); at the end all\n"
         "presets are read back and compared, and those that differ are named. Exit\n"
         "status 6 when a comparison fails.\n"},
        {"config get", 0, 0, false, {"--json"},
         "Usage: orvella-cli [--pedal SERIAL] config get [--json]\n"
         "\n"
         "Prints the pedal's global configuration: the function of the left and the\n"
         "right knob (Mic Position, Channel Blend, Vol and Phase) and the MIDI channel.\n"},
        {"config set", 0, 0, false, {"--left", "--right", "--midi"},
         "Usage: orvella-cli [--pedal SERIAL] config set [--left F] [--right F] [--midi N]\n"
         "\n"
         "Changes the pedal's global configuration. F is mic (Mic Position), blend\n"
         "(Channel Blend) or volume (Vol and Phase); N is a MIDI channel from 1 to 16.\n"
         "What is not given keeps the pedal's current value. The byte is read back\n"
         "afterwards and compared.\n"},
        {"firmware", 1, 1, false, {"--force"},
         "Usage: orvella-cli [--pedal SERIAL] firmware FILE.fdt [--force]\n"
         "\n"
         "Updates a pedal that waits for firmware (status \"update\"): the package's\n"
         "payload goes in 64-byte pages, each echoed by the pedal and compared; then\n"
         "the pedal learns the new version and resumes normal operation. A pedal in\n"
         "normal operation is refused (exit status 7). On a failed page nothing more\n"
         "is sent and the pedal keeps waiting for firmware: power it down and try\n"
         "again.\n"
         "The package is checked before anything is sent (exit status 3): a version\n"
         "character, a plain count of release-note lines, notes that are text, and\n"
         "1 to 65536 bytes of firmware after them. A version older than the pedal's\n"
         "is refused too (exit status 3).\n"
         "  --force            install an older version than the pedal's\n"},
        {"render", 2, 2, false, {"--preset", "--lop", "--backup", "--index", "--rate", "--format"},
         "Usage: orvella-cli render IN.wav OUT.wav SOUND [--rate 48000|44100] [--format 16|24|float]\n"
         "\n"
         "Plays a DI recording (16-, 24- or 32-bit integer or 32-bit float, mono or\n"
         "stereo, 8 to 192 kHz; stereo is mixed, other rates resampled to the pedal's\n"
         "48 kHz) through a sound, as the pedal would, and writes both outputs as a\n"
         "stereo WAV file with one more second for the tails to ring out. --rate\n"
         "resamples the result (default 48000); --format sets the samples (default 24).\n"
         SOUND_HELP},
        {"ir", 1, 1, false, {"--preset", "--lop", "--backup", "--index", "--rate", "--format", "--normalise"},
         "Usage: orvella-cli ir OUT.wav SOUND [--rate 48000|44100] [--format 24|float] [--normalise]\n"
         "\n"
         "Writes a sound's response to a unit impulse as a stereo WAV file for a\n"
         "convolution loader: cut where the tail stays below -90 dB of its peak, at\n"
         "most 2 seconds. At 44100 Hz the response is resampled keeping its gain.\n"
         "--normalise sets the peak at -1 dBFS. The sound is not wholly linear (the\n"
         "pedal's fixed-point arithmetic saturates on loud input), so the response is\n"
         "an approximation: at a DI recording's usual level it reproduces the sound to\n"
         "better than -40 dB, driven hard much less closely.\n"
         SOUND_HELP},
    };
    return list;
}

const CommandSpec* findCommand(const std::string& name) {
    for (const CommandSpec& c : commands())
        if (name == c.name) return &c;
    return nullptr;
}

// Every long option that may be shortened, as typed in full. The options of
// render and ir (--preset, --lop, --backup, --index, --rate, --format,
// --normalise) are typed in full: shortened, --l and --r would stop naming
// --left and --right.
const char* const longOptions[] = {"--pedal", "--data",  "--name",  "--title",   "--solo", "--left",    "--right",
                                   "--midi",  "--json",  "--quiet", "--verbose", "--help", "--version", "--force"};

// An abbreviated long option stands for the one option it begins, as with
// getopt_long; an exact name always wins. Unknown names come back as typed.
std::string resolveLong(const std::string& typed, std::string& error) {
    std::vector<std::string> matches;
    for (const char* option : longOptions) {
        if (typed == option) return typed;
        if (std::string(option).compare(0, typed.size(), typed) == 0) matches.push_back(option);
    }
    if (matches.size() > 1) {
        error = "option " + typed + " is ambiguous (could be";
        for (const std::string& m : matches) error += " " + m;
        error += ")";
    }
    return matches.size() == 1 ? matches[0] : typed;
}

// -q, -v and -h, alone or bundled (-qv).
std::string longOfShort(char letter) {
    switch (letter) {
    case 'q': return "--quiet";
    case 'v': return "--verbose";
    case 'h': return "--help";
    default: return std::string("-") + letter;
    }
}

bool takesValue(const std::string& option) {
    return option == "--pedal" || option == "--data" || option == "--name" || option == "--title" ||
           option == "--solo" || option == "--left" || option == "--right" || option == "--midi" ||
           option == "--preset" || option == "--lop" || option == "--backup" || option == "--index" ||
           option == "--rate" || option == "--format";
}

bool isGlobal(const std::string& option) {
    return option == "--pedal" || option == "--data" || option == "--quiet" || option == "--verbose" ||
           option == "--help" || option == "--version";
}

bool parseInt(const std::string& text, int low, int high, int& out) {
    if (text.empty() || text.size() > 3) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    out = std::atoi(text.c_str());
    return out >= low && out <= high;
}

}  // namespace

std::string helpText(const std::string& command) {
    if (command == "config") return helpText("config get") + "\n" + helpText("config set");
    const CommandSpec* entry = findCommand(command);
    return entry ? entry->help : programHelp;
}

Parsed parse(const std::vector<std::string>& args) {
    Parsed result;
    Options& o = result.options;
    std::vector<std::string> words;
    std::vector<std::pair<std::string, std::string>> given;     // options and values in order
    bool helpCommand = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg.size() < 2 || arg[0] != '-' || arg == "--") {
            if (arg == "--") {
                words.insert(words.end(), args.begin() + long(i) + 1, args.end());
                break;
            }
            words.push_back(arg);
            continue;
        }
        if (arg[1] != '-') {
            for (size_t k = 1; k < arg.size(); ++k) given.push_back({longOfShort(arg[k]), ""});
            continue;
        }
        std::string value;
        size_t eq = arg.find('=');
        bool inlineValue = eq != std::string::npos;
        if (inlineValue) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        }
        arg = resolveLong(arg, result.error);
        if (!result.error.empty()) return result;
        if (takesValue(arg) && !inlineValue) {
            if (i + 1 == args.size()) {
                result.error = arg + " needs a value";
                return result;
            }
            value = args[++i];
        } else if (!takesValue(arg) && inlineValue) {
            result.error = arg + " takes no value";
            return result;
        }
        given.push_back({arg, value});
    }

    // The command: one word, or two for config.
    size_t used = 0;
    if (!words.empty()) {
        if (words[0] == "help") {
            helpCommand = true;
            o.help = true;
            used = 1;
        }
        if (used < words.size()) {
            std::string name = words[used];
            if (name == "config") {
                if (used + 1 < words.size()) name += " " + words[used + 1];
                else if (!helpCommand) {
                    result.error = "config needs get or set";
                    return result;
                }
            }
            if (!findCommand(name) && !(helpCommand && name == "config")) {
                result.error = "unknown command '" + name + "'";
                return result;
            }
            o.command = name;
            used += name.find(' ') != std::string::npos ? 2 : 1;
        }
    }
    o.operands.assign(words.begin() + long(used), words.end());

    const CommandSpec* entry = findCommand(o.command);
    const std::string where = o.command.empty() ? std::string() : o.command + ": ";
    for (const auto& option : given) {
        const std::string& name = option.first;
        const std::string& value = option.second;
        bool allowed = isGlobal(name) || (entry && std::find(entry->options.begin(), entry->options.end(), name) !=
                                                     entry->options.end());
        if (!allowed) {
            bool known = takesValue(name) || name == "--json" || name == "--quiet" || name == "--verbose" ||
                         name == "--force" || name == "--normalise";
            result.error = where + (known ? name + " does not apply here" : "unknown option " + name);
            return result;
        }
        if (name == "--pedal") {
            if (value.empty()) {
                result.error = "--pedal needs a serial number";
                return result;
            }
            o.pedal = value;
        } else if (name == "--data") o.data = value;
        else if (name == "--quiet") o.quiet = true;
        else if (name == "--verbose") o.verbose = true;
        else if (name == "--help") o.help = true;
        else if (name == "--version") o.version = true;
        else if (name == "--json") o.json = true;
        else if (name == "--force") o.force = true;
        else if (name == "--name") o.name = value;
        else if (name == "--title") {
            o.title = value;
            o.titleGiven = true;
        } else if (name == "--solo") {
            if (value != "left" && value != "right") {
                result.error = where + "--solo takes left or right, not '" + value + "'";
                return result;
            }
            o.solo = value == "left" ? 0 : 1;
        } else if (name == "--left" || name == "--right") {
            int f = parseKnobFunction(value);
            if (f < 0) {
                result.error = where + name + " takes mic, blend or volume, not '" + value + "'";
                return result;
            }
            (name == "--left" ? o.left : o.right) = f;
        } else if (name == "--preset" || name == "--index") {
            if (!parseInt(value, 1, 8, name == "--preset" ? o.preset : o.index)) {
                result.error = where + name + " takes a preset number from 1 to 8, not '" + value + "'";
                return result;
            }
        } else if (name == "--lop") o.lop = value;
        else if (name == "--backup") o.backup = value;
        else if (name == "--normalise") o.normalise = true;
        else if (name == "--rate") {
            if (value != "48000" && value != "44100") {
                result.error = where + "--rate takes 48000 or 44100, not '" + value + "'";
                return result;
            }
            o.rate = std::atoi(value.c_str());
        } else if (name == "--format") {
            const bool ok = value == "24" || value == "float" || (value == "16" && o.command == "render");
            if (!ok) {
                result.error = where + "--format takes " + (o.command == "render" ? "16, " : "") + "24 or float, not '" +
                               value + "'";
                return result;
            }
            o.format = value;
        } else if (name == "--midi") {
            if (!parseInt(value, 1, 16, o.midi)) {
                result.error = where + "--midi takes a channel from 1 to 16, not '" + value + "'";
                return result;
            }
        }
    }
    if (o.help || o.version) return result;
    if (o.command.empty()) {
        result.error = "no command given";
        return result;
    }

    int count = int(o.operands.size());
    if (count < entry->minOperands || count > entry->maxOperands) {
        if (count > entry->maxOperands)
            result.error = where + "unexpected argument '" + o.operands[size_t(entry->maxOperands)] + "'";
        else
            result.error = where + "missing argument";
        return result;
    }
    if (entry->takesPreset && !parseInt(o.operands[0], 1, 8, o.preset)) {
        result.error = where + "the preset number must be 1 to 8, not '" + o.operands[0] + "'";
        return result;
    }
    if (o.command == "config set" && o.left < 0 && o.right < 0 && o.midi < 0) {
        result.error = where + "give at least one of --left, --right, --midi";
        return result;
    }
    if (o.command == "render" || o.command == "ir") {
        const int sources = (o.preset > 0) + !o.lop.empty() + !o.backup.empty();
        if (sources != 1) {
            result.error = where + (sources ? "give only one sound" : "give the sound") +
                           ": --preset N, --lop FILE.lop or --backup FILE.bkp --index N";
            return result;
        }
        if (!o.backup.empty() != (o.index > 0)) {
            result.error = where + (o.index > 0 ? "--index goes with --backup" : "--backup needs --index N (1 to 8)");
            return result;
        }
    }
    for (const std::string& operand : o.operands)
        if (operand.empty()) {
            result.error = where + "an empty file name";
            return result;
        }
    return result;
}

}  // namespace cli
