// The pop-up menu: which entries are usable when, the information actions,
// pedal selection from the menu, and the factory reset against a virtual pedal.
#include <gtest/gtest.h>

#include "shell/keys.h"   // before the X headers, whose None is a macro

#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Progress.H>
#include <FL/fl_draw.H>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/pedal/TestPedal.h"
#include "editor/OV_Parameters.h"
#include "tests/support/gui/Events.h"
#include "tests/support/gui/StatusLog.h"
#include "tests/support/gui/RecordingDialogs.h"
#include "tests/support/gui/TestEnvironment.h"
#include "link/OV_UsbController.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_PresetPrompt.h"
#include "presets/OV_TransportPanel.h"
#include "editor/ScrollBox.h"
#include "reference/OV_ToneChart.h"
#include "shell/pedal_selection.h"
#include "shell/main_window.h"
#include "shell/status_log.h"
#include "shell/menu.h"
#include "shell/shortcut_list.h"

using gui::RecordingDialogs;
using gui::TestEnvironment;
using gui::lastLogLine;

namespace {

menu::State state(bool connected, unsigned devices, menu::Service service = menu::Service::Absent) {
    menu::State s;
    s.pedalConnected = connected;
    s.deviceCount = devices;
    s.serial = "VP24000001";
    s.service = service;
    return s;
}

// Entries usable (active) in a freshly built menu, by label.
std::vector<std::string> usable(bool connected, unsigned devices) {
    const std::vector<Fl_Menu_Item> items = menu::build(state(connected, devices));
    std::vector<std::string> labels;
    for (int i = 0; items[i].text; ++i)
        if (items[i].active()) labels.push_back(items[i].text);
    return labels;
}

void clickMenu(Orvella* window) {
    gui::click(window, window->menuButton()->x() + 10, window->menuButton()->y() + 10);
}

}  // namespace

// Every entry's words end short of the menu's right edge (the pop-up is as
// wide as its widest label): a space's width at least, the service entry too.
TEST(Menu, NoEntryTouchesTheRightEdge) {
    const std::vector<Fl_Menu_Item> items = menu::build(state(true, 2, menu::Service::Usable));
    int width = 0;
    for (int i = 0; items[i].text; ++i) width = std::max(width, items[i].measure(nullptr, nullptr));
    for (int i = 0; items[i].text; ++i) {
        std::string words = items[i].text;
        words.erase(words.find_last_not_of(' ') + 1);
        if (words.empty()) continue;
        Fl_Menu_Item trimmed = items[i];
        trimmed.text = words.c_str();
        fl_font(items[i].labelfont(), items[i].labelsize());
        EXPECT_LE(trimmed.measure(nullptr, nullptr) + static_cast<int>(fl_width(' ')), width) << items[i].text;
    }
}

TEST(Menu, PedalEntriesFollowTheConnectionAndTheDeviceCount) {
    const std::vector<std::string> always = {" > About Orvella", " > Check for updates", " > Report a problem",
                                             " > Register your pedal", " > Keyboard Shortcuts", " > Quit"};
    EXPECT_EQ(usable(false, 0), always);
    EXPECT_EQ(usable(true, 1),
              (std::vector<std::string>{" > About Orvella", " > Check for updates", " > Report a problem",
                                        " > Register your pedal", " > Serial Number", " > Update Firmware",
                                        " > Factory Reset", " > Keyboard Shortcuts", " > Quit"}));
    // Two devices enable Select Pedal even without a connected pedal.
    std::vector<std::string> two = usable(false, 2);
    EXPECT_NE(std::find(two.begin(), two.end(), " > Select Pedal"), two.end());

    // Whatever the state, the headings (bold italic) and the dividers are never usable.
    menu::State all = state(true, 2, menu::Service::Usable);
    all.steps.undo = all.steps.redo = true;
    const std::vector<Fl_Menu_Item> items = menu::build(all);
    EXPECT_EQ(items.back().text, nullptr);
    for (size_t i = 0; i + 1 < items.size(); ++i) {
        const bool divider = !items[i].text[0];
        EXPECT_EQ(divider, (items[i].flags & FL_MENU_DIVIDER) && !items[i].callback()) << i;
        EXPECT_EQ(items[i].active(), !divider && items[i].labelfont() == FL_HELVETICA) << items[i].text;
    }
}

// Every key the shortcut list names for the window acts (but Listen's two,
// which the window's Listening takes: listen.* tests).
TEST(Menu, EveryListedWindowKeyActs) {
    const std::regex name("\\b(Ctrl\\+)?(Alt\\+)?(Shift\\+)?(\\w)\\b");
    for (int id = 0; id < shortcuts::Count; ++id) {
        if (shortcuts::list[id].part != shortcuts::Window || id == shortcuts::Listen || id == shortcuts::Compared)
            continue;
        const std::string keys = shortcuts::keysOf(shortcuts::list[id]);
        int named = 0;
        for (std::sregex_iterator m(keys.begin(), keys.end(), name), end; m != end; ++m, ++named) {
            const int state = ((*m)[1].matched ? FL_CTRL : 0) | ((*m)[2].matched ? FL_ALT : 0) |
                              ((*m)[3].matched ? FL_SHIFT : 0);
            EXPECT_NE(keys::actionOf(std::tolower((*m)[4].str()[0]), state).kind, keys::Action().kind) << m->str();
        }
        EXPECT_GT(named, 0) << keys;
    }
}

TEST(Menu, HeadingsAndAMissingWidgetDoNothing) {
    RecordingDialogs dialogs;
    menu::infoSelected(nullptr, reinterpret_cast<void*>(1));
    const std::vector<Fl_Menu_Item> items = menu::build(menu::State());
    items[0].do_callback(nullptr, items[0].user_data());
    EXPECT_TRUE(dialogs.entries.empty());
}

class MenuWindow : public ::testing::Test {
protected:
    TestEnvironment env;
    testpedal::PedalFolder pedals;
    RecordingDialogs dialogs;
};

TEST_F(MenuWindow, AboutAndUpdateInstructionsAreShownWithoutAPedal) {
    std::unique_ptr<Orvella> window = env.openWindow();
    dialogs.popupPicks = {" > About Orvella", " > Serial Number", " > Update Firmware"};
    clickMenu(window.get());
    clickMenu(window.get());   // greyed: nothing happens
    clickMenu(window.get());
    ASSERT_EQ(dialogs.popupLabels.size(), 3u);
    const std::vector<std::string>& shown = dialogs.popupLabels[0];   // with the SOUND entries
    EXPECT_NE(std::find(shown.begin(), shown.end(), "                  S O U N D"), shown.end());
    std::vector<std::string> messages = dialogs.texts(RecordingDialogs::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("  Orvella - version.2.0.8\n", 0), 0u);
    EXPECT_NE(messages[0].find("\n  Support : support@@kestrova.example\n  Website : "), std::string::npos);
    EXPECT_NE(messages[0].back(), '\n');
    // It names the folder the presets go to, the one HOMEDRIVE gives.
    EXPECT_NE(messages[0].find(" :  " + env.home + "/Kestrova/Orvella/presets"), std::string::npos) << messages[0];
}

TEST_F(MenuWindow, AWebPageWithoutABrowserShowsItsAddressAndLogsIt) {
    std::unique_ptr<Orvella> window = env.openWindow();
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", env.root.c_str(), 1);               // no program to open a page here
    dialogs.popupPicks = {" > Report a problem"};
    clickMenu(window.get());
    setenv("PATH", path.c_str(), 1);
    std::vector<std::string> messages = dialogs.texts(RecordingDialogs::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("\n  " + std::string(menu::contactPage) + "\n"), std::string::npos) << messages[0];
    EXPECT_EQ(lastLogLine(window.get()), "No web browser could be opened - please visit " +
                                             std::string(menu::contactPage));
}

TEST_F(MenuWindow, SerialNumberOfTheConnectedPedal) {
    testpedal::PedalOptions options;
    options.serial = "VP24000007";
    testpedal::VirtualPedal pedal(pedals, options);
    ASSERT_TRUE(pedal.start());
    std::unique_ptr<Orvella> window = env.openWindow();
    dialogs.popupPicks = {" > Serial Number", " > Update Firmware", " > Select Pedal"};
    clickMenu(window.get());
    clickMenu(window.get());
    clickMenu(window.get());   // one pedal: greyed
    std::vector<std::string> messages = dialogs.texts(RecordingDialogs::Message);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "Your pedal's serial number is : VP24000007 \n");
    EXPECT_EQ(messages[1].rfind("To update your pedal's firmware do the following :\n\n  1. Shutdown", 0), 0u);
    EXPECT_FALSE(window->devSelPrompt()->visible());
}

TEST_F(MenuWindow, SelectPedalReopensThePromptWithTwoPedals) {
    testpedal::PedalOptions a, b;
    a.serial = "VP24000001";
    b.serial = "VP24000002";
    testpedal::VirtualPedal first(pedals, a), second(pedals, b);
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(second.start());
    std::unique_ptr<Orvella> window = env.openWindow();
    window->devSelPrompt()->serialChoice->value(1);
    window->devSelPrompt()->do_callback();
    dialogs.popupPicks = {" > Select Pedal", " > Serial Number"};
    clickMenu(window.get());
    EXPECT_TRUE(window->devSelPrompt()->visible());
    EXPECT_EQ(window->devSelPrompt()->serialChoice->value(), 1);
    EXPECT_FALSE(window->dashboard()->active());
    window->devSelPrompt()->do_callback();
    clickMenu(window.get());
    EXPECT_EQ(dialogs.texts(RecordingDialogs::Message).back(), "Your pedal's serial number is : VP24000002 \n");
}

TEST_F(MenuWindow, FactoryResetCancelledTouchesNeitherPedalNorLog) {
    testpedal::VirtualPedal pedal(pedals);
    ASSERT_TRUE(pedal.start());
    std::unique_ptr<Orvella> window = env.openWindow();
    size_t commands = pedal.commands().size();
    std::string before = lastLogLine(window.get());
    dialogs.choiceAnswers.push_back(0);
    window->factoryReset();
    EXPECT_EQ(dialogs.texts(RecordingDialogs::Choice),
              std::vector<std::string>{"Proceed to reset your pedal to factory setting?"});
    EXPECT_EQ(pedal.commands().size(), commands);
    EXPECT_EQ(lastLogLine(window.get()), before);
}

TEST_F(MenuWindow, FactoryResetStoresTheMasterAndShowsTheSelectedPresetAsThePedalNowHoldsIt) {
    testpedal::VirtualPedal pedal(pedals);
    ASSERT_TRUE(pedal.start());
    std::unique_ptr<Orvella> window = env.openWindow();
    OV_TransportPanel* transport = window->transportPanel();
    transport->lightPreset(3);
    transport->selectedPreset = 3;
    window->presetPanel()->addPreset("Mine");
    window->presetPanel()->presetChoice->value(0);
    std::string master = TestEnvironment::readFile(env.work + "/bin/factoryset.fap");
    ASSERT_EQ(master.size(), 192u);
    // Looks at the controls while the outcome is shown, i.e. before they are
    // given back: nothing that could start another exchange may be usable.
    struct Watching : RecordingDialogs {
        std::vector<Fl_Widget*> held;
        int usableDuringMessage = -1;
        void message(const std::string& text) override {
            usableDuringMessage = 0;
            for (Fl_Widget* w : held) usableDuringMessage += w->active() ? 1 : 0;
            RecordingDialogs::message(text);
        }
    } dialogs;
    dialogs.held = {window->dashboard(),    window->presetPanel(), window->transportPanel(), window->connectButton(),
                    window->menuButton(),   window->quitButton(),  window->presetPrompt(),   window->gloConButton(),
                    window->toneChart()->speakerList, window->toneChart()->clickBox, window->toneChart()->listenL,
                    window->toneChart()->listenLR, window->toneChart()->listenR};
    dialogs.choiceAnswers.push_back(1);
    dialogs.popupPicks.push_back(" > Factory Reset");
    clickMenu(window.get());
    EXPECT_EQ(dialogs.usableDuringMessage, 0);

    EXPECT_EQ(dialogs.texts(RecordingDialogs::Message),
              std::vector<std::string>{"Your pedal has been restored to factory setting."});
    EXPECT_EQ(dialogs.count(RecordingDialogs::Alert), 0);
    EXPECT_EQ(lastLogLine(window.get()), "> Factory reset successful.");
    EXPECT_STREQ(window->usb()->progress->label(), "Factory reset OK");
    EXPECT_EQ(window->usb()->progress->value(), 100);
    EXPECT_TRUE(window->usb()->progress->x() == 632 && window->usb()->progress->w() == 180);
    PedalState state;
    ASSERT_TRUE(pedal.state(state));
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(std::memcmp(state.presets[i].title, master.data() + 96 + 12 * i, 12), 0) << i;
    // The Dashboard and the title show preset 4 as the pedal now holds it;
    // the local preset menu names nothing.
    EXPECT_EQ(transport->selectedPreset, 3);
    EXPECT_EQ(std::memcmp(window->dashboard()->params(), state.presets[3].params, 12), 0);
    EXPECT_EQ(std::memcmp(transport->title, master.data() + 96 + 12 * 3, 12), 0);
    EXPECT_EQ(window->presetPanel()->presetChoice->value(), -1);
    for (Fl_Widget* w : dialogs.held) EXPECT_TRUE(w->active());

    // A reset that stops half way says how far it got.
    ASSERT_TRUE(pedal.setFaults({"corrupt-echo-always"}));
    dialogs.clear();
    dialogs.choiceAnswers.push_back(1);
    dialogs.popupPicks.push_back(" > Factory Reset");
    const size_t logged = pedal.commands().size();
    ::testing::internal::CaptureStdout();
    clickMenu(window.get());
    ::testing::internal::GetCapturedStdout();
    std::vector<std::string> alerts = dialogs.texts(RecordingDialogs::Alert);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].rfind("Factory reset has failed due to erroneous data transfer.\n"
                              "No preset had been overwritten yet. Preset 1 may now hold a damaged copy.\n",
                              0),
              0u);
    EXPECT_EQ(lastLogLine(window.get()), "> No preset had been overwritten yet. Preset 1 may now hold a damaged copy.");
    EXPECT_STREQ(window->usb()->progress->label(), "Factory reset error");
    // Preset 4 was not reached: it is read back from the pedal.
    std::vector<testpedal::LoggedCommand> sent = pedal.commands();
    std::vector<uint8_t> reads;
    for (size_t i = logged; i < sent.size(); ++i)
        if (sent[i].name == "read-preset") reads.push_back(sent[i].bytes[0]);
    EXPECT_EQ(reads, std::vector<uint8_t>{0x06});   // preset 4 only: preset 1's echo never matched
    EXPECT_EQ(std::memcmp(window->dashboard()->params(), state.presets[3].params, 12), 0);
    EXPECT_EQ(std::memcmp(transport->title, master.data() + 96 + 12 * 3, 12), 0);
}

// The pedal echoes every image right but keeps other titles: the reset's
// read-back of the first preset catches it, and it stops there after the retry.
TEST_F(MenuWindow, FactoryResetOnAPedalThatKeepsWrongRecordsFails) {
    testpedal::PedalOptions options;
    options.faults = {"keep-wrong-record"};
    testpedal::VirtualPedal pedal(pedals, options);
    ASSERT_TRUE(pedal.start());
    std::unique_ptr<Orvella> window = env.openWindow();
    RecordingDialogs dialogs;
    dialogs.choiceAnswers.push_back(1);
    window->factoryReset();
    std::vector<std::string> alerts = dialogs.texts(RecordingDialogs::Alert);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].rfind("Factory reset has failed due to erroneous data transfer.\n"
                              "No preset had been overwritten yet. Preset 1 may now hold a damaged copy.\n", 0), 0u);
    EXPECT_EQ(dialogs.count(RecordingDialogs::Message), 0);
    char* raw = window->statusLog()->textBuffer->text();
    std::string log = raw;
    free(raw);
    EXPECT_NE(log.find("> Factory reset failed. Please try again.\n"), std::string::npos) << log;
    EXPECT_NE(log.find("> No preset had been overwritten yet. Preset 1 may now hold a damaged copy.\n"),
              std::string::npos)
        << log;
    EXPECT_STREQ(window->usb()->progress->label(), "Factory reset error");
    int stored = 0;
    for (const testpedal::LoggedCommand& c : pedal.commands()) stored += c.name == "store-image";
    EXPECT_EQ(stored, 2);                           // preset 1 and its one retry
    EXPECT_TRUE(window->connectButton()->active());
}

namespace {

// A bin folder like the shipped one, with the factory master replaced by
// `master` (nullptr: no master at all).
std::string binWithMaster(const TestEnvironment& env, const std::string* master) {
    std::string bin = env.root + "/bin-master";
    mkdir(bin.c_str(), 0755);
    for (const std::string& name : TestEnvironment::listFolder(env.work + "/bin")) {
        if (name == "factoryset.fap") continue;
        if (symlink((env.work + "/bin/" + name).c_str(), (bin + "/" + name).c_str()) != 0) return "";
    }
    if (master) TestEnvironment::writeFile(bin + "/factoryset.fap", *master);
    return bin;
}

}  // namespace

TEST_F(MenuWindow, FactoryResetWithoutAFullMasterAlertsAndSendsNothing) {
    const std::string shortMaster(100, '\x01');
    const std::string longMaster(193, '\x01');
    for (const std::string* master : {static_cast<const std::string*>(nullptr), &shortMaster, &longMaster}) {
        std::string bin = binWithMaster(env, master);
        ASSERT_FALSE(bin.empty());
        TestEnvironment local(bin);
        RecordingDialogs seen;
        testpedal::VirtualPedal pedal(pedals);
        ASSERT_TRUE(pedal.start());
        std::unique_ptr<Orvella> window = local.openWindow();
        size_t commands = pedal.commands().size();
        seen.choiceAnswers.push_back(1);
        window->factoryReset();
        std::vector<std::string> alerts = seen.texts(RecordingDialogs::Alert);
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_EQ(alerts[0].rfind("A problem is encountered while trying to access the Factory master file.", 0), 0u);
        EXPECT_EQ(lastLogLine(window.get()), "> Factory reset failed. Please try again.");
        EXPECT_STREQ(window->usb()->progress->label(), "Factory reset error");
        EXPECT_EQ(window->usb()->progress->selection_color(), static_cast<Fl_Color>(0x80000000));
        EXPECT_EQ(pedal.commands().size(), commands);
        EXPECT_TRUE(window->connectButton()->active());
        window.reset();
        pedal.stop();
        std::string cleanup = "rm -rf '" + bin + "'";
        ASSERT_EQ(system(cleanup.c_str()), 0);
    }
}
