// The prompts drawn over the window hold each other and every control that
// reaches the pedal, end to end with two virtual pedals: what each pedal
// receives and keeps, which controls are usable, and what the log and the
// dialogs say.
#include "presets/PresetFiles.h"   // before the X headers, whose macros clash with its names

#include <gtest/gtest.h>

#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Progress.H>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/pedal/TestPedal.h"
#include "editor/OV_Parameters.h"
#include "editor/TextInput.h"
#include "tests/support/gui/Events.h"
#include "tests/support/gui/RecordingDialogs.h"
#include "tests/support/gui/StatusLog.h"
#include "tests/support/gui/TestEnvironment.h"
#include "link/OV_UsbController.h"
#include "maintenance/OV_CalibratePrompt.h"
#include "maintenance/OV_GloConPrompt.h"
#include "maintenance/OV_UpdatePrompt.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_PresetPrompt.h"
#include "presets/OV_TransportPanel.h"
#include "reference/OV_ToneChart.h"
#include "shell/pedal_selection.h"
#include "shell/main_window.h"

namespace {

using Kind = gui::RecordingDialogs::Kind;
using testpedal::LoggedCommand;
using testpedal::PedalOptions;
using testpedal::VirtualPedal;

class PromptHolds : public ::testing::Test {
protected:
    // Two pedals with their own configuration bytes and preset 3; one may
    // wait for firmware. The window comes up with the selection prompt shown.
    enum class Waiting { Neither, First, Second };
    void open(Waiting waiting = Waiting::Neither) {
        first = start("VP24000001", 0x9A, waiting == Waiting::First);
        second = start("VP24000002", 0xF5, waiting == Waiting::Second);
        window = env.openWindow();
        window->setServiceMode(true);
        ASSERT_TRUE(window->devSelPrompt()->visible());
        dialogs.clear();
    }

    std::unique_ptr<VirtualPedal> start(const char* serial, uint8_t config, bool updating) {
        PedalOptions options;
        options.serial = serial;
        options.updateMode = updating;
        auto pedal = std::make_unique<VirtualPedal>(folder, options);
        PedalState state;
        state.setFactory(nullptr);
        state.globalConfig = config;
        state.updateMode = updating;
        state.firmwareVersion = updating ? 0x13 : 0x21;
        const uint8_t third[12] = {0x21, 3, 23, static_cast<uint8_t>(config & 0x1F), 31, 140, 200, 30, 100, 125, 50, 45};
        std::memcpy(state.presets[2].params, third, 12);
        const std::string own = serial;
        const std::string title = "Lead " + own.substr(own.size() - 7);   // "Lead 4000001", "Lead 4000002"
        std::memcpy(state.presets[2].title, title.data(), 12);
        EXPECT_TRUE(pedal->presetState(state));
        std::string error;
        EXPECT_TRUE(pedal->start(&error)) << error;
        return pedal;
    }

    void TearDown() override {
        window.reset();
        for (auto* pedal : {&first, &second})
            if (*pedal) (*pedal)->stop();
    }

    void click(Fl_Widget* w) {
        gui::clickCentre(w);
        gui::settle();
    }
    void confirmPedal(int entry) {
        window->devSelPrompt()->serialChoice->value(entry);
        click(window->devSelPrompt()->confirmButton);
    }
    // Every control that reaches the pedal, and the three that a prompt may
    // leave usable: active (1) or not (0).
    std::vector<bool> states() const {
        OV_ToneChart* chart = window->toneChart();
        return {window->dashboard()->active() != 0,   window->presetPanel()->active() != 0,
                window->transportPanel()->active() != 0, window->gloConButton()->active() != 0,
                chart->listenL->active() != 0,      chart->listenLR->active() != 0,
                chart->listenR->active() != 0,      chart->speakerList->active() != 0,
                window->connectButton()->active() != 0, window->menuButton()->active() != 0,
                window->quitButton()->active() != 0};
    }
    uint8_t storedConfig(const VirtualPedal& pedal) const {
        PedalState state;
        EXPECT_TRUE(pedal.state(state));
        return state.globalConfig;
    }

    gui::TestEnvironment env;
    testpedal::PedalFolder folder;
    gui::RecordingDialogs dialogs;
    std::unique_ptr<VirtualPedal> first, second;
    std::unique_ptr<Orvella> window;
};

const std::vector<bool> allUsable(11, true);
// Under the selection prompt: Connect, Menu and Quit stay usable.
const std::vector<bool> choosing = {false, false, false, false, false, false, false, false, true, true, true};
// Under the configuration or calibration prompt: the Menu and Quit.
const std::vector<bool> configuring = {false, false, false, false, false, false, false, false, false, true, true};

TEST_F(PromptHolds, EachPromptHoldsTheOthersAndGivesBackWhatItFound) {
    open();
    EXPECT_EQ(states(), choosing);
    // Global Configuration cannot open over the choice; nor can calibration.
    click(window->gloConButton());
    dialogs.popupPicks = {" > Oscillator Calibration... "};
    click(window->menuButton());
    EXPECT_FALSE(window->gloConPrompt()->visible());
    EXPECT_FALSE(window->calibratePrompt()->visible());
    EXPECT_EQ(first->count("get-config"), 0u);

    confirmPedal(0);   // the pedal the connect run read: nothing more is asked
    EXPECT_EQ(states(), allUsable);

    // The configuration prompt for pedal 1 holds the selection (its Menu
    // entry is greyed, and asked directly it refuses), Listen and the rest.
    click(window->gloConButton());
    ASSERT_TRUE(window->gloConPrompt()->visible());
    EXPECT_EQ(states(), configuring);
    dialogs.popupPicks = {" > Select Pedal"};
    click(window->menuButton());
    openPedalSelection(window.get());
    EXPECT_FALSE(window->devSelPrompt()->visible());
    const int speakerBefore = window->dashboard()->speakerNumber(0);
    window->tabs()->value(window->toneChart());
    window->tabs()->do_callback();
    click(window->toneChart()->listenL);
    EXPECT_EQ(window->toneChart()->listenL->value(), 0);
    EXPECT_EQ(window->dashboard()->speakerNumber(0), speakerBefore);
    window->tabs()->value(window->dashboard());
    window->tabs()->do_callback();

    // CANCEL gives back exactly what was usable; CONFIRM writes pedal 1 only.
    click(window->gloConPrompt()->cancelButton);
    EXPECT_EQ(states(), allUsable);
    click(window->gloConButton());
    click(window->gloConPrompt()->confirmButton);
    EXPECT_EQ(states(), allUsable);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(storedConfig(*first), 0x9A);
    EXPECT_EQ(storedConfig(*second), 0xF5);
    EXPECT_EQ(second->count("set-config") + second->count("get-config"), 0u);
    EXPECT_EQ(first->count("preview"), 0u);

    // Calibration holds the same, the configuration button among them, and
    // Exit gives every control back.
    dialogs.popupPicks = {" > Oscillator Calibration... "};
    click(window->menuButton());
    ASSERT_TRUE(window->calibratePrompt()->visible());
    EXPECT_EQ(states(), configuring);
    click(window->calibratePrompt()->burnButton);
    click(window->calibratePrompt()->exitButton);
    EXPECT_EQ(states(), allUsable);
    EXPECT_EQ(dialogs.count(Kind::Alert), 0);
}

TEST_F(PromptHolds, ConfirmingASecondPedalWaitingForFirmwareOpensTheUpdatePrompt) {
    open(Waiting::Second);
    EXPECT_EQ(second->count("status"), 0u);   // the connect run asked the first
    confirmPedal(1);
    EXPECT_STREQ(window->usb()->serialNumber[0], "VP24000002");
    EXPECT_EQ(second->count("status"), 1u);
    EXPECT_EQ(second->count("read-preset"), 0u);
    OV_UpdatePrompt* update = window->updatePrompt();
    ASSERT_TRUE(update->visible());
    EXPECT_STREQ(update->pedalVersionBox->label(), "V1.3");
    EXPECT_EQ(gui::lastLogLine(window.get()), "Pedal is in firmware update mode (V1.3).");
    EXPECT_EQ(dialogs.count(Kind::Alert), 0);
    const std::vector<bool> held = states();
    EXPECT_EQ(std::vector<bool>(held.begin(), held.begin() + 4), std::vector<bool>(4, false));   // as Connect leaves them

    // Cancel resumes the chosen pedal, and the panels come back.
    click(update->cancelButton);
    EXPECT_FALSE(update->visible());
    std::vector<LoggedCommand> sent = second->waitForCommands(2, 5000);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back().name, "resume");
    EXPECT_EQ(first->count("resume"), 0u);
    EXPECT_EQ(states(), allUsable);
}

TEST_F(PromptHolds, AnUpdatePromptWaitsForTheChoiceAndNeverShowsOverAnotherPrompt) {
    open(Waiting::First);
    // The connect run asked the first pedal, which waits for firmware; the
    // choice comes first, and the update prompt waits for it.
    EXPECT_EQ(first->count("status"), 1u);
    EXPECT_EQ(gui::lastLogLine(window.get()), "Pedal is in firmware update mode (V1.3).");
    OV_UpdatePrompt* update = window->updatePrompt();
    EXPECT_FALSE(update->visible());
    EXPECT_EQ(states(), choosing);

    // Confirmed, that pedal gets its update prompt, which leaves Connect, the
    // Menu and Quit usable; neither the selection nor the configuration
    // prompt opens over it.
    confirmPedal(0);
    EXPECT_FALSE(window->devSelPrompt()->visible());
    ASSERT_TRUE(update->visible());
    EXPECT_STREQ(update->pedalVersionBox->label(), "V1.3");
    EXPECT_EQ(states(), choosing);
    dialogs.popupPicks = {" > Select Pedal"};
    click(window->menuButton());
    openPedalSelection(window.get());
    window->gloConButton()->do_callback();
    EXPECT_FALSE(window->devSelPrompt()->visible());
    EXPECT_FALSE(window->gloConPrompt()->visible());
    EXPECT_EQ(first->count("get-config"), 0u);

    // Connect enumerates anew: the choice takes the update prompt's place.
    click(window->connectButton());
    EXPECT_TRUE(window->devSelPrompt()->visible());
    EXPECT_FALSE(update->visible());
    EXPECT_EQ(first->count("status"), 2u);
    EXPECT_EQ(states(), choosing);

    // Choosing the running pedal drops the update prompt without a word to
    // the waiting one, which keeps waiting; every control comes back.
    confirmPedal(1);
    EXPECT_FALSE(update->visible());
    EXPECT_EQ(states(), allUsable);
    EXPECT_EQ(second->count("read-preset"), 1u);
    EXPECT_EQ(first->count("resume"), 0u);
    PedalState state;
    ASSERT_TRUE(first->state(state));
    EXPECT_TRUE(state.updateMode);

    // Chosen again, the first pedal's prompt shows; leaving it resumes that
    // pedal alone and gives back what was usable before.
    click(window->connectButton());
    confirmPedal(0);
    ASSERT_TRUE(update->visible());
    const size_t before = first->commands().size();
    click(update->cancelButton);
    EXPECT_FALSE(update->visible());
    EXPECT_EQ(states(), allUsable);
    first->waitForCommands(before + 1, 5000);   // the resume message gets no reply
    EXPECT_EQ(first->count("resume"), 1u);
    ASSERT_TRUE(first->state(state));
    EXPECT_FALSE(state.updateMode);
    EXPECT_EQ(second->count("resume"), 0u);
    EXPECT_EQ(dialogs.texts(Kind::Alert).size(), 1u);   // the cancel notice alone
}

TEST_F(PromptHolds, TheNamingPromptHoldsWhatCouldOpenAnotherPromptAndNamesTheSoundReadUnderIt) {
    open();
    confirmPedal(1);
    ASSERT_EQ(states(), allUsable);
    click(window->presetPanel()->addButton);
    OV_PresetPrompt* naming = window->presetPrompt();
    ASSERT_TRUE(naming->visible());
    // The Dashboard, "Global Configuration" and Connect are held; the preset
    // bar, the transport strip, the tone chart, the Menu and Quit stay usable.
    const std::vector<bool> namingStates = {false, true, true, false, true, true, true, true, false, true, true};
    EXPECT_EQ(states(), namingStates);

    // No other prompt opens over it, whichever way it is asked for.
    window->gloConButton()->do_callback();
    for (const char* entry : {" > Select Pedal", " > Oscillator Calibration... "}) {
        dialogs.popupPicks = {entry};
        click(window->menuButton());
    }
    openPedalSelection(window.get());
    window->calibratePrompt()->open();
    EXPECT_FALSE(window->gloConPrompt()->visible());
    EXPECT_FALSE(window->devSelPrompt()->visible());
    EXPECT_FALSE(window->calibratePrompt()->visible());
    EXPECT_EQ(second->count("get-config"), 0u);

    // READ brings the chosen pedal's preset 3 under the prompt, which keeps
    // the Dashboard held; Save names that sound and gives every control back.
    OV_TransportPanel* transport = window->transportPanel();
    click(transport->child(2));
    click(transport->readButton);
    EXPECT_EQ(states(), namingStates);
    naming->nameInput->value("Second lead");
    naming->nameInput->set_changed();
    click(naming->saveButton);
    EXPECT_FALSE(naming->visible());
    EXPECT_EQ(states(), allUsable);
    EXPECT_EQ(window->exchanges().shownPrompt(), nullptr);

    std::vector<uint8_t> bytes;
    presetfiles::LocalPreset saved;
    ASSERT_TRUE(files::readFile(presetfiles::presetPath(env.home, "Second lead"), bytes));
    ASSERT_EQ(presetfiles::decodeLop(bytes, saved), presetfiles::LopStatus::Ok);
    PedalState pedal;
    ASSERT_TRUE(second->state(pedal));
    EXPECT_EQ(std::vector<uint8_t>(saved.preset.record(), saved.preset.record() + 12),
              std::vector<uint8_t>(pedal.presets[2].params, pedal.presets[2].params + 12));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(saved.preset.title()), 12), "Lead 4000002");
    EXPECT_STREQ(window->usb()->serialNumber[0], "VP24000002");
    EXPECT_EQ(first->count("read-preset"), 1u);   // the connect run's only
    EXPECT_EQ(dialogs.count(Kind::Alert), 0);
}

}  // namespace
