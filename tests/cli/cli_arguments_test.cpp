// The command line as a user mistypes it: every bad line is one error line
// and exit status 2 before anything is looked up; every command has its help.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CliRun.h"
#include "TestPedal.h"
#include "cli/arguments.h"

using namespace clitest;

TEST(CliCommandLine, BadLinesAreOneErrorLineAndTheUsageStatus) {
    testpedal::PedalFolder noPedals;      // and no real one: nothing to reach
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"read"},
        {"read", "0"},
        {"read", "9"},
        {"read", "1x"},
        {"read", "1", "2"},
        {"read", "1", "--name", "x"},
        {"read", "1", "--bogus"},
        {"export", "3"},
        {"write", "1", "a.lop", "--solo", "middle"},
        {"write", "1", "a.lop", "--title", "thirteen char"},
        {"preview"},
        {"backup", "a.bkp", "b.bkp"},
        {"restore"},
        {"config"},
        {"config", "reset"},
        {"config", "set"},
        {"config", "set", "--midi", "17"},
        {"config", "set", "--midi", "0"},
        {"config", "set", "--left", "tone"},
        {"config", "get", "--left", "mic"},
        {"firmware"},
        {"--pedal"},
        {"--pedal=", "list"},
        {"status", "--json=yes"},
        {"list", "extra"},
    };
    for (const std::vector<std::string>& args : bad) {
        std::string line;
        for (const std::string& a : args) line += a + " ";
        CliResult r = runCli(args, false);
        EXPECT_EQ(r.code, 2) << line << r.err;
        ASSERT_EQ(r.errLines().size(), 1u) << line << r.err;
        EXPECT_EQ(r.err.compare(0, 13, "orvella-cli: "), 0) << line << r.err;
        EXPECT_EQ(r.out, "") << line;
    }
}

TEST(CliCommandLine, EveryCommandHasItsHelp) {
    for (const std::string command : {"list", "status", "read", "export", "write", "preview", "backup", "restore",
                                      "config get", "config set", "firmware"}) {
        std::vector<std::string> args;
        for (size_t start = 0, space;; start = space + 1) {
            space = command.find(' ', start);
            args.push_back(command.substr(start, space - start));
            if (space == std::string::npos) break;
        }
        args.push_back("--help");
        CliResult r = runCli(args, false);
        EXPECT_EQ(r.code, 0) << command;
        EXPECT_EQ(r.out.rfind("Usage: orvella-cli ", 0), 0u) << command;
        EXPECT_NE(r.out.substr(0, r.out.find('\n')).find(" " + command), std::string::npos) << r.out;
        EXPECT_EQ(r.out, cli::helpText(command));
        CliResult same = runCli({"help", args[0], args.size() > 2 ? args[1] : "--quiet"}, false);
        EXPECT_EQ(same.out, r.out) << command;
    }
    CliResult general = runCli({"--help"}, false);
    EXPECT_EQ(general.code, 0);
    EXPECT_NE(general.out.find("Exit status:"), std::string::npos);
    CliResult version = runCli({"--version"}, false);
    EXPECT_EQ(version.out, "orvella-cli " ORVELLA_TEST_VERSION "\n");
}

TEST(CliCommandLine, WithoutAPedalTheStatusSaysNotFound) {
    testpedal::PedalFolder noPedals;
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"list"}, {"status"}, {"read", "1"}, {"backup", "/tmp/x.bkp"}}) {
        CliResult r = runCli(args, false);
        EXPECT_EQ(r.code, 4) << args[0];
        EXPECT_EQ(r.errLines().size(), 1u) << r.err;
    }
}
