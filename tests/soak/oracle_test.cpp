// The soak's own parts that decide a verdict: reading which presets a failure
// names, the file rules, the preset rules, and shrinking. A fault here would
// let the soak pass a lying program, so each is tried against a lie.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "bench/soak/Oracle.h"
#include "bench/soak/Session.h"
#include "presets/PresetTransfer.h"

namespace {

using soak::Op;

// Every way the transfer tells how far a stopped restore got names at least
// the presets it overwrote and the one that may be damaged, and no more.
TEST(SoakOracle, NamedPresetsAreWhatAStoppedRestoreSays) {
    for (int overwritten = 0; overwritten <= 8; ++overwritten)
        for (bool damaged : {false, true}) {
            presettransfer::Outcome o;
            o.kind = damaged ? presettransfer::Outcome::EchoMismatch : presettransfer::Outcome::StoreFailed;
            o.overwritten = overwritten;
            o.preset = std::min(overwritten, 7);
            unsigned expected = (1u << overwritten) - 1;
            if (damaged) expected |= 1u << o.preset;
            EXPECT_EQ(soak::namedPresets(o.stopText()), expected) << o.stopText();
        }
    // The command line's wording: a preset, and the ones before it.
    EXPECT_EQ(soak::namedPresets("Storing preset 4: no reply; the presets before it are stored"), 0x0Fu);
    EXPECT_EQ(soak::namedPresets("> No changes has been made. Please try again."), 0u);
    EXPECT_EQ(soak::namedPresets("Presets 2, 5 and 7 differ"), 0x52u);
}

// A scratch folder the file rules look at.
class Folder : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/soak-oracle-XXXXXX";
        dir = mkdtemp(pattern);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    void put(const std::string& name, const std::string& bytes) { std::ofstream(dir + "/" + name, std::ios::binary) << bytes; }
    soak::Truth snapshot() const {
        soak::Truth t;
        t.files = soak::readFolders({dir});
        return t;
    }
    std::vector<std::string> rulesBroken(const soak::Step& step, const soak::Truth& before) const {
        soak::Verdict v;
        soak::checkFiles(step, before, snapshot(), v);
        std::vector<std::string> rules;
        for (const std::string& text : v.violations) rules.push_back(text.substr(0, text.find(':')));
        return rules;
    }
    std::string dir;
};

TEST_F(Folder, WritesThroughLinksPassReplacedLinksChangedModesHalfFilesAndLeftoversAreCaught) {
    put("target", std::string(192, 'a'));
    put("private.bkp", std::string(192, 'b'));
    put("other.bkp", std::string(192, 'o'));
    chmod((dir + "/private.bkp").c_str(), 0600);
    ASSERT_EQ(symlink((dir + "/target").c_str(), (dir + "/linked.bkp").c_str()), 0);
    soak::Truth before = snapshot();
    soak::Step step;
    step.action = soak::Action(Op::CliBackup);
    step.cli = true;
    step.file = dir + "/linked.bkp";
    put("target", std::string(192, 'c'));                       // through the link, as it should be
    EXPECT_EQ(rulesBroken(step, before), std::vector<std::string>{});
    // A temporary file renamed over the link, another over the private file, one left behind.
    put("new", std::string(192, 'c'));
    std::rename((dir + "/new").c_str(), (dir + "/linked.bkp").c_str());
    EXPECT_EQ(rulesBroken(step, before), std::vector<std::string>{"link-replaced"});
    step.file = dir + "/private.bkp";
    put("private.bkp.tmp123", std::string(100, 'd'));
    std::rename((dir + "/private.bkp.tmp123").c_str(), (dir + "/private.bkp").c_str());
    put("other.bkp.tmp77", "x");
    put("other.bkp", std::string(100, 'e'));
    std::vector<std::string> rules = rulesBroken(step, before);
    for (const char* rule : {"temporary-file", "half-file", "mode-changed", "unnamed-file-replaced", "link-replaced"})
        EXPECT_NE(std::find(rules.begin(), rules.end(), rule), rules.end()) << rule;
    // A process killed outright cannot tidy up: its temporary file is no lie.
    step.killedHard = true;
    rules = rulesBroken(step, before);
    EXPECT_EQ(std::find(rules.begin(), rules.end(), "temporary-file"), rules.end());
}

// A pedal's presets before and after, and what the program said in between.
TEST(SoakOracle, PresetChangesMustBeClaimedUntilASuccessCoversThem) {
    soak::Truth before, after;
    soak::PedalTruth p;
    p.present = p.stateRead = true;
    p.state.setFactory(nullptr);
    before.pedals["A"] = p;
    p.state.presets[2].title[11] ^= 1;          // preset 3 changed
    after.pedals["A"] = p;
    soak::Composer composer{[](const uint8_t* record, std::string& params, std::string& image) {
        params.assign(reinterpret_cast<const char*>(record), 12);
        image.assign(512, '\0');
    }};
    soak::Step step;
    step.action = soak::Action(Op::Write);
    step.target = "A";
    step.preset = 2;
    step.said = "Write operation failed.\n> No changes has been made. Please try again.\n";
    auto rules = [&](const soak::Step& s) {
        std::string all;
        for (const std::string& text : soak::check(s, before, after, composer).violations) all += text + "\n";
        return all;
    };
    EXPECT_NE(rules(step).find("unclaimed-change: preset 3"), std::string::npos);
    step.said = "> Preset 3 may now hold a damaged copy. Please write it again.\n";
    EXPECT_EQ(rules(step), "");
    // Another pedal than the one addressed never changes.
    step.target = "B";
    EXPECT_NE(rules(step).find("unclaimed-change"), std::string::npos);

    // A preset named as possibly damaged may still change later, while the
    // pedal works through late bytes, until a success covers it again.
    std::map<std::string, unsigned> unsettled;
    step.target = "A";
    step.said = "> Preset 3 may now hold a damaged copy. Please write it again.\n";
    soak::settle(step, unsettled);
    soak::Step later;
    later.action = soak::Action(Op::Connect);
    later.target = "A";
    later.said = "Connecting ...\n";
    EXPECT_NE(rules(later).find("unclaimed-change: preset 3"), std::string::npos);
    later.unsettled = unsettled;
    EXPECT_EQ(rules(later), "");
    step.said = "Write operation to Preset 3 OK (verified).\n";
    soak::settle(step, unsettled);
    later.unsettled = unsettled;
    EXPECT_NE(rules(later).find("unclaimed-change: preset 3"), std::string::npos);
}

TEST(SoakShrink, KeepsOnlyTheActionsTheFailureNeeds) {
    std::vector<soak::Action> actions = soak::generate(7, 30);
    actions[4] = soak::Action(Op::Fault, 0, 0, 0, "keep-wrong-record");
    actions[21] = soak::Action(Op::CliWrite, 3, 5, 0, "Good.lop");
    for (size_t i = 0; i < actions.size(); ++i)
        if ((i != 4 && actions[i].op == Op::Fault) || (i != 21 && actions[i].op == Op::CliWrite))
            actions[i].op = Op::Read;
    int runs = 0;
    // Fails when the fault comes before the write, as a real session would.
    auto fails = [&](const std::vector<soak::Action>& list) {
        ++runs;
        bool fault = false;
        for (const soak::Action& x : list) {
            if (x.op == Op::Fault) fault = true;
            if (x.op == Op::CliWrite && fault) return true;
        }
        return false;
    };
    std::vector<soak::Action> shortest = soak::shrink(actions, fails, 200);
    ASSERT_EQ(shortest.size(), 2u);
    EXPECT_EQ(shortest[0].op, Op::Fault);
    EXPECT_EQ(shortest[1].op, Op::CliWrite);
    EXPECT_LE(runs, 80);
    // A budget bounds the work, whatever is left.
    runs = 0;
    soak::shrink(actions, fails, 5);
    EXPECT_EQ(runs, 5);
}

}  // namespace

namespace {

// A pedal truth with factory contents, and a composer that keeps records and
// gives each an image made of its first byte.
soak::PedalTruth factoryPedal() {
    soak::PedalTruth p;
    p.present = p.stateRead = true;
    p.state.setFactory(nullptr);
    for (PedalPreset& preset : p.state.presets) std::memset(preset.image, preset.params[0], 512);
    return p;
}
const soak::Composer keepRecord{[](const uint8_t* record, std::string& params, std::string& image) {
    params.assign(reinterpret_cast<const char*>(record), 12);
    image.assign(512, static_cast<char>(record[0]));
}};
std::string broken(const soak::Step& step, const soak::Truth& before, const soak::Truth& after) {
    std::string all;
    for (const std::string& text : soak::check(step, before, after, keepRecord).violations)
        all += text.substr(0, text.find(':')) + " ";
    return all;
}
std::string presetBytes(const PedalPreset& p, int part) {
    const uint8_t* bytes = part == 0 ? p.params : part == 1 ? p.title : p.image;
    return std::string(reinterpret_cast<const char*>(bytes), part == 2 ? 512 : 12);
}

}  // namespace

// Whatever byte of a preset differs from what a success said was stored, the
// claim fails; and a success never covers a preset it did not name.
TEST(SoakOracle, EveryByteASuccessNamesIsChecked) {
    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        soak::Truth before, after;
        before.pedals["A"] = after.pedals["A"] = factoryPedal();
        soak::Step step;
        step.action = soak::Action(round % 2 ? Op::CliWrite : Op::Write);
        step.cli = round % 2;
        step.said = step.cli ? "Preset 1 written and verified" : "Write operation to Preset 1 OK (verified).";
        step.target = "A";
        step.preset = static_cast<int>(rng() % 8);
        PedalPreset& stored = after.pedals["A"].state.presets[step.preset];
        stored.params[0] ^= 0x01;                  // the store changed it, image included
        std::memset(stored.image, stored.params[0], 512);
        step.record = presetBytes(stored, 0);
        step.title = presetBytes(stored, 1);
        step.image = presetBytes(stored, 2);
        ASSERT_EQ(broken(step, before, after), "");
        int part = static_cast<int>(rng() % 3);
        std::string& claimed = part == 0 ? step.record : part == 1 ? step.title : step.image;
        char& wrong = claimed[rng() % claimed.size()];
        wrong = wrong == 'Q' ? 'R' : 'Q';          // another byte, still a title character
        EXPECT_EQ(broken(step, before, after), "verified-store ");
        claimed = presetBytes(stored, part);
        int other = (step.preset + 1 + static_cast<int>(rng() % 7)) % 8;
        after.pedals["A"].state.presets[other].title[rng() % 12] ^= 0x20;
        EXPECT_EQ(broken(step, before, after), "unclaimed-change ");
    }
}

// Exit statuses, the status line and the window's state are claims too.
TEST(SoakOracle, ExitStatusesStatusLinesAndTheWindowMustBeTrue) {
    soak::Truth truth;
    truth.pedals["A"] = factoryPedal();
    soak::Step step;
    step.target = "A";
    step.cli = true;
    step.action = soak::Action(Op::CliConfig);
    step.exitCode = 7;
    EXPECT_EQ(broken(step, truth, truth), "pedal-mode ");     // it runs normally
    soak::Truth waiting = truth;
    waiting.pedals["A"].state.updateMode = true;
    EXPECT_EQ(broken(step, waiting, waiting), "");
    step.action = soak::Action(Op::CliFirmware);
    EXPECT_EQ(broken(step, truth, truth), "");
    step.exitCode = 0;
    step.fileValid = false;
    EXPECT_EQ(broken(step, waiting, truth), "firmware-package ");
    step.action = soak::Action(Op::CliStatus);
    step.said = "firmware     V4.2\n";
    truth.pedals["A"].state.firmwareVersion = 0x21;
    EXPECT_EQ(broken(step, truth, truth), "status ");
    step.said = "firmware     V2.1\n";
    EXPECT_EQ(broken(step, truth, truth), "");
    // A .lop no pedal holds (a bad title, a speaker byte 250) is refused with nothing stored.
    step.action = soak::Action(Op::CliWrite);
    step.preset = 3;
    step.exitCode = 3;
    EXPECT_EQ(broken(step, truth, truth), "");
    soak::Truth sent = truth;
    sent.pedals["A"].commands.push_back({"store-header", {}, 0, false});
    EXPECT_EQ(broken(step, truth, sent), "record-checked ");

    step = soak::Step();
    step.target = "A";
    step.action = soak::Action(Op::OpenConfig);
    step.window = true;
    step.promptsShown = 1;
    step.dashboardActive = false;
    step.configShown = 0x0F;                   // the pedal holds 0
    EXPECT_EQ(broken(step, truth, truth), "config-shown ");
    step.said = "> Global configuration could not be read: the choices shown are the last ones set.\n";
    EXPECT_EQ(broken(step, truth, truth), "");
    step.promptsShown = 2;
    EXPECT_EQ(broken(step, truth, truth), "prompts ");
    step.promptsShown = 0;
    EXPECT_EQ(broken(step, truth, truth), "prompts ");       // greyed with no prompt
    step.action = soak::Action(Op::Audition);
    step.dashboardActive = true;
    step.heard = " ";
    EXPECT_EQ(broken(step, truth, truth), "tone-chart-plays ");
    step.heard = "  Clst Vintage30 - 10 inch";
    step.record = std::string(12, 'x');
    step.dashParams = std::string(12, 'y');
    EXPECT_EQ(broken(step, truth, truth), "audition-untick ");

    // Closed standard streams and "-": a result that reaches a lock file, a
    // file named -, success with a closed standard output, a byte of no
    // command on the port, a WAV meant for standard output that is not there.
    step = soak::Step();
    step.target = "A";
    step.cli = true;
    step.action = soak::Action(Op::CliClosed, 0, 1);
    step.lockNotes = {"4242\n", "4242\nlate 17\n"};
    step.exitCode = 3;
    EXPECT_EQ(broken(step, truth, truth), "");
    step.exitCode = 0;
    step.lockNotes.push_back("4242\npreset:  1\n");
    soak::Truth garbled = truth;
    garbled.pedals["A"].commands.push_back({"ignored", {'4'}, 0, false});
    EXPECT_EQ(broken(step, truth, garbled), "stream-in-lock-file stream-in-port closed-output-status ");
    step = soak::Step();
    step.cli = true;
    step.action = soak::Action(Op::CliStdio, 0, 1);
    step.said = "RIFF....WAVE";
    EXPECT_EQ(broken(step, truth, truth), "");
    step.said = "Impulse response written to -";
    step.dashFile = true;
    EXPECT_EQ(broken(step, truth, truth), "dash-is-a-stream dash-is-a-stream ");
    step.exitCode = 3;
    step.dashFile = false;
    EXPECT_EQ(broken(step, truth, truth), "stdin-file ");
}
