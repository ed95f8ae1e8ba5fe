// orvella-cli: the Drevani pedal's presets, configuration and firmware from a
// terminal or a script, without the window. See `orvella-cli --help` and
// the manual page for the commands and the exit codes.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/platform.h"
#include "cli/arguments.h"
#include "cli/commands.h"

int main(int argc, char** argv) {
    // Before anything is opened: a closed standard output must not lend its
    // number to the port's lock file, nor standard error to the port.
    platform::keepStandardStreams();
    // A pipe whose reader is gone is a failed write (status 3), not the end
    // of the program in the middle of a restore or a firmware update.
    platform::ignoreBrokenPipe();
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
        return std::fflush(stdout) == 0 ? cli::ExitOk : cli::ExitFile;
    }
    if (o.version) {
        std::printf("orvella-cli %s\n", ORVELLA_VERSION);
        return std::fflush(stdout) == 0 ? cli::ExitOk : cli::ExitFile;
    }
    // Standard output carries results only (the link's diagnostics go to
    // standard error or nowhere), so "/dev/stdout" as a file name is it too.
    cli::catchInterrupts();
    int code = cli::run(o, stdout, stderr, isatty(STDERR_FILENO) == 1);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "orvella-cli: cannot write the results to standard output\n");
        if (code == cli::ExitOk) code = cli::ExitFile;
    }
    return code;
}
