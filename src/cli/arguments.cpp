#include "cli/arguments.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "cli/decode.h"

namespace cli {

namespace {

// What render and ir share: the SOUND options and where the record goes.
#define SOUND_TEXT                                                                        \
    "The sound is one of --preset N (preset N as stored on the pedal), --lop\n"           \
    "FILE.lop (a local preset file) or --backup FILE.bkp --index N (preset N of a\n"      \
    "backup file); files need no pedal, and one whose record or title no pedal\n"      \
    "holds is refused (exit status 3). The record is loaded into the sound model\n"     \
    "as the editor loads it (a preset's from the pedal clamped) and its algorithm\n"    \
    "image run by the pedal's own interpreter. The file is replaced only once it\n"     \
    "is complete."

const std::vector<std::string> renderAndIr = {"render", "ir"};

// How the command line is read, in the program's help and the manual.
const char* const optionRules =
    "Options may stand before or after the command. A long option may be\n"
    "shortened to any beginning that names only it (--ped for --pedal), and take\n"
    "its value as --name=VALUE; short options may be bundled (-qv). An argument\n"
    "after -- is never an option. A FILE of - is standard input where a file is\n"
    "read and standard output where one is written (./- names a file called -).";

}  // namespace

const std::vector<CommandSpec>& commandTable() {
    static const std::vector<CommandSpec> table = {
        {"list", {}, 0, "the pedals found: serial number, description, port",
         "Lists the pedals found, real ones first, then virtual ones, one per line:\n"
         "serial number, description and port, separated by tabs; with --json, a JSON\n"
         "array of objects with the keys serial, description and port. Sends nothing.\n"
         "When there is none it prints nothing (with --json: []) and exits 0."},
        {"status", {}, 0, "firmware mode and version, global configuration",
         "Asks the pedal for its firmware status: whether it runs its firmware\n"
         "(\"normal\") or waits for a firmware update (\"update\"), and the version.\n"
         "A pedal in normal operation is also asked for its global configuration\n"
         "(knob functions, MIDI channel)."},
        {"read", {{"N", Kind::Preset}}, 1, "preset N (1-8) decoded into named parameters",
         "Reads preset N (1 to 8) and prints its title and its parameters by name:\n"
         "mode, speaker, cabinet, microphone, volume and blend of each side, delay and\n"
         "room, with the speaker names of the editor's menus. With --json, one JSON\n"
         "object with the keys preset, title, record, clamped, mode, left, right\n"
         "(speaker, speaker_number, category, cabinet, mic, volume, blend), delay (use,\n"
         "range, value, delayed, amount, unit) and room (size, time, depth, color).\n"
         "A record holding bytes out of range is shown as the editor loads it\n"
         "(clamped), its raw bytes beside it."},
        {"export", {{"N", Kind::Preset}, {"FILE.lop", Kind::FileOut}}, 2, "preset N saved as a local preset file",
         "Reads preset N (1 to 8) and saves it as a local preset file, the format the\n"
         "editor's local preset library reads and imports. The preset's name is NAME,\n"
         "or the file's name without its folder and \".lop\" (at most 38 characters,\n"
         "none of / \\ : * ? \" < > |); written to standard output it needs --name.\n"
         "The record is saved as the editor loads it. The file is replaced only once\n"
         "it is complete."},
        {"write", {{"N", Kind::Preset}, {"FILE.lop", Kind::FileIn}}, 2, "a local preset stored in preset N, verified",
         "Stores a local preset file in preset N (1 to 8) as the editor's WRITE does:\n"
         "a file whose record or title no pedal holds is refused (exit status 3), the\n"
         "record is loaded into the sound model, the\n"
         "algorithm image composed from the editor's data folder, record, title and\n"
         "image stored, the 512-byte echo compared with the image and the preset read\n"
         "back and compared with the record and title sent; a difference is stored\n"
         "once more automatically, a second difference is exit status 6."},
        {"preview", {{"FILE.lop", Kind::FileIn}}, 1, "a local preset played without storing it",
         "Plays a local preset file on the pedal without storing it: the image is\n"
         "composed as for write and sent as the editor's live preview."},
        {"backup", {{"FILE.bkp", Kind::FileOut}}, 0, "the eight presets saved into a backup file",
         "Reads the eight presets (records and titles, 192 bytes) into a backup file,\n"
         "the format of the editor's BACKUP. Without FILE, the editor's name for\n"
         "today's backup in its preset folder ($HOMEDRIVE, else $HOME, then\n"
         "/Kestrova/Orvella/presets/Drevani_Backup_MM-DD-YYYY.bkp), and for a second\n"
         "backup of the day ..._2.bkp (and so on), as the editor numbers them. The\n"
         "file appears only when complete; a failed read leaves an earlier file as\n"
         "it was. Prints the file's path."},
        {"restore", {{"FILE.bkp", Kind::FileIn}}, 1, "the eight presets stored from a backup, verified",
         "Stores the eight presets of a backup file as the editor's RESTORE does: a\n"
         "file that does not hold exactly 192 bytes is refused before anything is\n"
         "sent; each preset's image is composed from its record, stored, its echo\n"
         "verified and the preset read back (one automatic retry); at the end all\n"
         "presets are read back and compared, and those that differ are named. Exit\n"
         "status 6 when a comparison fails.\n"
         "\n"
         "Interrupted (Ctrl-C), it stops before the next preset and says which\n"
         "presets are already stored (exit status 130); a second Ctrl-C ends it at\n"
         "once."},
        {"config get", {}, 0, "knob functions and MIDI channel",
         "Prints the pedal's global configuration: the function of the left and the\n"
         "right knob (Mic Position, Channel Blend, Vol and Phase) and the MIDI channel."},
        {"config set", {}, 0, "changes the global configuration",
         "Changes the pedal's global configuration; give at least one of --left,\n"
         "--right and --midi. What is not given keeps the pedal's current value. The\n"
         "byte is read back afterwards and compared."},
        {"firmware", {{"FILE.fdt", Kind::FileIn}}, 1, "updates a pedal waiting for firmware",
         "Updates a pedal that waits for firmware (status \"update\"): the package's\n"
         "payload goes in 64-byte pages, each echoed by the pedal and compared; then\n"
         "the pedal learns the new version and resumes normal operation. A pedal in\n"
         "normal operation is refused (exit status 7). On a failed page nothing more\n"
         "is sent and the pedal keeps waiting for firmware: power it down and try\n"
         "again.\n"
         "\n"
         "The package is checked before anything is sent (exit status 3): a version\n"
         "character, a plain count of release-note lines, notes that are text, and\n"
         "1 to 65536 bytes of firmware after them. A version older than the pedal's\n"
         "is refused too (exit status 3) unless --force is given."},
        {"render", {{"IN.wav", Kind::FileIn}, {"OUT.wav", Kind::FileOut}}, 2,
         "a DI recording played through a sound, to a WAV file",
         "Plays a DI recording (16-, 24- or 32-bit integer or 32-bit float, mono or\n"
         "stereo, 8 to 192 kHz; stereo is mixed, other rates resampled to the pedal's\n"
         "48 kHz) through a sound, as the pedal would, and writes both outputs as a\n"
         "stereo WAV file with one more second for the tails to ring out.\n"
         "\n" SOUND_TEXT},
        {"ir", {{"OUT.wav", Kind::FileOut}}, 1, "a sound's impulse response as a stereo WAV file",
         "Writes a sound's response to a unit impulse as a stereo WAV file for a\n"
         "convolution loader: cut where the tail stays below -90 dB of its peak, at\n"
         "most 2 seconds. At 44100 Hz the response is resampled keeping its gain. The\n"
         "sound is not wholly linear (the pedal's fixed-point arithmetic saturates on\n"
         "loud input), so the response is an approximation: at a DI recording's usual\n"
         "level it reproduces the sound to better than -40 dB, driven hard much less\n"
         "closely.\n"
         "\n" SOUND_TEXT},
    };
    return table;
}

const std::vector<OptionSpec>& optionTable() {
    static const std::vector<OptionSpec> table = {
        {"--pedal", 0, "SERIAL", Kind::Text, {},
         "the pedal to use; needed when several are attached\n"
         "(without it they are listed, exit status 4)"},
        {"--quiet", 'q', nullptr, Kind::Flag, {},
         "no progress and no notes on standard error (errors\nare still printed)"},
        {"--verbose", 'v', nullptr, Kind::Flag, {}, "the link's diagnostic lines on standard error"},
        {"--data", 0, "DIR", Kind::Text, {},
         "the folder holding the editor's \"bin\" folder (write,\n"
         "preview, restore, render, ir); default: the working\n"
         "directory, the program's folder or the installed data\n"
         "folder, the first that holds it"},
        {"--help", 'h', nullptr, Kind::Flag, {}, "help; after a command, that command's"},
        {"--version", 0, nullptr, Kind::Flag, {}, "the program's version"},
        {"--json", 0, nullptr, Kind::Flag, {"list", "status", "read", "config get"}, "JSON instead of text"},
        {"--name", 0, "NAME", Kind::Text, {"export"}, "the preset's name in the file"},
        {"--solo", 0, "left|right", Kind::Text, {"write", "preview"},
         "with that side soloed (Stereo Cabs presets only): the\n"
         "other side takes its speaker, microphone and cabinet"},
        {"--title", 0, "TEXT", Kind::Text, {"write"},
         "the title to store instead of the file's: at most 12\n"
         "characters of printable ASCII, as the editor's title\n"
         "field takes"},
        {"--left", 0, "F", Kind::Text, {"config set"}, "the left knob's function: mic, blend or volume"},
        {"--right", 0, "F", Kind::Text, {"config set"}, "the right knob's function: mic, blend or volume"},
        {"--midi", 0, "N", Kind::Text, {"config set"}, "the MIDI channel, 1 to 16"},
        {"--force", 0, nullptr, Kind::Flag, {"firmware"}, "install an older version than the pedal's"},
        {"--preset", 0, "N", Kind::Preset, renderAndIr, "the sound of preset N (1 to 8) as stored on the pedal"},
        {"--lop", 0, "FILE.lop", Kind::FileIn, renderAndIr, "the sound of a local preset file"},
        {"--backup", 0, "FILE.bkp", Kind::FileIn, renderAndIr, "the sound of preset --index N of a backup file"},
        {"--index", 0, "N", Kind::Preset, renderAndIr, "which preset (1 to 8) of the --backup file"},
        {"--rate", 0, "48000|44100", Kind::Text, renderAndIr, "the file's sample rate (default 48000)"},
        {"--format", 0, "16|24|float", Kind::Text, renderAndIr, "the file's samples (default 24; ir: 24 or float)"},
        {"--normalise", 0, nullptr, Kind::Flag, {"ir"}, "the peak set at -1 dBFS"},
    };
    return table;
}

const std::vector<ExitSpec>& exitTable() {
    static const std::vector<ExitSpec> table = {
        {ExitOk, "success"},
        {ExitUsage, "usage: the command line is wrong"},
        {ExitFile, "file: a file cannot be read or written, or does not hold what it should\n"
                   "(standard output that cannot take the results too)"},
        {ExitNoPedal, "pedal not found or not available: none attached, the named one absent,\n"
                      "several and no --pedal, in use by another program, or a port the user may\n"
                      "not open"},
        {ExitCommunication, "communication: the pedal did not answer, or not completely"},
        {ExitVerification, "verification: what the pedal echoed or read back differs from what was sent"},
        {ExitPedalMode, "pedal mode: the pedal waits for firmware (for firmware: it does not)"},
        {ExitInterrupted, "interrupted by Ctrl-C (a restore first says which presets it stored)"},
    };
    return table;
}

bool takes(const std::string& command, const OptionSpec& option) {
    if (option.commands.empty()) return true;
    // "config" (as in 'config --help') takes what config get and set take.
    for (const std::string& c : option.commands)
        if (c == command || (command == "config" && c.compare(0, 7, "config ") == 0)) return true;
    return false;
}

namespace {

const CommandSpec* findCommand(const std::string& name) {
    for (const CommandSpec& c : commandTable())
        if (name == c.name) return &c;
    return nullptr;
}

// A long option by its name or by a beginning that names only it, as
// getopt_long reads one: an exact name wins; "" with the reason otherwise.
const OptionSpec* resolveLong(const std::string& typed, std::string& error) {
    std::vector<const OptionSpec*> matches;
    for (const OptionSpec& o : optionTable()) {
        if (typed == o.name) return &o;
        if (std::string(o.name).compare(0, typed.size(), typed) == 0) matches.push_back(&o);
    }
    if (matches.size() == 1) return matches[0];
    if (matches.empty()) {
        error = "unknown option " + typed;
    } else {
        error = "option " + typed + " is ambiguous (could be";
        for (const OptionSpec* m : matches) error += std::string(" ") + m->name;
        error += ")";
    }
    return nullptr;
}

const OptionSpec* ofLetter(char letter) {
    for (const OptionSpec& o : optionTable())
        if (o.letter == letter) return &o;
    return nullptr;
}

bool parseInt(const std::string& text, int low, int high, int& out) {
    if (text.empty() || text.size() > 3) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    out = std::atoi(text.c_str());
    return out >= low && out <= high;
}

// The value of one option into the options; "" or the reason it is refused.
std::string setOption(const std::string& name, const std::string& value, Options& o) {
    if (name == "--pedal") {
        if (value.empty()) return "--pedal needs a serial number";
        o.pedal = value;
    } else if (name == "--data") o.data = value;
    else if (name == "--quiet") o.quiet = true;
    else if (name == "--verbose") o.verbose = true;
    else if (name == "--help") o.help = true;
    else if (name == "--version") o.version = true;
    else if (name == "--json") o.json = true;
    else if (name == "--force") o.force = true;
    else if (name == "--normalise") o.normalise = true;
    else if (name == "--name") o.name = value;
    else if (name == "--lop") o.lop = value;
    else if (name == "--backup") o.backup = value;
    else if (name == "--title") {
        o.title = value;
        o.titleGiven = true;
    } else if (name == "--solo") {
        if (value != "left" && value != "right") return "--solo takes left or right, not '" + value + "'";
        o.solo = value == "left" ? 0 : 1;
    } else if (name == "--left" || name == "--right") {
        int f = parseKnobFunction(value);
        if (f < 0) return name + " takes mic, blend or volume, not '" + value + "'";
        (name == "--left" ? o.left : o.right) = f;
    } else if (name == "--preset" || name == "--index") {
        if (!parseInt(value, 1, 8, name == "--preset" ? o.preset : o.index))
            return name + " takes a preset number from 1 to 8, not '" + value + "'";
    } else if (name == "--rate") {
        if (value != "48000" && value != "44100") return "--rate takes 48000 or 44100, not '" + value + "'";
        o.rate = std::atoi(value.c_str());
    } else if (name == "--format") {
        if (!(value == "24" || value == "float" || (value == "16" && o.command == "render")))
            return std::string("--format takes ") + (o.command == "render" ? "16, " : "") + "24 or float, not '" +
                   value + "'";
        o.format = value;
    } else if (name == "--midi") {
        if (!parseInt(value, 1, 16, o.midi)) return "--midi takes a channel from 1 to 16, not '" + value + "'";
    }
    return std::string();
}

}  // namespace

Parsed parse(const std::vector<std::string>& args) {
    Parsed result;
    Options& o = result.options;
    std::vector<std::string> words;
    struct Given {
        const OptionSpec* option;
        std::string value;
    };
    std::vector<Given> given;       // in the order typed
    std::string unknown;            // the first option not in the table, told once the command is known
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            words.insert(words.end(), args.begin() + long(i) + 1, args.end());
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') {      // "-" too: a file, standard input or output
            words.push_back(arg);
            continue;
        }
        if (arg[1] != '-') {
            // -q, -v and -h, alone or bundled (-qv); a letter taking a value
            // takes the rest of the word or the next one.
            for (size_t k = 1; k < arg.size(); ++k) {
                const OptionSpec* option = ofLetter(arg[k]);
                if (!option) {
                    if (unknown.empty()) unknown = "unknown option -" + std::string(1, arg[k]);
                    continue;
                }
                std::string value;
                if (option->value) {
                    if (k + 1 < arg.size()) value = arg.substr(k + 1);
                    else if (i + 1 < args.size()) value = args[++i];
                    else {
                        result.error = std::string(option->name) + " needs a value";
                        return result;
                    }
                    k = arg.size();
                }
                given.push_back({option, value});
            }
            continue;
        }
        const size_t eq = arg.find('=');
        const std::string typed = arg.substr(0, eq);
        std::string error;
        const OptionSpec* option = resolveLong(typed, error);
        if (!option) {
            if (error.compare(0, 7, "unknown") != 0) {
                result.error = error;       // ambiguous: told at once
                return result;
            }
            if (unknown.empty()) unknown = error;
            continue;
        }
        std::string value;
        if (eq != std::string::npos) {
            if (!option->value) {
                result.error = std::string(option->name) + " takes no value";
                return result;
            }
            value = arg.substr(eq + 1);
        } else if (option->value) {
            if (i + 1 == args.size()) {
                result.error = std::string(option->name) + " needs a value";
                return result;
            }
            value = args[++i];
        }
        given.push_back({option, value});
    }
    for (const Given& g : given) o.help = o.help || g.option->letter == 'h';

    // The command: one word, or two for config ("config" alone with help).
    size_t used = 0;
    if (!words.empty() && words[0] == "help") {
        o.help = true;
        used = 1;
    }
    if (used < words.size()) {
        std::string name = words[used];
        if (name == "config" && used + 1 < words.size()) name += " " + words[used + 1];
        if (name == "config" && !o.help) {
            result.error = "config needs get or set";
            return result;
        }
        if (!findCommand(name) && name != "config") {
            result.error = "unknown command '" + name + "'";
            return result;
        }
        o.command = name;
        used += name.find(' ') != std::string::npos ? 2 : 1;
    }
    o.operands.assign(words.begin() + long(used), words.end());

    const std::string where = o.command.empty() ? std::string() : o.command + ": ";
    if (!unknown.empty()) {
        result.error = where + unknown;
        return result;
    }
    for (const Given& g : given) {
        if (!takes(o.command, *g.option)) {
            result.error = where + g.option->name + " does not apply here";
            return result;
        }
        std::string error = setOption(g.option->name, g.value, o);
        if (!error.empty()) {
            result.error = (std::string(g.option->name) == "--pedal" ? "" : where) + error;
            return result;
        }
    }
    if (o.help || o.version) return result;
    if (o.command.empty()) {
        result.error = "no command given";
        return result;
    }

    const CommandSpec& entry = *findCommand(o.command);
    const size_t count = o.operands.size();
    if (count > entry.operands.size()) {
        result.error = where + "unexpected argument '" + o.operands[entry.operands.size()] + "'";
        return result;
    }
    if (count < size_t(entry.required)) {
        result.error = where + "missing argument " + entry.operands[count].name;
        return result;
    }
    // Operands and option values that are files: never empty, and standard
    // input read for one of them only.
    std::vector<std::string> inputs;
    for (size_t k = 0; k < count; ++k) {
        const std::string& operand = o.operands[k];
        const OperandSpec& declared = entry.operands[k];
        if (declared.kind == Kind::Preset && !parseInt(operand, 1, 8, o.preset)) {
            result.error = where + "the preset number must be 1 to 8, not '" + operand + "'";
            return result;
        }
        if ((declared.kind == Kind::FileIn || declared.kind == Kind::FileOut) && operand.empty()) {
            result.error = where + "an empty file name";
            return result;
        }
        if (declared.kind == Kind::FileIn) inputs.push_back(operand);
    }
    for (const Given& g : given) {
        if ((g.option->kind == Kind::FileIn || g.option->kind == Kind::FileOut) && g.value.empty()) {
            result.error = where + g.option->name + " needs a file name";
            return result;
        }
        if (g.option->kind == Kind::FileIn) inputs.push_back(g.value);
    }
    if (std::count_if(inputs.begin(), inputs.end(), isStandardStream) > 1) {
        result.error = where + "standard input (-) can be read for one file only";
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
    return result;
}

// --- help texts and the manual page, from the tables -------------------------

namespace {

bool isFile(Kind kind) { return kind == Kind::FileIn || kind == Kind::FileOut; }

// Words into lines of at most 79 characters, the first starting with
// `first`, the others indented by `indent` spaces; a bracketed group ("[--rate
// 48000|44100]") stays on one line.
std::string wrap(const std::string& words, const std::string& first, size_t indent) {
    std::string text = first;
    size_t column = first.size();
    bool lineEmpty = true;
    for (size_t start = 0, end; start < words.size(); start = end + 1) {
        end = start;
        for (int depth = 0; end < words.size() && (words[end] != ' ' || depth > 0); ++end)
            depth += words[end] == '[' ? 1 : words[end] == ']' ? -1 : 0;
        const std::string word = words.substr(start, end - start);
        if (word.empty()) continue;
        if (!lineEmpty && column + 1 + word.size() > 79) {
            text += "\n" + std::string(indent, ' ');
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            text += ' ';
            ++column;
        }
        text += word;
        column += word.size();
        lineEmpty = false;
    }
    return text + "\n";
}

// "[--solo left|right]" for the options `command` takes of its own.
std::string ownOptions(const std::string& command) {
    std::string text;
    for (const OptionSpec& o : optionTable())
        if (!o.commands.empty() && takes(command, o))
            text += std::string(" [") + o.name + (o.value ? std::string(" ") + o.value : "") + "]";
    return text;
}

std::string operandsOf(const CommandSpec& c) {
    std::string text;
    for (size_t k = 0; k < c.operands.size(); ++k)
        text += int(k) < c.required ? std::string(" ") + c.operands[k].name : std::string(" [") + c.operands[k].name + "]";
    return text;
}

// "  -q, --quiet      text", continuation lines indented to the text.
std::string optionLines(const OptionSpec& o) {
    std::string head = std::string("  ") + (o.letter ? std::string("-") + o.letter + ", " : "") + o.name +
                       (o.value ? std::string(" ") + o.value : "");
    const size_t column = 26;
    std::string text = head + (head.size() + 2 > column ? "\n" + std::string(column, ' ') : std::string(column - head.size(), ' '));
    for (const char* c = o.help; *c; ++c) {
        text += *c;
        if (*c == '\n') text += std::string(column, ' ');
    }
    return text + "\n";
}

std::string indented(const char* text, const std::string& indent) {
    std::string out = indent;
    for (const char* c = text; *c; ++c) {
        out += *c;
        if (*c == '\n' && c[1] && c[1] != '\n') out += indent;
    }
    return out + "\n";
}

std::string programHelp() {
    std::string text =
        "Usage: orvella-cli [OPTIONS] COMMAND [ARGUMENTS]\n"
        "\n"
        "The Drevani pedal's presets, configuration and firmware from a terminal or a script.\n"
        "\n"
        "Commands:\n";
    for (const CommandSpec& c : commandTable())
        text += wrap(c.name + operandsOf(c) + ownOptions(c.name), "  ", 4) + "      " + c.summary + "\n";
    text += "  help [COMMAND]\n      this text, or a command's\n\nOptions (with any command):\n";
    for (const OptionSpec& o : optionTable())
        if (o.commands.empty()) text += optionLines(o);
    text += std::string(optionRules) + "\n\nResults go to standard output; progress and errors to standard error.\n\n";
    text += "Exit status:\n";
    for (const ExitSpec& e : exitTable()) {
        std::string code = std::to_string(e.code);
        text += "  " + std::string(3 - code.size(), ' ') + code + "  " +
                indented(e.meaning, "       ").substr(7);
    }
    return text + "\n'orvella-cli help COMMAND' or 'orvella-cli COMMAND --help' describes a command.\n";
}

std::string commandHelp(const CommandSpec& c) {
    std::string text = wrap(c.name + operandsOf(c) + ownOptions(c.name), "Usage: orvella-cli [OPTIONS] ", 4) +
                       "\n" + c.text;
    text += "\n";
    bool any = false;
    for (const OptionSpec& o : optionTable())
        if (!o.commands.empty() && takes(c.name, o)) {
            if (!any) text += "\nOptions:\n";
            any = true;
            text += optionLines(o);
        }
    // Where "-" is a standard stream.
    std::string in, out;
    auto add = [](std::string& list, const char* name) { list += (list.empty() ? "" : ", ") + std::string(name); };
    for (const OperandSpec& operand : c.operands)
        if (isFile(operand.kind)) add(operand.kind == Kind::FileIn ? in : out, operand.name);
    for (const OptionSpec& o : optionTable())
        if (!o.commands.empty() && takes(c.name, o) && isFile(o.kind)) add(o.kind == Kind::FileIn ? in : out, o.value);
    if (!in.empty() || !out.empty())
        text += "\n" + wrap("A file of - is" + (in.empty() ? "" : " standard input for " + in) +
                                (in.empty() || out.empty() ? "" : ",") +
                                (out.empty() ? "" : " standard output for " + out) + " (./- names a file called -).",
                            "", 0);
    return text + "The options of every command: 'orvella-cli --help'.\n";
}

// Plain text as roff: backslashes and hyphens escaped, no line taken for a request.
std::string roff(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\') out += "\\e";
        else if (c == '-') out += "\\-";
        else out += c;
        lineStart = c == '\n';
    }
    return out;
}

std::string bold(const std::string& text) { return "\\fB" + roff(text) + "\\fR"; }
std::string italic(const std::string& text) { return "\\fI" + roff(text) + "\\fR"; }

// Paragraphs within an indented entry: a blank line starts the next one.
std::string roffParagraphs(const std::string& text) {
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\n\n", start);
        std::string paragraph = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        while (!paragraph.empty() && paragraph.back() == '\n') paragraph.pop_back();
        if (!paragraph.empty()) out += (out.empty() ? "" : ".IP\n") + roff(paragraph) + "\n";
        if (end == std::string::npos) break;
        start = end + 2;
    }
    return out;
}

std::string roffOption(const OptionSpec& o) {
    std::string tag = (o.letter ? bold(std::string("-") + o.letter) + ", " : "") + bold(o.name) +
                      (o.value ? " " + italic(o.value) : "");
    return ".TP\n" + tag + "\n" + roff(o.help) + ".\n";
}

}  // namespace

std::string helpText(const std::string& command) {
    if (command == "config") return helpText("config get") + "\n" + helpText("config set");
    const CommandSpec* entry = findCommand(command);
    return entry ? commandHelp(*entry) : programHelp();
}

std::string manCommands() {
    std::string text;
    for (const CommandSpec& c : commandTable()) {
        text += ".TP\n" + bold(c.name);
        for (size_t k = 0; k < c.operands.size(); ++k)
            text += int(k) < c.required ? " " + italic(c.operands[k].name) : " [" + italic(c.operands[k].name) + "]";
        for (const OptionSpec& o : optionTable())
            if (!o.commands.empty() && takes(c.name, o))
                text += " [" + bold(o.name) + (o.value ? " " + italic(o.value) : "") + "]";
        text += "\n" + roffParagraphs(c.text);
        bool any = false;
        for (const OptionSpec& o : optionTable())
            if (!o.commands.empty() && takes(c.name, o)) {
                text += any ? "" : ".RS\n";
                any = true;
                text += roffOption(o);
            }
        if (any) text += ".RE\n";
    }
    return text;
}

std::string manOptions() {
    std::string text = roff(optionRules) + "\n";
    for (const OptionSpec& o : optionTable())
        if (o.commands.empty()) text += roffOption(o);
    return text;
}

std::string manExitStatus() {
    std::string text;
    for (const ExitSpec& e : exitTable()) {
        std::string meaning = e.meaning;
        meaning[0] = char(std::toupper(static_cast<unsigned char>(meaning[0])));
        text += ".TP\n.B " + std::to_string(e.code) + "\n" + roff(meaning) + ".\n";
    }
    return text;
}

}  // namespace cli
