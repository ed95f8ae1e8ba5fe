// BACKUP: the pedal's eight presets to a dated file in the preset folder,
// never replacing an earlier one, and what a failure keeps. The round trip
// with RESTORE is in transport_restore_test.cpp.
#include "tests/presets/TransportFixture.h"

#include <FL/Fl_Button.H>

#include <cerrno>
#include <cstring>
#include <filesystem>

using namespace presettest;
using gui::RecordingDialogs;

namespace {

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

    std::string second = files::numberedPath(today(), 2);
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

}  // namespace
