// The local preset library with a pedal attached: what is chosen or imported
// is played on the pedal, and what no pedal holds is refused.
#include "tests/presets/TransportFixture.h"

#include "editor/Slider.h"
#include "sound/Params.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>

#include <filesystem>

using namespace presettest;
using gui::RecordingDialogs;

namespace {

// The local library with a pedal attached: what is chosen or imported is played.
using LocalPresetsOnPedal = Transport;

TEST_F(LocalPresetsOnPedal, ImportingThreeFilesPlaysEachInTurn) {
    std::vector<std::string> files;
    for (int i = 0; i < 3; ++i) {
        files.push_back(env->root + "/f" + std::to_string(i) + ".lop");
        writeLop(files.back(), "F" + std::to_string(i), record(i + 1), title("F"));
    }
    size_t before = pedal->commands().size();
    dialogs->chooserAnswers.push_back(files);
    window->presetPrompt()->addFilesPressed();
    EXPECT_TRUE(waitForCommands(before + 3));
    std::vector<testpedal::LoggedCommand> sent = pedal->commands();
    int previews = 0;
    for (size_t i = before; i < sent.size(); ++i) previews += sent[i].name == "preview";
    EXPECT_EQ(previews, 3);
    EXPECT_EQ(dashboardParams(), record(3));
    EXPECT_TRUE(waitUntilPlaying(window->dashboard()->image()));
}

TEST_F(LocalPresetsOnPedal, MovingAControlAfterChoosingClearsTheSelection) {
    writeLop(env->root + "/a.lop", "A", record(5), title("A"));
    dialogs->chooserAnswers.push_back({env->root + "/a.lop"});
    window->presetPrompt()->addFilesPressed();
    window->presetPanel()->presetChoice->value(0);
    window->presetPanel()->presetChoice->do_callback();
    ASSERT_EQ(window->presetPanel()->presetChoice->value(), 0);

    ASSERT_TRUE(waitUntilPlaying(window->dashboard()->image()));
    std::vector<uint8_t> chosen = bytesOf(window->dashboard()->image(), 512);

    Slider* volume = window->dashboard()->leftVolumeSlider;
    volume->value(volume->value() - 10);
    volume->released = 1;
    volume->do_callback();
    EXPECT_EQ(window->presetPanel()->presetChoice->value(), -1);
    ASSERT_NE(bytesOf(window->dashboard()->image(), 512), chosen);
    EXPECT_TRUE(waitUntilPlaying(window->dashboard()->image()));
}

TEST_F(LocalPresetsOnPedal, RemovingTheSelectedPresetPlaysItsNeighbour) {
    writeLop(env->root + "/p0.lop", "P0", record(1), title("P0"));
    writeLop(env->root + "/p1.lop", "P1", record(2), title("P1"));
    dialogs->chooserAnswers.push_back({env->root + "/p0.lop", env->root + "/p1.lop"});
    window->presetPrompt()->addFilesPressed();
    ASSERT_EQ(window->presetPanel()->presetChoice->value(), 1);
    ASSERT_TRUE(waitUntilPlaying(window->dashboard()->image()));

    dialogs->choiceAnswers.push_back(1);            // "Confirm"
    window->presetPanel()->removeSelected();
    EXPECT_EQ(window->presetPanel()->presetChoice->value(), 0);
    EXPECT_EQ(dashboardParams(), record(1));
    EXPECT_TRUE(waitUntilPlaying(window->dashboard()->image()));
}

// Files that are no preset, and presets no pedal holds (checked as a
// backup's are), are refused with the reason, whether imported or chosen
// from the library: nothing is added, applied or played.
TEST_F(LocalPresetsOnPedal, AFileThatIsNoPresetOrHoldsWhatNoPedalHoldsIsRefused) {
    std::string emptyFile = env->root + "/empty.lop";
    gui::TestEnvironment::writeFile(emptyFile, "");
    std::string shortFile = env->root + "/short.lop";
    std::vector<uint8_t> bytes = presetfiles::encodeLop("Short", record(1).data(),
                                                        reinterpret_cast<const uint8_t*>("Title       "));
    bytes.pop_back();
    gui::TestEnvironment::writeFile(shortFile, std::string(bytes.begin(), bytes.end()));
    std::vector<uint8_t> wild = record(2);
    wild[sound::Mic_L] = 250;                       // far beyond 62
    writeLop(env->root + "/wild.lop", "Wild", wild, title("Wild"));
    std::vector<uint8_t> speakers = record(3);
    speakers[sound::Speaker_L] = 250;               // no speaker: the Dashboard would play another
    speakers[sound::Speaker_R] = 251;
    writeLop(env->root + "/speakers.lop", "Speakers", speakers, title("Speakers"));
    writeLop(env->root + "/bell.lop", "Bell", record(4), title("Bell\a"));

    size_t before = pedal->commands().size();
    std::vector<uint8_t> shown = dashboardParams();
    const std::string list = presetfiles::listPath(env->home);
    const struct {
        std::string file, reason;
    } refused[] = {
        {emptyFile, "is too short or not a preset file"},
        {shortFile, "is too short or not a preset file"},
        {env->root + "/wild.lop", "its left microphone is 250, above 62"},
        {env->root + "/speakers.lop", "its left speaker is 250, which names no speaker"},
        {env->root + "/bell.lop", "its title holds the control byte 0x07 at character 5"},
    };
    for (const auto& r : refused) {
        dialogs->clear();
        dialogs->chooserAnswers.push_back({r.file});
        window->presetPrompt()->addFilesPressed();
        std::vector<std::string> alerts = dialogs->texts(RecordingDialogs::Alert);
        ASSERT_EQ(alerts.size(), 1u) << r.file;
        EXPECT_NE(alerts[0].find(r.reason), std::string::npos) << alerts[0];
        EXPECT_NE(alerts[0].find("The file has not been added."), std::string::npos) << alerts[0];
        EXPECT_EQ(dashboardParams(), shown);
        EXPECT_EQ(window->presetPanel()->presetCount, 0);
    }
    EXPECT_FALSE(std::filesystem::exists(presetfiles::presetPath(env->home, "Speakers")));
    EXPECT_TRUE(presetfiles::readList(list).empty());

    // A library preset whose file was changed afterwards is refused when chosen.
    dialogs->clear();
    writeLop(env->root + "/good.lop", "Good", record(5), title("Good"));
    dialogs->chooserAnswers.push_back({env->root + "/good.lop"});
    window->presetPrompt()->addFilesPressed();
    ASSERT_EQ(window->presetPanel()->presetCount, 1);
    ASSERT_TRUE(waitUntilPlaying(window->dashboard()->image()));
    ASSERT_TRUE(waitForCommands(before + 1));
    shown = dashboardParams();
    writeLop(presetfiles::presetPath(env->home, "Good"), "Good", speakers, title("Good"));
    window->presetPanel()->presetChoice->value(0);
    EXPECT_FALSE(window->presetPanel()->loadSelected());
    std::vector<std::string> alerts = dialogs->texts(RecordingDialogs::Alert);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].find("its left speaker is 250, which names no speaker; nothing has been loaded."),
              std::string::npos)
        << alerts[0];
    EXPECT_EQ(window->presetPanel()->presetChoice->value(), -1);
    EXPECT_EQ(dashboardParams(), shown);

    // Only the good file's preview reached the pedal: the pedal takes commands
    // in order, and a later preview would follow it in the log.
    press(panel().readButton);
    std::vector<testpedal::LoggedCommand> sent = pedal->commands();
    int previews = 0;
    for (size_t i = before; i < sent.size(); ++i) previews += sent[i].name == "preview";
    EXPECT_EQ(previews, 1);
}

}  // namespace
