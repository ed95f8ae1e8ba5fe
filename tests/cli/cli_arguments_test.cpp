// The command line as a user mistypes it: every bad line is one error line
// and exit status 2 before anything is looked up; every command has its help.
#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "tests/cli/CliRun.h"
#include "tests/support/pedal/TestPedal.h"
#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/decode.h"
#include "cli/progress.h"

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
        {"ir", "a.wav", "--lop", "x.lop", "--p", "2"},      // --pedal or --preset
        {"render", "-", "-", "--backup", "-", "--index", "1"},   // standard input twice
        {"read", "1", "--pedal="},
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

namespace {

// The words of a command ("config get" is two).
std::vector<std::string> wordsOf(const std::string& command) {
    std::vector<std::string> words;
    for (size_t start = 0, space;; start = space + 1) {
        space = command.find(' ', start);
        words.push_back(command.substr(start, space - start));
        if (space == std::string::npos) return words;
    }
}

// A usable line of each command without the option under test: its operands
// and what it cannot go without (a sound, a field to set).
std::vector<std::string> lineOf(const cli::CommandSpec& c, const std::string& tested) {
    std::vector<std::string> line = wordsOf(c.name);
    for (const cli::OperandSpec& operand : c.operands) line.push_back(operand.kind == cli::Kind::Preset ? "3" : "f.x");
    const bool sound = tested == "--preset" || tested == "--lop" || tested == "--backup" || tested == "--index";
    if ((line[0] == "render" || line[0] == "ir") && !sound) line.insert(line.end(), {"--lop", "s.lop"});
    if (c.name == std::string("config set") && tested != "--midi") line.insert(line.end(), {"--midi", "5"});
    return line;
}

// Each option of the table: a value it takes, what it must then hold, and
// what must come with it.
struct Sample {
    std::string value;
    std::function<bool(const cli::Options&)> holds;
    std::vector<std::string> with;
};
const std::map<std::string, Sample> samples = {
    {"--pedal", {"VP7", [](const cli::Options& o) { return o.pedal == "VP7"; }, {}}},
    {"--quiet", {"", [](const cli::Options& o) { return o.quiet; }, {}}},
    {"--verbose", {"", [](const cli::Options& o) { return o.verbose; }, {}}},
    {"--data", {"/d", [](const cli::Options& o) { return o.data == "/d"; }, {}}},
    {"--help", {"", [](const cli::Options& o) { return o.help; }, {}}},
    {"--version", {"", [](const cli::Options& o) { return o.version; }, {}}},
    {"--json", {"", [](const cli::Options& o) { return o.json; }, {}}},
    {"--name", {"Nm", [](const cli::Options& o) { return o.name == "Nm"; }, {}}},
    {"--solo", {"right", [](const cli::Options& o) { return o.solo == 1; }, {}}},
    {"--title", {"T", [](const cli::Options& o) { return o.titleGiven && o.title == "T"; }, {}}},
    {"--left", {"blend", [](const cli::Options& o) { return o.left == 1; }, {}}},
    {"--right", {"volume", [](const cli::Options& o) { return o.right == 2; }, {}}},
    {"--midi", {"16", [](const cli::Options& o) { return o.midi == 16; }, {}}},
    {"--force", {"", [](const cli::Options& o) { return o.force; }, {}}},
    {"--preset", {"6", [](const cli::Options& o) { return o.preset == 6; }, {}}},
    {"--lop", {"-", [](const cli::Options& o) { return o.lop == "-"; }, {}}},
    {"--backup", {"b.bkp", [](const cli::Options& o) { return o.backup == "b.bkp" && o.index == 2; }, {"--index", "2"}}},
    {"--index", {"7", [](const cli::Options& o) { return o.index == 7; }, {"--backup", "b.bkp"}}},
    {"--rate", {"44100", [](const cli::Options& o) { return o.rate == 44100; }, {}}},
    {"--format", {"float", [](const cli::Options& o) { return o.format == "float"; }, {}}},
    {"--normalise", {"", [](const cli::Options& o) { return o.normalise; }, {}}},
};

}  // namespace

// Every command with every option of the table: taken where declared, in
// every spelling (before or after the command, --name=value, the shortest
// beginning that names only it, its letter), refused elsewhere; a beginning
// that several options share is ambiguous and names them all.
TEST(CliCommandLine, EveryCommandTakesExactlyItsOptionsInEverySpelling) {
    EXPECT_EQ(cli::optionTable().size(), samples.size()) << "the table and this test's options differ";
    for (const cli::OptionSpec& option : cli::optionTable()) {
        ASSERT_EQ(samples.count(option.name), 1u) << option.name << " has no sample in this test";
        const Sample& sample = samples.at(option.name);
        const std::string name = option.name;
        for (const cli::CommandSpec& c : cli::commandTable()) {
            const std::vector<std::string> line = lineOf(c, name);
            std::vector<std::vector<std::string>> spellings;
            std::vector<std::string> given = {name};
            if (option.value) given.push_back(sample.value);
            given.insert(given.end(), sample.with.begin(), sample.with.end());
            spellings.push_back(line);
            spellings.back().insert(spellings.back().end(), given.begin(), given.end());
            spellings.push_back(given);
            spellings.back().insert(spellings.back().end(), line.begin(), line.end());
            if (option.value) {
                spellings.push_back(line);
                spellings.back().push_back(name + "=" + sample.value);
                spellings.back().insert(spellings.back().end(), sample.with.begin(), sample.with.end());
            }
            if (option.letter) {
                spellings.push_back(line);
                spellings.back().push_back(std::string("-") + option.letter);
            }
            for (const std::vector<std::string>& args : spellings) {
                cli::Parsed p = cli::parse(args);
                std::string shown;
                for (const std::string& a : args) shown += a + " ";
                if (cli::takes(c.name, option)) {
                    EXPECT_EQ(p.error, "") << shown;
                    EXPECT_TRUE(sample.holds(p.options)) << shown;
                    if (name != "--help" && name != "--version") {
                        EXPECT_EQ(p.options.command, c.name) << shown;
                    }
                } else {
                    EXPECT_NE(p.error.find(name + " does not apply here"), std::string::npos) << shown << p.error;
                }
            }
        }
        // Every beginning: the option it names alone, or all that share it.
        for (size_t length = 3; length < name.size(); ++length) {
            const std::string typed = name.substr(0, length);
            std::vector<std::string> sharing;
            for (const cli::OptionSpec& other : cli::optionTable())
                if (std::string(other.name).compare(0, length, typed) == 0) sharing.push_back(other.name);
            const cli::CommandSpec& c = *std::find_if(cli::commandTable().begin(), cli::commandTable().end(),
                                                      [&](const cli::CommandSpec& c) { return cli::takes(c.name, option); });
            std::vector<std::string> args = lineOf(c, name);
            args.push_back(typed + (option.value ? "=" + sample.value : ""));
            args.insert(args.end(), sample.with.begin(), sample.with.end());
            cli::Parsed p = cli::parse(args);
            if (sharing.size() == 1) {
                EXPECT_EQ(p.error, "") << typed;
                EXPECT_TRUE(sample.holds(p.options)) << typed;
            } else {
                EXPECT_NE(p.error.find(typed + " is ambiguous"), std::string::npos) << typed << ": " << p.error;
                for (const std::string& candidate : sharing) EXPECT_NE(p.error.find(candidate), std::string::npos) << typed;
            }
        }
    }
    // What users ran into: --p is --pedal or --preset, --pre is --preset.
    EXPECT_NE(cli::parse({"ir", "a.wav", "--p", "2"}).error.find("ambiguous"), std::string::npos);
    EXPECT_EQ(cli::parse({"ir", "a.wav", "--pre", "2"}).options.preset, 2);
}

// The program's help, each command's (--help after it, or help COMMAND) and
// the manual page list every command with exactly the options the table
// gives it, and every exit status; each help exits 0. Every command declared
// has a function to run it.
TEST(CliCommandLine, HelpAndManualPageListWhatTheTableDeclares) {
    CliResult general = runCli({"--help"}, false);
    EXPECT_EQ(general.code, 0);
    const std::string page = readFile(ORVELLA_CLI_MAN_PAGE);
    ASSERT_FALSE(page.empty()) << ORVELLA_CLI_MAN_PAGE;
    auto roff = [](std::string text) {
        for (size_t at = 0; (at = text.find('-', at)) != std::string::npos; at += 2) text.insert(at, "\\");
        return text;
    };
    for (const std::string command : {"config"}) {
        CliResult r = runCli({command, "--help"}, false);
        EXPECT_EQ(r.code, 0) << command << r.err;
        EXPECT_EQ(r.out, cli::helpText(command));
    }
    auto entryOf = [&](const cli::CommandSpec& c) { return page.find(".TP\n\\fB" + roff(c.name) + "\\fR"); };
    for (const cli::CommandSpec& c : cli::commandTable()) {
        EXPECT_TRUE(cli::runs(c.name)) << c.name << " has no function";
        std::vector<std::string> args = wordsOf(c.name);
        args.push_back("--help");
        CliResult r = runCli(args, false);
        EXPECT_EQ(r.code, 0) << c.name;
        EXPECT_EQ(r.out.rfind("Usage: orvella-cli ", 0), 0u) << c.name;
        std::vector<std::string> helpArgs = {"help"};
        for (const std::string& w : wordsOf(c.name)) helpArgs.push_back(w);
        EXPECT_EQ(runCli(helpArgs, false).out, r.out) << c.name;
        // The command's line in the program's help and its entry in the manual.
        const size_t line = general.out.find("\n  " + std::string(c.name) + " ");
        const size_t lineEnd = general.out.find("\n      ", line + 1);
        ASSERT_NE(line, std::string::npos) << c.name;
        const std::string listed = general.out.substr(line, lineEnd - line);
        const size_t entry = entryOf(c);
        ASSERT_NE(entry, std::string::npos) << c.name;
        const cli::CommandSpec* next = &c == &cli::commandTable().back() ? nullptr : &c + 1;
        const std::string manEntry = page.substr(entry, (next ? entryOf(*next) : page.find("\n.SH ", entry)) - entry);
        for (const cli::OptionSpec& o : cli::optionTable()) {
            if (o.commands.empty()) continue;
            const bool taken = cli::takes(c.name, o);
            EXPECT_EQ(listed.find(std::string("[") + o.name + (o.value ? " " : "]")) != std::string::npos, taken)
                << c.name << " " << o.name << " in --help";
            EXPECT_EQ(r.out.find(std::string("  ") + o.name + " ") != std::string::npos, taken) << c.name << " " << o.name;
            EXPECT_EQ(manEntry.find("\\fB" + roff(o.name) + "\\fR") != std::string::npos, taken)
                << c.name << " " << o.name << " in the manual";
        }
    }
    // Every option and exit status in the program's help and the manual, and
    // no option in the manual's prose that the table does not hold.
    for (const cli::OptionSpec& o : cli::optionTable()) {
        EXPECT_NE(general.out.find(o.name), std::string::npos) << o.name;
        EXPECT_NE(page.find(roff(o.name)), std::string::npos) << o.name;
    }
    for (const cli::ExitSpec& e : cli::exitTable()) {
        EXPECT_NE(general.out.find("\n  " + std::string(e.code < 100 ? "  " : "") + std::to_string(e.code) + "  "),
                  std::string::npos) << e.code;
        EXPECT_NE(page.find(".B " + std::to_string(e.code) + "\n"), std::string::npos) << e.code;
    }
    const std::regex mentioned(R"(\\-\\-([a-z]+))");
    for (std::sregex_iterator it(page.begin(), page.end(), mentioned), end; it != end; ++it) {
        const std::string name = "--" + (*it)[1].str();
        EXPECT_TRUE(std::any_of(cli::optionTable().begin(), cli::optionTable().end(),
                                [&](const cli::OptionSpec& o) { return std::string(o.name).rfind(name, 0) == 0; }))
            << name << " is in the manual but begins no option of the table";
    }
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

    p = cli::parse({"config", "set", "--mi", "4", "--le=mic", "--ri", "blend"});
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

// The progress line on a terminal of any width fills all but its last
// column (so it never wraps), the bar taking what the text leaves and
// filled in proportion; render counts seconds of audio.
TEST(CliProgress, TheBarFitsEveryTerminalWidth) {
    for (const std::string what : {"restore", "firmware V2.3"})
        for (int columns = 1; columns <= 200; ++columns)
            for (double done : {0.0, 3.0, 8.0}) {
                const std::string line = cli::progressLine(what, done, 8, cli::Unit::Steps, columns);
                ASSERT_EQ(line.size(), size_t(columns - 1)) << columns;
                const size_t open = line.find('['), close = line.find(']');
                if (columns >= 60) {
                    ASSERT_NE(open, std::string::npos) << line;
                    const size_t width = close - open - 1;
                    EXPECT_EQ(std::count(line.begin(), line.end(), '#'), long(done * width / 8)) << line;
                    EXPECT_NE(line.find(std::to_string(int(done * 100 / 8)) + "% (" + std::to_string(int(done)) + "/8)"),
                              std::string::npos) << line;
                }
            }
    EXPECT_EQ(cli::progressLine("render", 12.5, 30, cli::Unit::Seconds, 0), "render: 12.5/30.0 s (41%)");
    EXPECT_NE(cli::progressLine("render", 30, 30, cli::Unit::Seconds, 80).find("100% (30.0/30.0 s)"), std::string::npos);
}
