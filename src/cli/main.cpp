// orvella-cli: the Drevani pedal's presets, configuration and firmware from a
// terminal or a script, without the window. See `orvella-cli --help` and
// the manual page for the commands and the exit codes.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    cli::Parsed parsed = cli::parse(args);
    const cli::Options& o = parsed.options;
    if (!parsed.error.empty()) {
        std::string topic = o.command.empty() ? "--help" : "help " + o.command;
        std::fprintf(stderr, "orvella-cli: %s (see 'orvella-cli %s')\n", parsed.error.c_str(), topic.c_str());
        return cli::ExitUsage;
    }
    if (o.help) {
        std::fputs(cli::helpText(o.command).c_str(), stdout);
        return cli::ExitOk;
    }
    if (o.version) {
        std::printf("orvella-cli %s\n", ORVELLA_VERSION);
        return cli::ExitOk;
    }
    return cli::run(o, stdout, stderr, isatty(STDERR_FILENO) == 1);
}
