// The pedal's eight presets through the real window and a virtual pedal on a
// pseudo-terminal: selection, title, READ, WRITE with verification and
// retry, BACKUP and RESTORE, and what each failure shows.
#include "PresetsGui.h"
#include "TestPedal.h"

#include "editor/Slider.h"
#include "editor/TextInput.h"
#include "link/OV_UsbController.h"
#include "shell/TextBoard.h"
#include "sound/Params.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Light_Button.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Enumerations.H>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fcntl.h>
#include <unistd.h>

using namespace presettest;
using gui::RecordingDialogs;

namespace {

const char* const tail = "Read / Write operation failed - please try again.\n\n";

class Transport : public PresetsGui {
protected:
    void SetUp() override {
        env.reset(new gui::TestEnvironment());
        dialogs.reset(new gui::RecordingDialogs());
        // The pedal starts with known presets: record(i) titled "Factory i+1".
        std::string factory = env->root + "/factory.bank";
        ASSERT_TRUE(gui::TestEnvironment::writeFile(factory, testpedal::knownBank()));
        pedals.reset(new testpedal::PedalFolder());
        testpedal::PedalOptions options;
        options.serial = "VP00000001";
        options.factory = factory;
        pedal.reset(new testpedal::VirtualPedal(*pedals, options));
        std::string error;
        ASSERT_TRUE(pedal->start(&error)) << error;
        window = env->openWindow();
        ASSERT_TRUE(window->transportPanel()->active()) << log();
        dialogs->clear();
        logAtStart = log();
    }
    void TearDown() override {
        window.reset();
        pedal.reset();                              // stopped before its folder goes
        pedals.reset();
        PresetsGui::TearDown();
    }

    OV_TransportPanel& panel() { return *window->transportPanel(); }
    void press(Fl_Widget* w) { gui::click(window.get(), w->x() + w->w() / 2, w->y() + w->h() / 2); }
    void selectPreset(int index) { press(panel().child(index)); }
    std::string log() const {
        char* text = window->statusLog()->buffer()->text();
        std::string s(text);
        std::free(text);
        return s;
    }
    std::string newLog() const { return log().substr(logAtStart.size()); }
    // The new log lines without their time stamps.
    std::vector<std::string> newLines() const {
        std::vector<std::string> lines;
        std::string text = newLog();
        for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            std::string line = text.substr(start, end - start);
            EXPECT_EQ(line.substr(0, 1), "[");
            EXPECT_EQ(line.substr(9, 4), "] : ");
            lines.push_back(line.substr(14));
        }
        return lines;
    }
    std::string progressLabel() const { return window->usb()->progress->label(); }
    Fl_Color progressColour() const { return window->usb()->progress->selection_color(); }
    std::string today() const {
        std::time_t now = std::time(nullptr);
        return presetfiles::backupPath(env->home, *std::localtime(&now));
    }
    std::vector<uint8_t> pedalBank() const {
        uint8_t bank[192];
        pedalState().bank(bank);
        return bytesOf(bank, 192);
    }

    // Picks, for the next RESTORE, a backup of eight presets unlike the pedal's.
    std::string pickBackup() {
        std::string bank;
        for (int i = 0; i < 8; ++i) {
            std::vector<uint8_t> r = record(10 + i);
            bank.append(r.begin(), r.end());
        }
        for (int i = 0; i < 8; ++i) bank += title("Backup " + std::to_string(i));
        std::string path = env->root + "/other.bkp";
        EXPECT_TRUE(gui::TestEnvironment::writeFile(path, bank));
        dialogs->choiceAnswers.push_back(1);
        dialogs->chooserAnswers.push_back({path});
        return bank;
    }
    int stores() const {
        int n = 0;
        for (const testpedal::LoggedCommand& c : pedal->commands()) n += c.name == "store-image";
        return n;
    }
    PedalState pedalState() const {
        PedalState s;
        EXPECT_TRUE(pedal->state(s));
        return s;
    }
    // A preview gets no reply, so the editor moves on before the pedal has
    // taken it: wait (at most ten seconds, for a busy machine) until the pedal
    // plays this image.
    bool waitUntilPlaying(const uint8_t* image) const {
        for (int i = 0; i < 1000; ++i) {
            PedalState s;
            if (pedal->state(s) && std::memcmp(s.playing, image, 512) == 0) return true;
            usleep(10000);
        }
        return false;
    }
    // The same for the command log: true once it holds count commands.
    bool waitForCommands(size_t count) const { return pedal->waitForCommands(count).size() >= count; }

    std::unique_ptr<testpedal::PedalFolder> pedals;  // ORVELLA_PEDAL_DIR while the pedal runs
    std::unique_ptr<testpedal::VirtualPedal> pedal;
    std::string logAtStart;
};

TEST_F(Transport, SelectingAPresetLightsItAndSendsNothing) {
    size_t sent = pedal->commands().size();
    selectPreset(5);
    EXPECT_EQ(panel().selectedPreset, 5);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(static_cast<Fl_Light_Button*>(static_cast<Fl_Group*>(panel().child(i))->child(0))->value(), i == 5);
    Fl_Light_Button* six = static_cast<Fl_Light_Button*>(static_cast<Fl_Group*>(panel().child(5))->child(0));
    EXPECT_EQ(six->selection_color(), FL_RED);
    EXPECT_EQ(progressLabel(), "r e a d y");
    EXPECT_EQ(window->usb()->progress->value(), 0);

    selectPreset(1);
    selectPreset(1);                                // a second click keeps it lit
    Fl_Light_Button* two = static_cast<Fl_Light_Button*>(static_cast<Fl_Group*>(panel().child(1))->child(0));
    EXPECT_EQ(two->value(), 1);
    EXPECT_EQ(two->selection_color(), FL_GREEN);
    EXPECT_EQ(pedal->commands().size(), sent);
    EXPECT_EQ(newLog(), "");
}

TEST_F(Transport, TitleIsPaddedToTwelveAndShownWithALeadingSpace) {
    TextInput* input = panel().titleInput;
    press(input);
    gui::type(window.get(), "Clean");
    gui::key(window.get(), FL_Enter);
    EXPECT_EQ(std::string(panel().title, 12), "Clean       ");
    EXPECT_STREQ(input->value(), " Clean       ");
    EXPECT_EQ(progressLabel(), "r e a d y");
}

// The pedal keeps 12 single bytes: the field takes printable ASCII only and
// says when it leaves something out; what a pedal holds beyond that shows as
// '?' and goes back unchanged.
TEST_F(Transport, TitlesHoldOnlyWhatThePedalStoresAndForeignBytesShowSafely) {
    // Typed at speed, a refused key interrupts nothing: the keys after it
    // land in the field, and once the title is entered an alert tells what
    // was left out, the focus and the caret staying in the field.
    TextInput* input = panel().titleInput;
    press(input);
    gui::type(window.get(), "Cr");
    gui::key(window.get(), 0xe8, "\xc3\xa8");            // è
    gui::type(window.get(), "me");
    EXPECT_STREQ(input->value(), "Crme");
    EXPECT_EQ(dialogs->count(RecordingDialogs::Alert), 0);
    gui::key(window.get(), FL_Enter);
    EXPECT_EQ(std::string(panel().title, 12), "Crme        ");
    std::vector<std::string> alerts = dialogs->texts(RecordingDialogs::Alert);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].find("\"\xc3\xa8\" has been left out."), std::string::npos) << alerts[0];
    EXPECT_EQ(Fl::focus(), input);
    // Left for another control instead, the field tells once the focus has moved.
    press(input);
    gui::type(window.get(), "abcdefghijk");
    gui::key(window.get(), 0xe9, "\xc3\xa9");            // é
    gui::type(window.get(), "lm");                      // the twelfth fits, the thirteenth not
    selectPreset(1);
    gui::settle();
    EXPECT_EQ(std::string(panel().title, 12), "abcdefghijkl");
    alerts = dialogs->texts(RecordingDialogs::Alert);
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_NE(alerts[1].find("\"\xc3\xa9\" has been left out."), std::string::npos) << alerts[1];
    dialogs->clear();
    press(panel().writeButton);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(pedalState().presets[1].title), 12), "abcdefghijkl");

    // A paste keeps the plain characters.
    press(input);
    std::string pasted = "Cr\xc3\xa8me Br\xc3\xbbl\xc3\xa9\x65";
    Fl::e_text = &pasted[0];
    Fl::e_length = static_cast<int>(pasted.size());
    input->handle(FL_PASTE);
    gui::key(window.get(), FL_Enter);
    EXPECT_EQ(std::string(panel().title, 12), "Crme Brle   ");
    EXPECT_EQ(dialogs->count(RecordingDialogs::Alert), 1);

    // A title written by other means, with a multi-byte character cut at the
    // twelfth byte and a control byte.
    const uint8_t foreign[12] = {'C', 'a', 'f', 0xc3, 0xa9, 0x01, 'x', 'y', 'z', 'w', 'v', 0xc3};
    panel().showTitle(foreign);
    press(panel().writeButton);
    panel().showTitle(reinterpret_cast<const uint8_t*>("Other       "));
    press(panel().readButton);
    EXPECT_STREQ(input->value(), " Caf???xyzwv?");
    EXPECT_EQ(std::memcmp(panel().title, foreign, 12), 0);
    EXPECT_EQ(std::memcmp(pedalState().presets[1].title, foreign, 12), 0);
}

TEST_F(Transport, ReadAppliesThePresetAndLogs) {
    window->presetPanel()->addPreset("Local");
    window->presetPanel()->presetChoice->value(0);
    selectPreset(2);
    press(panel().readButton);
    EXPECT_EQ(dashboardParams(), record(2));
    EXPECT_EQ(std::string(panel().title, 12), title("Factory 3"));
    EXPECT_STREQ(panel().titleInput->value(), (" " + title("Factory 3")).c_str());
    EXPECT_EQ(newLines(), (std::vector<std::string>{"Read operation from Preset 3 OK.",
                                                    "> Param setting as was saved in your pedal is now displayed."}));
    EXPECT_EQ(progressLabel(), "Read complete");
    EXPECT_EQ(window->presetPanel()->presetChoice->value(), -1);
    EXPECT_EQ(panel().readButton->value(), 0);
    EXPECT_TRUE(panel().writeButton->active());
    EXPECT_TRUE(window->dashboard()->active());
    EXPECT_EQ(dialogs->entries.size(), 0u);
}

// Which controls can be used while an action waits for the pedal.
struct Snapshot {
    explicit Snapshot(Orvella* window) : app(window) {}
    Orvella* app;
    bool taken = false;
    bool read = true, write = true, backup = true, light = true, title = true, dashboard = true, connect = true,
         quit = true, presetBar = true, prompt = true;
};

void snapshot_cb(void* data) {
    Snapshot& s = *static_cast<Snapshot*>(data);
    OV_TransportPanel& p = *s.app->transportPanel();
    s.taken = true;
    s.read = p.readButton->active();
    s.write = p.writeButton->active();
    s.backup = p.backupButton->active();
    s.light = static_cast<Fl_Group*>(p.child(3))->child(0)->active();
    s.title = p.titleInput->active();
    s.dashboard = s.app->dashboard()->active();
    s.connect = s.app->connectButton()->active();
    s.quit = s.app->quitButton()->active();
    s.presetBar = s.app->presetPanel()->active();
    s.prompt = s.app->presetPrompt()->active();
}

TEST_F(Transport, ControlsThatCouldStartAnotherExchangeWaitForTheAction) {
    ASSERT_TRUE(pedal->setFaults({"slow-reply=0.4"}));
    // Events are dispatched synchronously here, so a timeout due at once runs
    // at the first event check inside the action, whatever the machine's load.
    Snapshot during(window.get());
    Fl::add_timeout(0.0, snapshot_cb, &during);
    press(panel().readButton);
    ASSERT_TRUE(during.taken);
    EXPECT_FALSE(during.read);
    EXPECT_FALSE(during.write);
    EXPECT_FALSE(during.light);
    EXPECT_FALSE(during.backup);                    // nor a BACKUP or RESTORE in the middle of a READ
    EXPECT_TRUE(during.title);
    EXPECT_FALSE(during.dashboard);
    EXPECT_FALSE(during.connect);
    EXPECT_FALSE(during.quit);
    EXPECT_FALSE(during.presetBar);                 // choosing a local preset would play it mid-exchange
    EXPECT_FALSE(during.prompt);
    EXPECT_EQ(progressLabel(), "Read complete");
    EXPECT_TRUE(window->presetPanel()->active());
    EXPECT_TRUE(window->presetPrompt()->active());

    Snapshot backup(window.get());
    Fl::add_timeout(0.0, snapshot_cb, &backup);
    dialogs->choiceAnswers.push_back(1);
    press(panel().backupButton);
    ASSERT_TRUE(backup.taken);
    EXPECT_FALSE(backup.backup);
    EXPECT_FALSE(backup.read);
    EXPECT_TRUE(panel().backupButton->active());
    EXPECT_TRUE(window->dashboard()->active());
}

TEST_F(Transport, ABackupNeverReplacesAnEarlierOneAndNamesTheFileItWrote) {
    std::vector<uint8_t> first = pedalBank();
    dialogs->choiceAnswers.push_back(1);
    press(panel().backupButton);
    window->dashboard()->apply(record(9).data());
    press(panel().writeButton);
    ASSERT_NE(pedalBank(), first);
    logAtStart = log();
    dialogs->clear();
    dialogs->choiceAnswers.push_back(1);
    press(panel().backupButton);

    std::string second = presetfiles::numberedPath(today(), 2);
    EXPECT_EQ(second.substr(second.size() - 6), "_2.bkp");
    EXPECT_EQ(gui::TestEnvironment::listFolder(folder()).size(), 2u);
    std::string earlier = gui::TestEnvironment::readFile(today());
    std::string later = gui::TestEnvironment::readFile(second);
    EXPECT_EQ(std::vector<uint8_t>(earlier.begin(), earlier.end()), first);
    EXPECT_EQ(std::vector<uint8_t>(later.begin(), later.end()), pedalBank());
    EXPECT_EQ(dialogs->texts(RecordingDialogs::Message),
              std::vector<std::string>{"Backup complete.\n\nBackup file location : " + second});
    EXPECT_EQ(newLines(), (std::vector<std::string>{"File write operation OK.", "> Backup file created: " + second}));
}

TEST_F(Transport, AnActionLeavesAnInactiveDashboardInactive) {
    gui::click(window.get(), 781, 79);               // the local preset prompt holds the Dashboard
    ASSERT_FALSE(window->dashboard()->active());
    press(panel().readButton);
    EXPECT_EQ(progressLabel(), "Read complete");
    EXPECT_FALSE(window->dashboard()->active());
    EXPECT_FALSE(window->connectButton()->active());   // held by the prompt too: it could open another
    EXPECT_TRUE(window->quitButton()->active());
}

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

// Types a title into the field while an action waits for the pedal.
struct TypeTitle {
    Orvella* app;
    bool done = false;
};

void typeTitle_cb(void* data) {
    TypeTitle& t = *static_cast<TypeTitle*>(data);
    TextInput* input = t.app->transportPanel()->titleInput;
    gui::click(t.app, input->x() + 10, input->y() + 10);
    gui::type(t.app, "During");
    gui::key(t.app, FL_Enter);
    t.done = true;
}

TEST_F(Transport, ATitleEnteredDuringAWriteWaitsForTheNextWrite) {
    panel().showTitle(reinterpret_cast<const uint8_t*>("Before      "));
    window->presetPanel()->addPreset("Local");
    window->presetPanel()->presetChoice->value(0);
    ASSERT_TRUE(pedal->setFaults({"slow-reply=0.3"}));
    TypeTitle typing{window.get()};
    Fl::add_timeout(0.0, typeTitle_cb, &typing);    // at the first event check inside the write
    press(panel().writeButton);
    ASSERT_TRUE(typing.done);

    EXPECT_EQ(std::string(reinterpret_cast<char*>(pedalState().presets[0].title), 12), "Before      ");
    EXPECT_EQ(std::string(panel().title, 12), "During      ");
    EXPECT_EQ(progressLabel(), "Write complete");
    EXPECT_EQ(newLines(), (std::vector<std::string>{"Write operation to Preset 1 OK (verified).",
                                                    "> Param setting displayed have been stored in your pedal."}));
    EXPECT_EQ(window->presetPanel()->presetChoice->value(), -1);
    EXPECT_EQ(panel().writeButton->value(), 0);
    EXPECT_TRUE(panel().readButton->active());
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

TEST_F(Transport, APedalUnpluggedDuringReadEndsInTheFailureTail) {
    std::vector<uint8_t> before = dashboardParams();
    ASSERT_TRUE(pedal->setFaults({"unplug"}));
    selectPreset(4);
    press(panel().readButton);
    EXPECT_EQ(dialogs->count(RecordingDialogs::Alert), 1);
    EXPECT_EQ(dialogs->texts(RecordingDialogs::Alert)[0].rfind(tail, 0), 0u);
    EXPECT_EQ(newLines(), (std::vector<std::string>{"Read / Write operation failed.",
                                                    "> No changes has been made. Please try again."}));
    EXPECT_EQ(progressLabel(), "Read / Write error");
    EXPECT_EQ(dashboardParams(), before);
    EXPECT_TRUE(window->connectButton()->active());
    EXPECT_TRUE(panel().readButton->active());
}

TEST_F(Transport, BackupThenRestoreBringsAllEightPresetsBack) {
    std::vector<uint8_t> original = pedalBank();
    dialogs->choiceAnswers.push_back(1);            // "Continue"
    press(panel().backupButton);
    std::string backup = gui::TestEnvironment::readFile(today());
    ASSERT_EQ(backup.size(), 192u);
    EXPECT_EQ(std::vector<uint8_t>(backup.begin(), backup.end()), original);
    EXPECT_EQ(newLines(), (std::vector<std::string>{"File write operation OK.", "> Backup file created: " + today()}));
    EXPECT_EQ(progressLabel(), "Backup complete");

    // Change two presets, then restore.
    window->dashboard()->apply(record(9).data());
    selectPreset(0);
    press(panel().writeButton);
    selectPreset(7);
    press(panel().writeButton);
    ASSERT_NE(pedalBank(), original);
    panel().showTitle(reinterpret_cast<const uint8_t*>("Other title "));
    selectPreset(2);
    window->dashboard()->apply(record(12).data());    // a sound of the user's, not stored
    writeLop(env->root + "/a.lop", "A", record(13), title("A"));
    dialogs->chooserAnswers.push_back({env->root + "/a.lop"});
    window->presetPrompt()->addFilesPressed();
    ASSERT_EQ(window->presetPanel()->presetChoice->value(), 0);

    logAtStart = log();
    dialogs->clear();
    dialogs->choiceAnswers.push_back(1);
    dialogs->chooserAnswers.push_back({today()});
    press(panel().restoreButton);
    EXPECT_EQ(pedalBank(), original);
    EXPECT_EQ(dialogs->texts(RecordingDialogs::Message),
              std::vector<std::string>{"Your pedal has been restored from backup."});
    EXPECT_EQ(newLines(), std::vector<std::string>{"> Preset restore successful."});
    EXPECT_EQ(progressLabel(), "Restore complete");
    // The Dashboard and the title show the selected preset as the pedal now
    // holds it, and the local preset menu names nothing.
    EXPECT_EQ(panel().selectedPreset, 2);
    EXPECT_EQ(dashboardParams(), record(2));
    EXPECT_EQ(std::string(panel().title, 12), "Factory 3   ");
    EXPECT_EQ(window->presetPanel()->presetChoice->value(), -1);
    EXPECT_EQ(window->usb()->progress->w(), 180);     // the bar is back in place
    ASSERT_EQ(dialogs->chooserRequests.size(), 1u);
    EXPECT_EQ(dialogs->chooserRequests[0].title, "Browse Backup File (.bkp)");
    EXPECT_EQ(dialogs->chooserRequests[0].directory, env->home + "/Kestrova/Orvella/presets");
}

// Unplugs the pedal once the first preset of a restore is stored and verified.
struct UnplugAfterFirst {
    Orvella* app;
    testpedal::VirtualPedal* pedal;
    bool done = false;
};

void unplugAfterFirst_cb(void* data) {
    UnplugAfterFirst& u = *static_cast<UnplugAfterFirst*>(data);
    // The link shows this label below 100 while it stores; the restore sets
    // 100 once a preset is verified.
    Fl_Progress* bar = u.app->usb()->progress;
    if (bar->value() >= 100 && bar->label() && std::strcmp(bar->label(), "w o r k i n g ...") == 0) {
        u.pedal->unplug();
        u.done = true;
    } else {
        Fl::repeat_timeout(0.005, unplugAfterFirst_cb, data);
    }
}

TEST_F(Transport, APedalUnpluggedDuringRestoreKeepsWhatWasStored) {
    pickBackup();
    // Preset 1 stored, preset 2 the failing store, preset 6 never reached.
    for (int selected : {0, 1, 5}) {
        SCOPED_TRACE(selected);
        if (selected != 0) {
            pedal->plugIn();
            pickBackup();
            logAtStart = log();
            dialogs->clear();
        }
        selectPreset(selected);
        window->dashboard()->apply(record(9).data());
        UnplugAfterFirst unplug{window.get(), pedal.get()};
        Fl::add_timeout(0.0, unplugAfterFirst_cb, &unplug);
        press(panel().restoreButton);
        Fl::remove_timeout(unplugAfterFirst_cb, &unplug);
        ASSERT_TRUE(unplug.done);

        std::vector<std::string> alerts = dialogs->texts(RecordingDialogs::Alert);
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_EQ(alerts[0].rfind("Preset restore has failed due to erroneous data transfer.\n"
                                  "Preset 1 had already been overwritten.\n",
                                  0),
                  0u);
        std::vector<std::string> lines = newLines();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[0], "> Preset restore failed. Please try again.");
        EXPECT_EQ(lines[1], "> Preset 1 had already been overwritten.");
        EXPECT_EQ(progressLabel(), "Preset restore error");
        EXPECT_EQ(progressColour(), 0x80000000u);
        EXPECT_EQ(window->usb()->progress->w(), 180);
        PedalState state = pedalState();
        EXPECT_EQ(bytesOf(state.presets[0].params, 12), record(10));   // stored before the unplug
        EXPECT_EQ(bytesOf(state.presets[7].params, 12), record(7));    // never reached
        EXPECT_TRUE(window->connectButton()->active());
        if (selected == 0) {
            // Preset 1 was stored and verified: the Dashboard shows what it now holds.
            EXPECT_EQ(lines.size(), 2u);
            EXPECT_EQ(dashboardParams(), record(10));
            EXPECT_EQ(std::string(panel().title, 12), "Backup 0    ");
        } else {
            // Preset 2 failed to store and preset 6 was not reached; the
            // pedal is gone: neither is shown from the file, the Dashboard
            // keeps the sound it had, and the log says why.
            ASSERT_EQ(lines.size(), 3u);
            EXPECT_EQ(lines[2], "> Preset " + std::to_string(selected + 1) +
                                    " could not be read back; the Dashboard keeps its sound.");
            EXPECT_EQ(dashboardParams(), record(9));
        }
    }
}

TEST_F(Transport, AFailedBackupKeepsTheDaysEarlierBackup) {
    std::string earlier(192, 'e');
    ASSERT_TRUE(gui::TestEnvironment::writeFile(today(), earlier));
    ASSERT_TRUE(pedal->setFaults({"unplug"}));
    dialogs->choiceAnswers.push_back(1);
    press(panel().backupButton);
    EXPECT_EQ(gui::TestEnvironment::readFile(today()), earlier);
    EXPECT_EQ(gui::TestEnvironment::listFolder(folder()).size(), 1u);   // no temporary file left
    EXPECT_EQ(progressLabel(), "Read / Write error");
    EXPECT_EQ(dialogs->count(RecordingDialogs::Alert), 1);
}

TEST_F(Transport, BackupAndRestoreCancelledChangeNothing) {
    press(panel().backupButton);                    // question answered "Cancel"
    dialogs->choiceAnswers.push_back(1);
    press(panel().restoreButton);                   // chooser cancelled
    EXPECT_EQ(dialogs->count(RecordingDialogs::Choice), 2);
    EXPECT_EQ(dialogs->count(RecordingDialogs::Alert), 0);
    EXPECT_EQ(newLog(), "");
    EXPECT_EQ(gui::TestEnvironment::listFolder(folder()).size(), 0u);
}

TEST_F(Transport, RestoreRefusesAFileThatIsNotOneBank) {
    std::vector<uint8_t> before = pedalBank();
    size_t sent = pedal->commands().size();
    for (size_t size : {0ul, 100ul, 191ul, 193ul}) {
        std::string path = env->root + "/odd" + std::to_string(size) + ".bkp";
        gui::TestEnvironment::writeFile(path, std::string(size, '\x01'));
        dialogs->clear();
        dialogs->choiceAnswers.push_back(1);
        dialogs->chooserAnswers.push_back({path});
        press(panel().restoreButton);
        ASSERT_EQ(dialogs->count(RecordingDialogs::Alert), 1) << size;
        EXPECT_NE(dialogs->texts(RecordingDialogs::Alert)[0].find("holds " + std::to_string(size)), std::string::npos);
        EXPECT_EQ(progressLabel(), "File error");
    }
    EXPECT_EQ(pedal->commands().size(), sent);      // not one byte went to the pedal
    EXPECT_EQ(pedalBank(), before);

    dialogs->clear();
    dialogs->choiceAnswers.push_back(1);
    dialogs->chooserAnswers.push_back({env->root + "/missing.bkp"});
    press(panel().restoreButton);
    EXPECT_EQ(dialogs->texts(RecordingDialogs::Alert)[0].rfind("A problem is encountered", 0), 0u);
    EXPECT_NE(newLog().find("Failed to open selected backup file - Error code : 2."), std::string::npos);
}

// Any 192 bytes pass the size check; a restore must still send nothing that
// a pedal does not hold: the alert names the first bad preset and why.
TEST_F(Transport, RestoreRefusesABankWithBytesAPedalDoesNotHold) {
    std::vector<uint8_t> before = pedalBank();
    size_t sent = pedal->commands().size();
    auto bankWith = [](int badPreset, int byte, uint8_t value, int titleChar = -1) {
        std::string bank;
        for (int i = 0; i < 8; ++i) {
            std::vector<uint8_t> r = record(i);
            if (i == badPreset && byte >= 0) r[byte] = value;
            bank.append(r.begin(), r.end());
        }
        for (int i = 0; i < 8; ++i) bank += title("R" + std::to_string(i));
        if (titleChar >= 0) bank[96 + 12 * badPreset + titleChar] = static_cast<char>(value);
        return bank;
    };
    std::string text;                               // a plain text file of the right size
    while (text.size() < 192) text += "Notes for the gig on Friday: bring spare strings.\n";
    text.resize(192);
    struct Case {
        std::string bytes;
        std::string named;                          // what the alert and the log say
    };
    const Case cases[] = {
        {text, "Preset 1: its left speaker is 111, which names no speaker"},
        {bankWith(4, sound::Mic_L, 250), "Preset 5: its left microphone is 250, above 62"},
        {bankWith(6, sound::Speaker_R, 41), "Preset 7: its right speaker is 41, which names no speaker"},
        {bankWith(2, -1, '\n', 5), "Preset 3: its title holds the control byte 0x0A at character 6"},
    };
    for (const Case& c : cases) {
        std::string path = env->root + "/suspect.bkp";
        ASSERT_TRUE(gui::TestEnvironment::writeFile(path, c.bytes));
        logAtStart = log();
        dialogs->clear();
        dialogs->choiceAnswers.push_back(1);
        dialogs->chooserAnswers.push_back({path});
        press(panel().restoreButton);
        std::vector<std::string> alerts = dialogs->texts(RecordingDialogs::Alert);
        ASSERT_EQ(alerts.size(), 1u) << c.named;
        EXPECT_NE(alerts[0].find(c.named + "."), std::string::npos) << alerts[0];
        EXPECT_NE(alerts[0].find("Nothing has been sent to the pedal."), std::string::npos);
        EXPECT_EQ(newLines(), (std::vector<std::string>{"Backup file refused - " + c.named + ".",
                                                        "> No changes has been made."}));
        EXPECT_EQ(progressLabel(), "File error");
        EXPECT_EQ(dialogs->count(RecordingDialogs::Message), 0);
    }
    EXPECT_EQ(pedal->commands().size(), sent);      // not one byte went to the pedal
    EXPECT_EQ(pedalBank(), before);

    // Titles of printable ASCII, limits included, go through unchanged.
    std::string edge = bankWith(0, -1, 0x7E, 11);
    edge[96 + 1] = ' ';
    edge[5] = static_cast<char>(200);
    std::string path = env->root + "/edge.bkp";
    ASSERT_TRUE(gui::TestEnvironment::writeFile(path, edge));
    dialogs->clear();
    dialogs->choiceAnswers.push_back(1);
    dialogs->chooserAnswers.push_back({path});
    press(panel().restoreButton);
    EXPECT_EQ(progressLabel(), "Restore complete");
    EXPECT_EQ(pedalBank(), std::vector<uint8_t>(edge.begin(), edge.end()));
}

// What the program prints on standard output while this lives.
class StdoutCapture {
public:
    explicit StdoutCapture(const std::string& path) : path_(path) {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDOUT_FILENO);
        close(fd);
    }
    ~StdoutCapture() { restore(); }
    std::string text() {
        restore();
        return gui::TestEnvironment::readFile(path_);
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        saved_ = -1;
    }
    std::string path_;
    int saved_ = -1;
};

using Restore = Transport;

TEST_F(Restore, ACorruptedEchoIsRetriedAndReportedOnStandardOutput) {
    std::string bank = pickBackup();
    ASSERT_TRUE(pedal->setFaults({"corrupt-echo"}));
    StdoutCapture out(env->root + "/stdout.txt");
    press(panel().restoreButton);
    std::string printed = out.text();
    EXPECT_NE(printed.find("--> Auto-retry triggered.\n"), std::string::npos);
    EXPECT_EQ(printed.find("--> Auto-retry failed to fix."), std::string::npos);
    EXPECT_EQ(progressLabel(), "Restore complete");
    EXPECT_EQ(dialogs->count(RecordingDialogs::Alert), 0);
    EXPECT_EQ(pedalBank(), std::vector<uint8_t>(bank.begin(), bank.end()));
    EXPECT_EQ(stores(), 9);
}

TEST_F(Restore, AnEchoStillWrongAfterTheRetryStopsTheRestore) {
    pickBackup();
    ASSERT_TRUE(pedal->setFaults({"corrupt-echo-always"}));
    StdoutCapture out(env->root + "/stdout.txt");
    press(panel().restoreButton);
    std::string printed = out.text();
    size_t retried = printed.find("--> Auto-retry triggered.\n");
    ASSERT_NE(retried, std::string::npos);
    EXPECT_NE(printed.find("--> Auto-retry failed to fix.\n\n", retried), std::string::npos);
    EXPECT_EQ(stores(), 2);                         // the first preset, and its one retry
    EXPECT_EQ(dialogs->count(RecordingDialogs::Alert), 1);
    EXPECT_EQ(progressLabel(), "Preset restore error");
}

// Every echo is right, but the pedal keeps other titles: the read-back of
// the first preset tells, and the restore stops there after the one retry
// rather than overwrite all eight.
TEST_F(Restore, APedalThatKeepsOtherRecordsThanItEchoesStopsAtTheFirstPreset) {
    std::string bank = pickBackup();
    std::vector<uint8_t> before = pedalBank();
    ASSERT_TRUE(pedal->setFaults({"keep-wrong-record"}));
    StdoutCapture out(env->root + "/stdout.txt");
    press(panel().restoreButton);
    std::string printed = out.text();
    size_t retried = printed.find("--> Auto-retry triggered.\n");
    ASSERT_NE(retried, std::string::npos) << printed;
    EXPECT_NE(printed.find("--> Auto-retry failed to fix.\n\n", retried), std::string::npos);
    EXPECT_EQ(stores(), 2);
    std::vector<std::string> alerts = dialogs->texts(RecordingDialogs::Alert);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].rfind("Preset restore has failed due to erroneous data transfer.\n"
                              "No preset had been overwritten yet. Preset 1 may now hold a damaged copy.\n", 0), 0u);
    EXPECT_EQ(dialogs->count(RecordingDialogs::Message), 0);
    std::vector<std::string> lines = newLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "> Preset restore failed. Please try again.");
    EXPECT_EQ(lines[1], "> No preset had been overwritten yet. Preset 1 may now hold a damaged copy.");
    EXPECT_EQ(progressLabel(), "Preset restore error");
    std::vector<uint8_t> kept = pedalBank();
    EXPECT_TRUE(std::equal(kept.begin() + 96, kept.begin() + 96 + 11, bank.begin() + 96));
    EXPECT_NE(kept[96 + 11], static_cast<uint8_t>(bank[96 + 11]));
    EXPECT_TRUE(std::equal(kept.begin() + 12, kept.begin() + 96, before.begin() + 12));     // 2 to 8 untouched
    EXPECT_TRUE(std::equal(kept.begin() + 108, kept.end(), before.begin() + 108));

    // Each of the 24 bytes read back counts: the record's 12, then the title's.
    StdoutCapture quiet(env->root + "/stdout.txt");
    for (int n = 0; n < 24; ++n) {
        ASSERT_TRUE(pedal->setFaults({"keep-wrong-byte=" + std::to_string(n)}));
        pickBackup();
        dialogs->clear();
        const int stored = stores();
        press(panel().restoreButton);
        EXPECT_EQ(dialogs->count(RecordingDialogs::Alert), 1) << "byte " << n;
        EXPECT_EQ(stores() - stored, 2) << "byte " << n;     // preset 1 and its retry
        const int at = n < 12 ? n : 96 + n - 12;
        EXPECT_NE(pedalBank()[at], static_cast<uint8_t>(bank[at])) << "byte " << n;
    }
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

TEST_F(Transport, ABackupThatCannotBeCreatedAsksNothingOfThePedal) {
    std::filesystem::remove_all(folder());          // the preset folder has gone
    size_t sent = pedal->commands().size();
    dialogs->choiceAnswers.push_back(1);
    press(panel().backupButton);
    // The editor's own words, then where and why.
    const std::vector<std::string> alerts = dialogs->texts(RecordingDialogs::Alert);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].rfind("Failed to create backup file. If problem persisted try rebooting your computer\n", 0), 0u);
    EXPECT_NE(alerts[0].find(folder()), std::string::npos);
    EXPECT_NE(alerts[0].find(std::strerror(ENOENT)), std::string::npos);
    EXPECT_EQ(newLines(), (std::vector<std::string>{"Backup operation failed.", "> Backup file can not be created."}));
    EXPECT_EQ(progressLabel(), "Backup failed");
    EXPECT_EQ(progressColour(), 0x4444ff00u);
    EXPECT_EQ(pedal->commands().size(), sent);
}

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
