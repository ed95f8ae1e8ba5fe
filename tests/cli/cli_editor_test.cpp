// orvella-cli next to the editor, on one virtual pedal: a .lop written by the
// program lands as the image the editor's WRITE stores for the same record
// (soloed, in either mode), every door of both refuses a preset no pedal
// holds, and read --json names the speakers as the Dashboard's menus do.
#include <FL/Fl_Choice.H>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/cli/CliRun.h"
#include "tests/presets/PresetsGui.h"
#include "tests/support/pedal/TestPedal.h"
#include "editor/SpeakerMenus.h"
#include "tests/support/gui/StatusLog.h"
#include "sound/Params.h"
#include "sound/Speakers.h"

using namespace sound;

using namespace clitest;
using presettest::bytesOf;

namespace {

std::string padded(const std::string& text) {
    std::string t = text.substr(0, 12);
    t.resize(12, ' ');
    return t;
}

std::string trimmed(const std::string& s) {
    size_t first = s.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : s.substr(first, s.find_last_not_of(' ') - first + 1);
}

class CliBesideEditor : public ::testing::Test {
protected:
    void SetUp() override {
        env.reset(new gui::TestEnvironment());
        dialogs.reset(new gui::RecordingDialogs());
        pedals.reset(new testpedal::PedalFolder());
        testpedal::PedalOptions options;
        options.serial = "VP000001";
        pedal.reset(new testpedal::VirtualPedal(*pedals, options));
        std::string error;
        ASSERT_TRUE(pedal->start(&error)) << error;
        window = env->openWindow();
        ASSERT_TRUE(window->transportPanel()->active());
    }
    void TearDown() override {
        window.reset();
        pedal.reset();
        pedals.reset();
        dialogs.reset();
        env.reset();
    }
    void press(Fl_Widget* w) { gui::clickCentre(w); }

    std::unique_ptr<gui::TestEnvironment> env;
    std::unique_ptr<gui::RecordingDialogs> dialogs;
    std::unique_ptr<testpedal::PedalFolder> pedals;
    std::unique_ptr<testpedal::VirtualPedal> pedal;
    std::unique_ptr<Orvella> window;
};

TEST_F(CliBesideEditor, WriteStoresTheImageTheEditorsWriteStores) {
    struct Case {
        std::vector<uint8_t> record;
        int solo;               // -1 none, 0 left, 1 right
    };
    const std::vector<Case> cases = {
        {presettest::record(7), -1},
        {{0x10, 3, 23, 12, 50, 150, 150, 0, 100, 125, 50, 50}, 0},      // Stereo Cabs, left solo
        {{0x91, 47, 62, 40, 7, 20, 180, 30, 70, 20, 50, 50}, 1},        // right solo, notcher
        {{0x0E, 42, 61, 20, 40, 180, 90, 30, 60, 125, 70, 20}, -1},     // Stereo Mics, medium room
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        const Case& c = cases[i];
        std::string title = padded("Case " + std::to_string(i));
        std::vector<uint8_t> lop = presetfiles::encodeLop("Case" + std::to_string(i), c.record.data(),
                                                          reinterpret_cast<const uint8_t*>(title.data()));
        std::string path = env->root + "/case" + std::to_string(i) + ".lop";
        ASSERT_TRUE(writeFile(path, std::string(lop.begin(), lop.end())));

        // The editor: the record applied, soloed as asked, WRITE into preset i + 1.
        window->dashboard()->apply(c.record.data());
        window->transportPanel()->showTitle(reinterpret_cast<const uint8_t*>(title.data()));
        if (c.solo >= 0) {
            press(c.solo == 0 ? window->dashboard()->leftSpeakerButton : window->dashboard()->rightSpeakerButton);
            ASSERT_EQ(c.solo == 0 ? window->dashboard()->leftSoloOn() : !window->dashboard()->leftSoloOn(), true);
        }
        press(window->transportPanel()->child(int(i)));
        press(window->transportPanel()->writeButton);
        ASSERT_EQ(dialogs->entries.size(), 0u);

        // The program: the same file into preset i + 5.
        std::vector<std::string> args = {"write", std::to_string(i + 5), path};
        if (c.solo >= 0) args.insert(args.end(), {"--solo", c.solo == 0 ? "left" : "right"});
        CliResult r = runCli(args);
        ASSERT_EQ(r.code, 0) << r.err;

        PedalState state;
        ASSERT_TRUE(pedal->state(state));
        const PedalPreset& byEditor = state.presets[i];
        const PedalPreset& byCli = state.presets[i + 4];
        EXPECT_EQ(bytesOf(byCli.params, 12), bytesOf(byEditor.params, 12));
        EXPECT_EQ(bytesOf(byCli.title, 12), bytesOf(byEditor.title, 12));
        EXPECT_EQ(bytesOf(byCli.image, 512), bytesOf(byEditor.image, 512));
        if (c.solo >= 0) {
            EXPECT_NE(bytesOf(byCli.params, 12), bytesOf(window->dashboard()->params(), 12));  // folded
        }
    }
}

// Every door a preset comes through from a file or the command line takes
// only one a pedal holds: the others are refused with the reason, and
// nothing reaches the pedal (no store, no preview) or the output file.
TEST_F(CliBesideEditor, EveryDoorRefusesAPresetNoPedalHoldsWithTheReasonAndSendsNothing) {
    struct Bad {
        int field;          // -1: the record is fine
        uint8_t value;
        std::string title, reason;
    };
    const Bad bads[] = {
        {Speaker_L, 250, padded("Wide"), "its left speaker is 250, which names no speaker"},   // the right one is 251
        {Mic_R, 99, padded("Far"), "its right microphone is 99, above 62"},
        {-1, 0, padded("Bell\a"), "its title holds the control byte 0x07 at character 5"},
        {-1, 0, padded("Caf\xE9"), "its title holds the non-ASCII byte 0xE9 at character 4"},
    };
    const std::string dir = env->root + "/", lop = dir + "bad.lop", bkp = dir + "bad.bkp", out = dir + "out.wav";
    // A short mono DI: 16-bit PCM at 48 kHz.
    std::string di = std::string("RIFF") + std::string("\x64\0\0\0", 4) + "WAVEfmt " + std::string("\x10\0\0\0\x01\0\x01\0", 8) +
                     std::string("\x80\xBB\0\0\0\x77\x01\0\x02\0\x10\0", 12) + "data" + std::string("\x40\0\0\0", 4) +
                     std::string(64, '\x11');
    ASSERT_TRUE(writeFile(dir + "di.wav", di));
    auto cli = [&](std::vector<std::string> args) {
        CliResult r = runCli(args);
        EXPECT_NE(r.code, 0);
        return r.err;
    };
    auto alert = [&]() {
        std::vector<std::string> alerts = dialogs->texts(gui::RecordingDialogs::Alert);
        return alerts.empty() ? std::string() : alerts.back();
    };
    // The editor's factory reset, with this file as its master.
    auto factoryReset = [&]() {
        const std::string bin = env->work + "/bin", real = dir + "bin-real", mine = dir + "bin-bad";
        mkdir(mine.c_str(), 0755);
        for (const std::string& name : gui::TestEnvironment::listFolder(bin))
            if (name != "factoryset.fap") {
                EXPECT_EQ(symlink((gui::TestEnvironment::sourceDir() + "/data/bin/" + name).c_str(),
                                  (mine + "/" + name).c_str()), 0);
            }
        EXPECT_TRUE(writeFile(mine + "/factoryset.fap", gui::TestEnvironment::readFile(bkp)));
        EXPECT_EQ(rename(bin.c_str(), real.c_str()), 0);
        EXPECT_EQ(symlink(mine.c_str(), bin.c_str()), 0);
        dialogs->choiceAnswers.push_back(1);
        window->factoryReset();
        unlink(bin.c_str());
        EXPECT_EQ(rename(real.c_str(), bin.c_str()), 0);
        std::filesystem::remove_all(mine);
        return gui::logText(window.get());
    };
    const std::vector<std::pair<std::string, std::function<std::string()>>> doors = {
        {"restore", [&] {
             dialogs->choiceAnswers.push_back(1);
             dialogs->chooserAnswers.push_back({bkp});
             press(window->transportPanel()->restoreButton);
             return alert();
         }},
        {"factory reset", factoryReset},
        {".lop import", [&] {
             dialogs->chooserAnswers.push_back({lop});
             window->presetPrompt()->addFilesPressed();
             return alert();
         }},
        {".lop choice", [&] {
             const std::string mine = presetfiles::presetPath(env->home, "Bad");
             EXPECT_TRUE(writeFile(mine, gui::TestEnvironment::readFile(lop)));
             EXPECT_TRUE(presetfiles::writeList(presetfiles::listPath(env->home), {mine}));
             window->presetPanel()->loadPresetList();
             window->presetPanel()->presetChoice->value(0);
             window->presetPanel()->presetChoice->do_callback();
             return alert();
         }},
        {"cli restore", [&] { return cli({"restore", bkp}); }},
        {"cli write", [&] { return cli({"write", "2", lop}); }},
        {"cli write --title", [&] { return cli({"write", "2", lop, "--title", "Fine"}); }},
        {"cli preview", [&] { return cli({"preview", lop}); }},
        {"cli render --lop", [&] { return cli({"render", dir + "di.wav", out, "--lop", lop}); }},
        {"cli ir --lop", [&] { return cli({"ir", out, "--lop", lop}); }},
        {"cli render --backup", [&] { return cli({"render", dir + "di.wav", out, "--backup", bkp, "--index", "1"}); }},
        {"cli ir --backup", [&] { return cli({"ir", out, "--backup", bkp, "--index", "1"}); }},
    };
    for (const Bad& bad : bads) {
        std::vector<uint8_t> record = presettest::record(3);
        if (bad.field >= 0) record[bad.field] = bad.value;
        if (bad.field == Speaker_L) record[Speaker_R] = 251;
        std::vector<uint8_t> bytes = presetfiles::encodeLop("Bad", record.data(),
                                                            reinterpret_cast<const uint8_t*>(bad.title.data()));
        ASSERT_TRUE(writeFile(lop, std::string(bytes.begin(), bytes.end())));
        std::string bank = testpedal::knownBank();
        bank.replace(0, 12, std::string(record.begin(), record.end()));
        bank.replace(96, 12, bad.title);
        ASSERT_TRUE(writeFile(bkp, bank));
        for (const auto& door : doors) {
            SCOPED_TRACE(door.first + ": " + bad.reason);
            dialogs->clear();
            const size_t before = pedal->commands().size();
            EXPECT_NE(door.second().find(bad.reason), std::string::npos);
            for (size_t i = before; i < pedal->commands().size(); ++i)
                EXPECT_TRUE(pedal->commands()[i].name.find("store") == std::string::npos &&
                            pedal->commands()[i].name != "preview")
                    << pedal->commands()[i].name;
            EXPECT_FALSE(std::filesystem::exists(out));
            std::filesystem::remove(out);
        }
    }
    // The command line's own title: printable ASCII, at most 12 characters.
    for (const char* title : {"Thirteen char", "Bell\a", "Caf\xE9", "Caf\xC3\xA9"})
        EXPECT_NE(cli({"write", "2", dir + "di.wav", "--title", title}).find("--title"), std::string::npos) << title;
}

TEST_F(CliBesideEditor, ReadJsonNamesTheSpeakersAsTheDashboardMenusDo) {
    std::vector<int> speakers;
    for (int b = 0; b <= HighestSpeaker; ++b)
        if (isSelectableSpeaker(b)) speakers.push_back(b);
    ASSERT_EQ(speakers.size(), 43u);
    Fl_Choice menus[CategoryCount] = {{0, 0, 10, 10}, {0, 0, 10, 10}, {0, 0, 10, 10}, {0, 0, 10, 10}};
    for (int c = 0; c < CategoryCount; ++c) speakers::fillMenu(menus[c], SpeakerCategory(c));

    // Sixteen speakers per round: eight presets, left and right, restored and read back.
    for (size_t first = 0; first < speakers.size(); first += 16) {
        std::string bank, titles;
        for (int p = 0; p < 8; ++p) {
            uint8_t record[12] = {0x21, 3, 23, 31, 31, uint8_t(20 * p), 200, 0, 100, 125, 50, 50};
            record[1] = uint8_t(speakers[(first + 2 * p) % speakers.size()]);
            record[2] = uint8_t(speakers[(first + 2 * p + 1) % speakers.size()]);
            bank.append(reinterpret_cast<char*>(record), 12);
            titles += padded("Spk \"" + std::to_string(record[1]) + "\"");
        }
        std::string path = env->root + "/speakers.bkp";
        ASSERT_TRUE(writeFile(path, bank + titles));
        CliResult restore = runCli({"restore", path, "--quiet"});
        ASSERT_EQ(restore.code, 0) << restore.err;

        for (int p = 0; p < 8; ++p) {
            CliResult r = runCli({"read", std::to_string(p + 1), "--json"});
            ASSERT_EQ(r.code, 0) << r.err;
            nlohmann::json j = nlohmann::json::parse(r.out);
            EXPECT_EQ(j["preset"], p + 1);
            EXPECT_EQ(j["title"], trimmed(titles.substr(12 * p, 12)));
            EXPECT_DOUBLE_EQ(j["left"]["volume"].get<double>(), (20 * p - 100) / 100.0);
            for (int side = 0; side < 2; ++side) {
                const nlohmann::json& s = j[side == 0 ? "left" : "right"];
                int b = uint8_t(bank[size_t(12 * p + 1 + side)]);
                SpeakerCategory c = speakerCategory(b);
                const Fl_Menu_Item& item = menus[c].menu()[b - categoryBase(c)];
                ASSERT_NE(item.label(), nullptr) << b;
                EXPECT_EQ(s["speaker"], trimmed(item.label())) << b;
                EXPECT_EQ(s["speaker_number"], b);
                EXPECT_EQ(s["category"], sound::categoryNames[c]);
                EXPECT_EQ(s["cabinet"].is_null(), b > 60) << b;
            }
        }
    }
}

}  // namespace

// A BACKUP the editor gave up on leaves the pedal's late reply on its way; the
// next program to open the pedal waits it out, so the late bytes never
// answer its own first command.
TEST_F(CliBesideEditor, AReplyTheEditorGaveUpOnNeverAnswersTheNextProgram) {
    CliResult before = runCli({"status", "--json"});
    ASSERT_EQ(before.code, 0) << before.err;
    ASSERT_TRUE(pedal->setFaults({"slow-reply=2.5"}));
    dialogs->choiceAnswers.push_back(1);
    press(window->transportPanel()->backupButton);   // times out; the bank comes later
    ASSERT_FALSE(dialogs->entries.empty());
    // Cleared without waiting: the pedal still sleeps over the bank it owes.
    ASSERT_TRUE(writeFile(pedal->registration() + ".faults", ""));
    CliResult after = runCli({"status", "--json"});
    EXPECT_EQ(after.code, 0) << after.err;
    EXPECT_EQ(after.out, before.out);
}
