// The command line as a user mistypes it: every bad line is one error line
// and exit status 2 before anything is looked up; every command has its help.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "CliRun.h"
#include "TestPedal.h"
#include "cli/arguments.h"
#include "cli/decode.h"

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
        {"write", "1", "a.lop", "--title", "Caf\xC3\xA9 Tone"},      // the editor's title rule: printable ASCII
        {"write", "1", "a.lop", "--title", "Tab\there"},
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

// Without a pedal, list answers with nothing (a script counts the lines);
// a command that needs a pedal says it found none.
TEST(CliCommandLine, WithoutAPedalTheStatusSaysNotFound) {
    testpedal::PedalFolder noPedals;
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"status"}, {"read", "1"}, {"backup", "/tmp/x.bkp"}}) {
        CliResult r = runCli(args, false);
        EXPECT_EQ(r.code, 4) << args[0];
        EXPECT_EQ(r.errLines().size(), 1u) << r.err;
    }
    CliResult list = runCli({"list"}, false);
    EXPECT_EQ(list.code, 0);
    EXPECT_EQ(list.out + list.err, "");
    CliResult json = runCli({"--js", "list"}, false);
    EXPECT_EQ(json.code, 0) << json.err;
    EXPECT_EQ(json.out, "[]\n");
}

// Options are read as getopt_long reads them: anywhere on the line, long ones
// by any unambiguous beginning, short ones bundled.
TEST(CliCommandLine, OptionsAnywhereShortenedOrBundled) {
    cli::Parsed p = cli::parse({"--ped", "VP000001", "-qv", "read", "--js", "3", "--d=/opt/data"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.command, "read");
    EXPECT_EQ(p.options.operands, std::vector<std::string>{"3"});
    EXPECT_EQ(p.options.preset, 3);
    EXPECT_EQ(p.options.pedal, "VP000001");
    EXPECT_EQ(p.options.data, "/opt/data");
    EXPECT_TRUE(p.options.quiet && p.options.verbose && p.options.json);

    p = cli::parse({"config", "set", "--mi", "4", "--l=mic", "--r", "blend"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.command, "config set");
    EXPECT_EQ(p.options.midi, 4);
    EXPECT_EQ(p.options.left, 0);
    EXPECT_EQ(p.options.right, 1);
    EXPECT_TRUE(cli::parse({"-hq", "status"}).options.help);
    EXPECT_TRUE(cli::parse({"status", "--vers"}).options.version);

    // An ambiguous beginning names the candidates; a bundle with an unknown
    // letter and an option of another command are refused.
    p = cli::parse({"--ver", "status"});
    EXPECT_NE(p.error.find("ambiguous"), std::string::npos) << p.error;
    EXPECT_NE(p.error.find("--verbose"), std::string::npos) << p.error;
    EXPECT_NE(p.error.find("--version"), std::string::npos) << p.error;
    EXPECT_EQ(cli::parse({"-qx", "status"}).error, "status: unknown option -x");
    EXPECT_NE(cli::parse({"status", "--ti", "x"}).error, "");
    EXPECT_EQ(cli::parse({"read", "1", "--", "--json"}).error, "read: unexpected argument '--json'");
}

// Names reach a UTF-8 terminal in the user's language; nothing in them can
// act on the terminal: control bytes (C1 too) and bytes of no valid UTF-8
// character are escaped, and without a UTF-8 locale everything outside ASCII.
TEST(CliPrintable, ValidUtf8StaysInAUtf8LocaleAndTheRestIsEscaped) {
    const struct {
        std::string text, utf8, plain;
    } cases[] = {
        {"Grüße öl", "Grüße öl", "Gr\\xC3\\xBC\\xC3\\x9Fe \\xC3\\xB6l"},
        {"Amp \xF0\x9F\x8E\xB8", "Amp \xF0\x9F\x8E\xB8", "Amp \\xF0\\x9F\\x8E\\xB8"},
        {"Bell\a\x1B[2J", "Bell\\x07\\x1B[2J", "Bell\\x07\\x1B[2J"},
        {"Caf\xE9", "Caf\\xE9", "Caf\\xE9"},                            // Latin-1
        {"\xC2\x9B" "1m", "\\xC2\\x9B1m", "\\xC2\\x9B1m"},                  // C1 CSI
        {"\xC0\xAF\xED\xA0\x80", "\\xC0\\xAF\\xED\\xA0\\x80", "\\xC0\\xAF\\xED\\xA0\\x80"},   // overlong, surrogate
        {"cut \xE2\x82", "cut \\xE2\\x82", "cut \\xE2\\x82"},
        {"a\\b", "a\\x5Cb", "a\\x5Cb"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cli::printable(c.text, true), c.utf8) << c.text;
        EXPECT_EQ(cli::printable(c.text, false), c.plain) << c.text;
    }
    const char* saved[] = {std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG")};
    const std::string kept[] = {saved[0] ? saved[0] : "", saved[1] ? saved[1] : "", saved[2] ? saved[2] : ""};
    setenv("LC_ALL", "", 1);
    setenv("LC_CTYPE", "de_DE.utf8", 1);
    setenv("LANG", "C", 1);
    EXPECT_TRUE(cli::utf8Locale());
    setenv("LC_ALL", "POSIX", 1);
    EXPECT_FALSE(cli::utf8Locale());
    const char* names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    for (int i = 0; i < 3; ++i)
        if (saved[i]) setenv(names[i], kept[i].c_str(), 1);
        else unsetenv(names[i]);
}
