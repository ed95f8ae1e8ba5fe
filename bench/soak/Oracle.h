// The oracle: after each action, every claim the program made (a log line, an
// alert, an exit status, what the window shows) against the truth read from
// the pedals and the disk. No toolkit: the session hands it what the window
// showed as plain values.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench/soak/Actions.h"
#include "bench/soak/Truth.h"

namespace soak {

// One action as done: what it was asked to do and what the program said.
struct Step {
    Action action;
    std::string target;                 // serial number of the pedal the action addresses
    bool cli = false;
    std::string said;                   // new log lines, alerts and messages; or the CLI's output and errors
    int exitCode = 0;                   // CLI: exit status, -1 when it was stopped by a signal
    bool killedHard = false;            // CLI: ended by SIGKILL, so it could neither speak nor tidy up
    // What the action meant to put where, worked out before it ran.
    int preset = -1;                    // 0..7
    std::string record, title, image;   // a preset store: 12, 12 and 512 bytes
    std::vector<std::string> banks;     // a restore: the 192-byte banks it may leave (two for a pair)
    int config = -1;                    // the configuration byte sent, or the firmware version offered
    std::string file;                   // the file the action reads or writes
    bool fileValid = true;              // the offered file is what its name says
    std::vector<std::string> lockNotes; // CLI: what the port lock files hold after it ran
    bool dashFile = false;              // CLI: a file named "-" appeared in its working folder
    // What the window showed afterwards (window false: not shown).
    bool window = false;
    std::string dashParams, shownTitle;
    int promptsShown = 0;
    bool dashboardActive = true;
    int configShown = -1;               // the byte the configuration prompt's choices make, -1: hidden
    bool accepted = false;              // a local preset is now the bar's choice
    std::string heard;                  // an audition: the tone chart line that sent a preview while selected
    // Presets (bit per preset, by serial number) that an earlier failure named
    // as possibly damaged: a pedal still working through late bytes may change
    // them after that action ended.
    std::map<std::string, unsigned> unsettled;
};

// What a record composes to (clamped record and image), as the editor composes it.
struct Composer {
    std::function<void(const uint8_t* record, std::string& params, std::string& image)> compose;
};

struct Verdict {
    int claims = 0;                     // claims the oracle checked
    std::vector<std::string> violations;   // "rule: what was said, what is so"
};

Verdict check(const Step& step, const Truth& before, const Truth& after, const Composer& composer);

// Whether the program said the action succeeded, and the presets it may then change.
bool claimsSuccess(const Step& step);
unsigned scopeOf(const Step& step);
// Carries the presets a failure named (or a script killed outright may have
// touched) into the next steps, until a success covers them again.
void settle(const Step& step, std::map<std::string, unsigned>& unsettled);

// The presets (bit i for preset i + 1) that a failure text names as changed
// or possibly damaged: "Preset 4", "Presets 1 to 3", "the presets before it", ...
unsigned namedPresets(const std::string& said);
// Files: no temporary file left, nothing half-written, links and permissions
// kept, no existing file replaced that the action did not name.
void checkFiles(const Step& step, const Truth& before, const Truth& after, Verdict& v);

}  // namespace soak
