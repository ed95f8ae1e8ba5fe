// RESTORE: a backup file back into the pedal's eight presets, each stored,
// verified and retried once; files no pedal holds are refused before
// anything is sent, and a failure says which presets were overwritten.
#include "tests/presets/TransportFixture.h"

#include "sound/Params.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using namespace presettest;
using gui::RecordingDialogs;

namespace {

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

}  // namespace
