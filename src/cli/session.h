// One orvella-cli command's run: where its results, notes and errors go
// (results to `out`, progress, notes and errors to `err`), the exit status
// a failure ends with, and the one pedal it talks to, chosen, claimed for
// the whole command and checked for the mode the command needs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/progress.h"
#include "link/PedalLink.h"
#include "link/Protocol.h"

namespace cli {

class Session {
public:
    Session(const Options& o, std::FILE* out, std::FILE* err, bool terminal);
    ~Session();

    // Ends the command: the message on standard error, `code` its status.
    int fail(int code, const std::string& message);
    // A note for the user that is not a result (a retry, a clamped record).
    void note(const std::string& text) { progress.note(text); }
    void result(const std::string& text);

    // The failed exchange in one line: what the link says and the code.
    std::string linkError(const std::string& what) const;

    const Options& o;
    std::FILE* out;
    std::FILE* err;
    Progress progress;
    PedalLink link;
    std::string serial;
};

// The pedals attached (virtual ones among them).
std::vector<PedalInfo> pedalsFound();
// One line per pedal after `indent`: serial, description and port between tabs.
std::string pedalLines(const std::vector<PedalInfo>& pedals, const char* indent);

// Picks the pedal every exchange of the session opens.
int choosePedal(Session& s);
// Reads the status byte; `status` holds it on success.
int readStatus(Session& s, uint8_t& status);
// "V1.4": the firmware version a status byte gives.
std::string versionOf(uint8_t status);
// Preset, configuration and preview commands need the pedal's firmware
// running: a pedal waiting for an update takes none of them.
int requireRunning(Session& s);
// Preset s.o.preset as the pedal replies: its record, then its title.
int readPreset(Session& s, uint8_t reply[protocol::PresetReplySize]);

}  // namespace cli
