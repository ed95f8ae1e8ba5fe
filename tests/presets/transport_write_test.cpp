// WRITE: the Dashboard's sound stored in a pedal preset, verified by reading
// it back and retried once, and what each failure says.
#include "tests/presets/TransportFixture.h"

#include "sound/Params.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>

using namespace presettest;
using gui::RecordingDialogs;

namespace {

TEST_F(Transport, WriteStoresTheDashboardsImageAndVerifies) {
    window->dashboard()->apply(record(6).data());
    panel().showTitle(reinterpret_cast<const uint8_t*>("Stored here "));
    selectPreset(3);
    press(panel().writeButton);

    PedalState state = pedalState();
    EXPECT_EQ(bytesOf(state.presets[3].params, 12), record(6));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(state.presets[3].title), 12), "Stored here ");
    EXPECT_EQ(bytesOf(state.presets[3].image, 512), bytesOf(window->dashboard()->image(), 512));
    EXPECT_EQ(newLines(), (std::vector<std::string>{"Write operation to Preset 4 OK (verified).",
                                                    "> Param setting displayed have been stored in your pedal."}));
    EXPECT_EQ(progressLabel(), "Write complete");
    EXPECT_EQ(dialogs->entries.size(), 0u);
}

TEST_F(Transport, WriteWithTheLeftSoloFoldsTheRightSideOnly) {
    std::vector<uint8_t> split = {static_cast<uint8_t>(sound::FlagLeftOpen), 3, 23, 12, 50, 150, 150, 0, 100, 125, 50, 50};
    window->dashboard()->apply(split.data());
    press(window->dashboard()->leftSpeakerButton);
    ASSERT_TRUE(window->dashboard()->leftSoloOn());
    std::vector<uint8_t> shown = dashboardParams();
    press(panel().writeButton);

    std::vector<uint8_t> stored = bytesOf(pedalState().presets[0].params, 12);
    EXPECT_EQ(stored[sound::Speaker_R], shown[sound::Speaker_L]);
    EXPECT_EQ(stored[sound::Mic_R], shown[sound::Mic_L]);
    EXPECT_EQ(stored[sound::Flags] & sound::FlagRightOpen, sound::FlagRightOpen);
    EXPECT_EQ(dashboardParams(), shown);            // the Dashboard keeps its own record
}

TEST_F(Transport, ACorruptedFirstEchoIsRetriedSilently) {
    ASSERT_TRUE(pedal->setFaults({"corrupt-echo"}));
    press(panel().writeButton);
    EXPECT_EQ(progressLabel(), "Write complete");
    EXPECT_EQ(dialogs->entries.size(), 0u);
    EXPECT_EQ(stores(), 2);
}

// The pedal keeps what it received although its echo differed twice: the
// user is told the preset may hold a damaged copy (one alert), and a WRITE
// once the link is sound again stores it cleanly.
TEST_F(Transport, AnEchoCorruptedEveryTimeSaysThePresetMayHoldADamagedCopy) {
    window->dashboard()->apply(record(5).data());
    panel().showTitle(reinterpret_cast<const uint8_t*>("New sound   "));
    selectPreset(2);
    ASSERT_TRUE(pedal->setFaults({"corrupt-echo-always"}));
    press(panel().writeButton);
    std::vector<std::string> alerts = dialogs->texts(RecordingDialogs::Alert);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].rfind("Upload is completed, but with errors.\n\n", 0), 0u);
    EXPECT_NE(alerts[0].find("Preset 3 may now hold a damaged copy of this sound: write it again."), std::string::npos);
    EXPECT_NE(alerts[0].find("> If problem persisted try one or more of the following :"), std::string::npos);
    EXPECT_EQ(alerts[0].find("No changes"), std::string::npos);
    EXPECT_EQ(newLines(), (std::vector<std::string>{"Write operation completed, but with errors.",
                                                    "> Preset 3 may now hold a damaged copy. Please write it again."}));
    EXPECT_EQ(progressLabel(), "Write error");
    EXPECT_EQ(progressColour(), 0x80000000u);
    EXPECT_EQ(stores(), 2);
    PedalState state = pedalState();                // the pedal did take it
    EXPECT_EQ(std::string(reinterpret_cast<char*>(state.presets[2].title), 12), "New sound   ");
    EXPECT_EQ(bytesOf(state.presets[2].params, 12), record(5));

    // The mark belongs to the pedal: it outlasts a Connect and a re-plugging
    // (which read preset 1), and the next run, until preset 3 is written again.
    ASSERT_TRUE(pedal->setFaults({}));
    ASSERT_TRUE(pedal->unplug());
    ASSERT_TRUE(pedal->plugIn());
    press(window->connectButton());
    selectPreset(2);
    EXPECT_TRUE(panel().edited());
    window.reset();
    window = env->openWindow();
    selectPreset(2);
    EXPECT_TRUE(panel().edited());
    dialogs->clear();
    press(panel().writeButton);
    EXPECT_FALSE(panel().edited());
    EXPECT_EQ(progressLabel(), "Write complete");
    EXPECT_EQ(dialogs->entries.size(), 0u);
    EXPECT_EQ(bytesOf(pedalState().presets[2].image, 512), bytesOf(window->dashboard()->image(), 512));
}

// A store that fails says whether the preset may have changed: one the pedal
// had begun to take (it stores, but never echoes) may hold a damaged copy; one
// that could not reach a pedal that is gone changed nothing.
TEST_F(Transport, AFailedStoreSaysWhetherThePresetMayHaveChanged) {
    std::vector<uint8_t> before = dashboardParams();
    std::vector<uint8_t> held = bytesOf(pedalState().presets[0].params, 12);
    window->dashboard()->apply(record(6).data());
    std::vector<uint8_t> sent = dashboardParams();
    ASSERT_NE(sent, held);
    ASSERT_TRUE(pedal->setFaults({"no-reply"}));
    press(panel().writeButton);
    std::vector<std::string> alerts = dialogs->texts(RecordingDialogs::Alert);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].rfind("Upload is completed, but with errors.\n\n", 0), 0u);
    EXPECT_NE(alerts[0].find("Preset 1 may now hold a damaged copy of this sound: write it again."), std::string::npos);
    EXPECT_EQ(alerts[0].find("No changes"), std::string::npos);
    EXPECT_EQ(newLines(), (std::vector<std::string>{"Write operation completed, but with errors.",
                                                    "> Preset 1 may now hold a damaged copy. Please write it again."}));
    EXPECT_EQ(progressLabel(), "Write error");
    EXPECT_EQ(stores(), 1);                         // no retry without an echo
    EXPECT_EQ(bytesOf(pedalState().presets[0].params, 12), sent);      // the pedal did take it
    EXPECT_EQ(dashboardParams(), sent);

    // Unplugged: nothing reaches the pedal, and the old message is true.
    ASSERT_TRUE(pedal->setFaults({}));
    ASSERT_TRUE(pedal->unplug());
    window->dashboard()->apply(before.data());
    dialogs->clear();
    logAtStart = log();
    press(panel().writeButton);
    alerts = dialogs->texts(RecordingDialogs::Alert);
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_EQ(alerts[0].rfind("Write operation failed.\n\nMake sure the pedal has clean and stable power source", 0), 0u);
    EXPECT_EQ(alerts[1].rfind(tail, 0), 0u);
    std::vector<std::string> lines = newLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Write operation failed.");
    EXPECT_EQ(lines[1].rfind("> Error code = ", 0), 0u);
    EXPECT_EQ(lines[2], "Read / Write operation failed.");
    EXPECT_EQ(lines[3], "> No changes has been made. Please try again.");
    EXPECT_EQ(progressLabel(), "Read / Write error");
    EXPECT_EQ(stores(), 1);
    EXPECT_EQ(bytesOf(pedalState().presets[0].params, 12), sent);
    EXPECT_EQ(dashboardParams(), before);
}

// "Verified" means read back: a pedal that echoes the image right but keeps
// another title is caught, retried once, and reported as a damaged copy.
TEST_F(Transport, WriteReadsThePresetBackAndAWrongOneMayHoldADamagedCopy) {
    window->dashboard()->apply(record(6).data());
    panel().showTitle(reinterpret_cast<const uint8_t*>("Good        "));
    selectPreset(3);
    size_t logged = pedal->commands().size();
    ASSERT_TRUE(pedal->setFaults({"keep-wrong-record"}));
    press(panel().writeButton);

    std::vector<std::string> alerts = dialogs->texts(RecordingDialogs::Alert);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].rfind("Upload is completed, but with errors.\n\n", 0), 0u);
    EXPECT_NE(alerts[0].find("Preset 4 may now hold a damaged copy of this sound: write it again."), std::string::npos);
    EXPECT_EQ(newLines(), (std::vector<std::string>{"Write operation completed, but with errors.",
                                                    "> Preset 4 may now hold a damaged copy. Please write it again."}));
    EXPECT_EQ(progressLabel(), "Write error");
    std::vector<std::string> names;
    std::vector<testpedal::LoggedCommand> sent = pedal->commands();
    for (size_t i = logged; i < sent.size(); ++i) names.push_back(sent[i].name);
    EXPECT_EQ(names, (std::vector<std::string>{"store-header", "store-image", "read-preset", "store-header",
                                               "store-image", "read-preset"}));
    EXPECT_NE(std::string(reinterpret_cast<char*>(pedalState().presets[3].title), 12), "Good        ");

    // Each of the 24 bytes read back counts: the record's 12, then the title's.
    std::vector<uint8_t> written = record(6);
    written.insert(written.end(), "Good        ", "Good        " + 12);
    for (int n = 0; n < 24; ++n) {
        ASSERT_TRUE(pedal->setFaults({"keep-wrong-byte=" + std::to_string(n)}));
        dialogs->clear();
        press(panel().writeButton);
        std::vector<std::string> errors = dialogs->texts(RecordingDialogs::Alert);
        ASSERT_EQ(errors.size(), 1u) << "byte " << n;
        EXPECT_EQ(errors[0].rfind("Upload is completed, but with errors.", 0), 0u) << "byte " << n;
        PedalState held = pedalState();
        EXPECT_NE(n < 12 ? held.presets[3].params[n] : held.presets[3].title[n - 12], written[n]) << "byte " << n;
    }
}

}  // namespace
