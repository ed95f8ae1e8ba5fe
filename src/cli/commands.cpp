#include "cli/commands.h"

#include "base/files.h"
#include "base/platform.h"
#include "cli/command_functions.h"
#include "cli/session.h"

namespace cli {

namespace {

// Each command of the table in arguments.cpp and its function; the files
// that hold them are named in command_functions.h.
struct Runner {
    const char* command;
    int (*function)(Session&);
};

const Runner runners[] = {
    {"list", listCommand},
    {"status", statusCommand},
    {"read", readCommand},
    {"export", exportCommand},
    {"write", writeCommand},
    {"preview", previewCommand},
    {"backup", backupCommand},
    {"restore", restoreCommand},
    {"config get", configGetCommand},
    {"config set", configSetCommand},
    {"firmware", firmwareCommand},
    {"render", renderCommand},
    {"ir", irCommand},
};

const Runner* runnerOf(const std::string& command) {
    for (const Runner& r : runners)
        if (command == r.command) return &r;
    return nullptr;
}

}  // namespace

void catchInterrupts() { platform::catchInterrupts(files::removeTemporaryFiles); }

int run(const Options& options, std::FILE* out, std::FILE* err, bool errIsTerminal) {
    Session s(options, out, err, errIsTerminal);
    if (const Runner* r = runnerOf(options.command)) return r->function(s);
    return s.fail(ExitUsage, "unknown command '" + options.command + "'");
}

bool runs(const std::string& command) { return runnerOf(command) != nullptr; }

}  // namespace cli
