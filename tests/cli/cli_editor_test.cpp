// orvella-cli next to the editor, on one virtual pedal: a .lop written by the
// program lands as the image the editor's WRITE stores for the same record
// (clamped, soloed, in either mode), and read --json names the speakers as
// the Dashboard's menus do.
#include <FL/Fl_Choice.H>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstring>
#include <string>
#include <vector>

#include "CliRun.h"
#include "PresetsGui.h"
#include "TestPedal.h"
#include "editor/SpeakerMenus.h"
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
        ASSERT_TRUE(window->transportPanel->active());
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
        // Out of range everywhere: unselectable speakers, mic, volume, blend, delay, time, depth.
        {{0x21, 5, 90, 70, 200, 250, 201, 150, 100, 255, 101, 120}, -1},
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
        window->dashboard->apply(c.record.data());
        window->transportPanel->showTitle(reinterpret_cast<const uint8_t*>(title.data()));
        if (c.solo >= 0) {
            press(c.solo == 0 ? window->dashboard->leftSpeakerButton : window->dashboard->rightSpeakerButton);
            ASSERT_EQ(c.solo == 0 ? window->dashboard->leftSoloOn() : !window->dashboard->leftSoloOn(), true);
        }
        press(window->transportPanel->child(int(i)));
        press(window->transportPanel->writeButton);
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
        if (i == 0) {
            EXPECT_NE(bytesOf(byCli.params, 12), c.record);                     // clamped
            EXPECT_NE(r.err.find("clamped"), std::string::npos);
        }
        if (c.solo >= 0) {
            EXPECT_NE(bytesOf(byCli.params, 12), bytesOf(window->dashboard->params(), 12));  // folded
        }
    }
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
    press(window->transportPanel->backupButton);   // times out; the bank comes later
    ASSERT_FALSE(dialogs->entries.empty());
    // Cleared without waiting: the pedal still sleeps over the bank it owes.
    ASSERT_TRUE(writeFile(pedal->registration() + ".faults", ""));
    CliResult after = runCli({"status", "--json"});
    EXPECT_EQ(after.code, 0) << after.err;
    EXPECT_EQ(after.out, before.out);
}
