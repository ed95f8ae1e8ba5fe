// The connect sequence end to end, against virtual pedals over pseudo-terminals.
#include <gtest/gtest.h>

#include <FL/Fl_Choice.H>
#include <FL/Fl_Progress.H>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/pedal/TestPedal.h"
#include "editor/OV_Parameters.h"
#include "editor/Slider.h"
#include "tests/support/gui/Events.h"
#include "tests/support/gui/StatusLog.h"
#include "tests/support/gui/RecordingDialogs.h"
#include "tests/support/gui/TestEnvironment.h"
#include "link/OV_UsbController.h"
#include "link/TtyBackend.h"
#include "maintenance/OV_UpdatePrompt.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_TransportPanel.h"
#include "shell/pedal_selection.h"
#include "shell/main_window.h"
#include "shell/status_log.h"

using gui::RecordingDialogs;
using gui::TestEnvironment;
using testpedal::PedalOptions;
using testpedal::VirtualPedal;

using gui::logLines;

namespace {

int countCommands(const VirtualPedal& pedal, const std::string& name) {
    int n = 0;
    for (const auto& command : pedal.commands()) n += command.name == name;
    return n;
}

// A preview gets no reply: the pedal logs it once it has taken the bytes in,
// which on a busy machine may take a while; the wait ends as soon as it has.
bool waitForCommand(const VirtualPedal& pedal, const std::string& name, int count) {
    for (int i = 0; i < 1000; ++i) {
        if (countCommands(pedal, name) >= count) return true;
        usleep(10 * 1000);
    }
    return false;
}

PedalOptions withSerial(const char* serial, int firmware = -1, bool updateMode = false) {
    PedalOptions options;
    options.serial = serial;
    options.firmware = firmware;
    options.updateMode = updateMode;
    return options;
}

// The Connect button, clicked as a user would.
void clickConnect(Orvella* window) {
    Fl_Widget* button = window->connectButton();
    gui::click(window, button->x() + 10, button->y() + 10);
}

class Connect : public ::testing::Test {
protected:
    TestEnvironment env;
    testpedal::PedalFolder pedals;     // ORVELLA_PEDAL_DIR for this test
    RecordingDialogs dialogs;

    void startPedal(VirtualPedal& pedal) {
        std::string error;
        ASSERT_TRUE(pedal.start(&error)) << error;
    }
};

}  // namespace

TEST_F(Connect, PluggingInAfterAStartWithoutPedalThenConnectBringsReady) {
    std::unique_ptr<Orvella> window = env.openWindow();
    EXPECT_FALSE(window->transportPanel()->active());
    EXPECT_EQ(dialogs.count(RecordingDialogs::Alert), 0);

    VirtualPedal pedal(pedals, withSerial("VP24000001", 0x25));
    startPedal(pedal);
    clickConnect(window.get());

    std::vector<std::string> lines = logLines(window.get());
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3], "Connecting ...");
    EXPECT_EQ(lines[4], "Initialization OK - Firmware : v2.5.");
    EXPECT_EQ(lines[5], "Ready.");
    EXPECT_EQ(window->logTopLine(), 4);
    EXPECT_EQ(dialogs.count(RecordingDialogs::Alert), 0);
    EXPECT_TRUE(window->transportPanel()->active());
    EXPECT_TRUE(window->connectButton()->active());
    EXPECT_EQ(window->transportPanel()->selectedPreset, 0);
    // A click leaves the bar empty whatever the outcome.
    EXPECT_EQ(window->usb()->progress->value(), 0);
    EXPECT_EQ(window->usb()->progress->label(), nullptr);

    // Preset 1 of the pedal is now on the Dashboard and its title on the panel.
    PedalState state;
    ASSERT_TRUE(pedal.state(state));
    EXPECT_EQ(std::memcmp(window->dashboard()->params(), state.presets[0].params, 12), 0);
    EXPECT_EQ(std::memcmp(window->transportPanel()->title, state.presets[0].title, 12), 0);
    EXPECT_EQ(countCommands(pedal, "read-preset"), 1);
}

TEST_F(Connect, StartWithAPedalEndsReadyWithTheBarFull) {
    VirtualPedal pedal(pedals, withSerial("VP24000001", 0x21));
    startPedal(pedal);
    std::unique_ptr<Orvella> window = env.openWindow();
    std::vector<std::string> lines = logLines(window.get());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "Initialization OK - Firmware : v2.1.");
    EXPECT_EQ(lines[2], "Ready.");
    EXPECT_EQ(window->usb()->progress->value(), 100);
    EXPECT_STREQ(window->usb()->progress->label(), "Read complete");
    EXPECT_EQ(window->usb()->progress->selection_color(), static_cast<Fl_Color>(0x4444ff00));
    EXPECT_FALSE(window->devSelPrompt()->visible());
}

TEST_F(Connect, PedalInUpdateModeShowsTheUpdatePromptWithItsVersion) {
    VirtualPedal pedal(pedals, withSerial("VP24000001", 0x23, true));
    startPedal(pedal);
    std::unique_ptr<Orvella> window = env.openWindow();
    std::vector<std::string> lines = logLines(window.get());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Connecting ...");
    EXPECT_EQ(lines[1], "Pedal is in firmware update mode (V2.3).");   // the outcome has a line of its own
    EXPECT_EQ(window->logTopLine(), 1);
    EXPECT_TRUE(window->updatePrompt()->visible());
    EXPECT_STREQ(window->updatePrompt()->pedalVersionText, "V2.3");
    EXPECT_STREQ(window->updatePrompt()->pedalVersionBox->label(), "V2.3");
    EXPECT_FALSE(window->dashboard()->active());
    EXPECT_FALSE(window->presetPanel()->active());
    EXPECT_FALSE(window->transportPanel()->active());
    EXPECT_FALSE(window->gloConButton()->active());
    EXPECT_EQ(countCommands(pedal, "read-preset"), 0);
}

TEST_F(Connect, UnansweredStatusQueryAlertsAndAdvisesRecyclingPower) {
    PedalOptions options = withSerial("VP24000001");
    options.faults = {"no-reply"};
    VirtualPedal pedal(pedals, options);
    startPedal(pedal);
    std::unique_ptr<Orvella> window = env.openWindow();
    std::vector<std::string> lines = logLines(window.get());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "USB communication problem detected.");
    EXPECT_EQ(lines[2], "> Recycle power to your pedal then click 'Connect'.");
    std::vector<std::string> alerts = dialogs.texts(RecordingDialogs::Alert);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].rfind("USB Communication problem detected -\n", 0), 0u);
    EXPECT_NE(alerts[0].find("> < Direct support email : support@@kestrova.example >"), std::string::npos);
    EXPECT_TRUE(window->transportPanel()->active());
}

TEST_F(Connect, TwoPedalsOfferBothAndTheChosenOneGetsEveryLaterExchange) {
    // The second pedal's preset 1 differs from the first's in record and title.
    const uint8_t secondRecord[12] = {0x21, 42, 61, 12, 50, 180, 170, 30, 70, 90, 40, 60};
    std::string bank;
    for (int i = 0; i < 8; ++i) bank.append(reinterpret_cast<const char*>(secondRecord), 12);
    for (int i = 0; i < 8; ++i) bank += "Second pedal";
    ASSERT_TRUE(TestEnvironment::writeFile(env.root + "/second.bank", bank));
    PedalOptions secondOptions = withSerial("VP24000002");
    secondOptions.factory = env.root + "/second.bank";
    VirtualPedal first(pedals, withSerial("VP24000001"));
    VirtualPedal second(pedals, secondOptions);
    startPedal(first);
    startPedal(second);
    std::unique_ptr<Orvella> window = env.openWindow();

    OV_DevSelPrompt* prompt = window->devSelPrompt();
    ASSERT_TRUE(prompt->visible());
    ASSERT_EQ(prompt->serialChoice->size() - 1, 2);
    EXPECT_STREQ(prompt->serialChoice->text(0), "VP24000001");
    EXPECT_STREQ(prompt->serialChoice->text(1), "VP24000002");
    EXPECT_FALSE(window->dashboard()->active());
    // The transport strip waits for the choice: READ and WRITE reach no pedal.
    OV_TransportPanel* transport = window->transportPanel();
    EXPECT_FALSE(transport->active());
    for (Fl_Widget* button : {static_cast<Fl_Widget*>(transport->readButton), static_cast<Fl_Widget*>(transport->writeButton)})
        gui::click(window.get(), button->x() + 10, button->y() + 10);
    EXPECT_EQ(countCommands(first, "read-preset"), 1);      // the connect's own read only
    EXPECT_EQ(countCommands(first, "store-image"), 0);
    EXPECT_TRUE(second.commands().empty());

    prompt->serialChoice->value(1);
    size_t linesBefore = logLines(window.get()).size();
    gui::click(window.get(), prompt->confirmButton->x() + 10, prompt->confirmButton->y() + 10);
    EXPECT_FALSE(prompt->visible());
    EXPECT_STREQ(window->usb()->serialNumber[0], "VP24000002");
    EXPECT_TRUE(window->dashboard()->active());
    EXPECT_TRUE(transport->active());
    // CONFIRM read preset 1 of the chosen pedal, as READ does.
    EXPECT_EQ(countCommands(second, "read-preset"), 1);
    EXPECT_EQ(std::vector<uint8_t>(window->dashboard()->params(), window->dashboard()->params() + 12),
              std::vector<uint8_t>(secondRecord, secondRecord + 12));
    EXPECT_EQ(std::string(transport->title, 12), "Second pedal");
    EXPECT_EQ(transport->selectedPreset, 0);
    std::vector<std::string> lines = logLines(window.get());
    ASSERT_GE(lines.size(), linesBefore + 2);
    EXPECT_EQ(lines[lines.size() - 2], "Read operation from Preset 1 OK.");
    EXPECT_EQ(lines.back(), "> Param setting as was saved in your pedal is now displayed.");
    EXPECT_STREQ(window->usb()->progress->label(), "Read complete");
    EXPECT_EQ(dialogs.count(RecordingDialogs::Alert), 0);

    int firstBefore = static_cast<int>(first.commands().size());
    window->dashboard()->do_callback();   // a preview goes to the chosen pedal
    EXPECT_TRUE(waitForCommand(second, "preview", 1));
    EXPECT_EQ(static_cast<int>(first.commands().size()), firstBefore);
    EXPECT_EQ(logLines(window.get()).back(), "parameter change ok.");

    // Connecting again lists exactly the two pedals and slot 0 is the first again.
    clickConnect(window.get());
    EXPECT_EQ(prompt->serialChoice->size() - 1, 2);
    EXPECT_STREQ(window->usb()->serialNumber[0], "VP24000001");
    EXPECT_TRUE(prompt->visible());
}

TEST_F(Connect, DraggingAControlPlaysTheSoundModelsImageOnThePedal) {
    VirtualPedal pedal(pedals, withSerial("VP24000001", 0x21));
    startPedal(pedal);
    std::unique_ptr<Orvella> window = env.openWindow();
    ASSERT_TRUE(window->transportPanel()->active());
    int before = countCommands(pedal, "preview");

    // Drag the left volume knob from its right end to the middle and let go:
    // one preview, at the release.
    Fl_Widget* slider = window->dashboard()->leftVolumeSlider;
    int y = slider->y() + slider->h() / 2;
    gui::press(window.get(), slider->x() + slider->w() - 5, y);
    for (int x = slider->x() + slider->w() - 10; x > slider->x() + slider->w() / 2; x -= 10)
        gui::drag(window.get(), x, y);
    gui::release(window.get(), slider->x() + slider->w() / 2, y);

    ASSERT_TRUE(waitForCommand(pedal, "preview", before + 1));
    std::vector<testpedal::LoggedCommand> previews;
    for (const auto& command : pedal.commands())
        if (command.name == "preview") previews.push_back(command);
    ASSERT_EQ(static_cast<int>(previews.size()), before + 1);
    const uint8_t* image = window->dashboard()->image();
    EXPECT_EQ(previews.back().bytes, std::vector<uint8_t>(image, image + 512));
    EXPECT_LT(window->dashboard()->params()[5], 200);     // the left volume moved
    EXPECT_EQ(logLines(window.get()).back(), "parameter change ok.");
}

// A pedal another program holds (another orvella-cli, say) is left alone:
// the connect says who has it and sends nothing; once it is free, Connect
// reaches it.
TEST_F(Connect, APedalAnotherProgramHoldsIsLeftAloneAndTheLogSaysWho) {
    VirtualPedal pedal(pedals, withSerial("VP24000001", 0x21));
    startPedal(pedal);
    int ready[2], go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    pid_t owner = fork();
    if (owner == 0) {
        serialport::TtyBackend other;
        other.claim(true);
        std::unique_ptr<serialport::Port> port;
        std::string why;
        char c = other.open("VP24000001", false, port, why) == FT_OK ? '1' : '0';
        port.reset();
        if (write(ready[1], &c, 1) != 1 || read(go[0], &c, 1) != 1) _exit(2);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, '1');

    std::unique_ptr<Orvella> window = env.openWindow();
    std::vector<std::string> lines = logLines(window.get());
    const std::string who = "> the pedal is in use by another program (pid " + std::to_string(owner) + ").";
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Pedal is not found."), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), who), lines.end());
    EXPECT_FALSE(window->transportPanel()->active());
    EXPECT_TRUE(pedal.commands().empty());

    ASSERT_EQ(write(go[1], "x", 1), 1);
    int status = -1;
    ASSERT_EQ(waitpid(owner, &status, 0), owner);
    for (int fd : {ready[0], ready[1], go[0], go[1]}) close(fd);
    clickConnect(window.get());
    lines = logLines(window.get());
    EXPECT_EQ(lines.back(), "Ready.");
    EXPECT_TRUE(window->transportPanel()->active());
}
