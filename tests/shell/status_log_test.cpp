// The status log: line format, shared stamps, scrolling, and Save log.
#include <gtest/gtest.h>

#include <FL/Fl.H>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <regex>
#include <string>

#include "tests/support/gui/Events.h"
#include "tests/support/gui/StatusLog.h"
#include "tests/support/gui/RecordingDialogs.h"
#include "tests/support/gui/TestEnvironment.h"
#include "presets/PresetFiles.h"
#include "shell/main_window.h"
#include "shell/status_log.h"

using gui::RecordingDialogs;
using gui::TestEnvironment;
using gui::logText;

namespace {

const char* const saveEntry = "  < Save records to a log file >  ";

class StatusLog : public ::testing::Test {
protected:
    TestEnvironment env;
    RecordingDialogs dialogs;
    std::unique_ptr<Orvella> window = env.openWindow();
};

}  // namespace

TEST_F(StatusLog, LinesCarryTheStampAndEndInANewline) {
    window->stampStatus();
    window->logStatus("Write complete - preset %d", 3);
    struct tm* t = window->logTime();
    char expected[64];
    snprintf(expected, sizeof expected, "[%02d:%02d:%02d] :  Write complete - preset 3\n", t->tm_hour,
             t->tm_min, t->tm_sec);
    EXPECT_EQ(std::string(window->logLine()), expected);
    std::string text = logText(window.get());
    EXPECT_EQ(text.substr(text.size() - std::string(expected).size()), expected);
}

TEST_F(StatusLog, LinesOfOneActionShareItsStamp) {
    struct tm fixed = {};
    fixed.tm_hour = 7;
    fixed.tm_min = 5;
    fixed.tm_sec = 9;
    window->stampStatus();
    *window->logTime() = fixed;
    window->logStatus("first");
    window->logStatus("> second");
    std::string text = logText(window.get());
    EXPECT_NE(text.find("[07:05:09] :  first\n[07:05:09] :  > second\n"), std::string::npos) << text;
}

TEST_F(StatusLog, LongTextIsCutAndTheLineStillEnds) {
    std::string longText(500, 'x');
    window->stampStatus();
    window->logStatus("%s", longText.c_str());
    std::string line = window->logLine();
    EXPECT_EQ(line.size(), 191u);
    EXPECT_EQ(line.back(), '\n');
    EXPECT_EQ(line.substr(0, 1), "[");
    // The next line starts cleanly after the cut one.
    window->logStatus("after");
    std::string text = logText(window.get());
    EXPECT_NE(text.find("xxx\n["), std::string::npos);
}

TEST_F(StatusLog, AdvanceKeepsTheOutcomeInViewAndNeverRunsPastTheText) {
    window->stampStatus();
    for (int i = 0; i < 40; ++i) window->logStatus("line %d", i);
    window->advanceStatus(40);
    gui::settle();
    TextBoard* board = window->statusLog();
    int lines = board->textBuffer->count_lines(0, board->textBuffer->length());
    int top = board->topLine();
    EXPECT_GT(top, 1);
    EXPECT_LE(top + board->visibleLines() - 1, lines + 3);   // the toolkit's clamp
    // Advancing far beyond the text still leaves the last lines in view.
    window->advanceStatus(1000);
    gui::settle();
    EXPECT_LE(board->topLine(), lines + 1);
    EXPECT_GE(board->topLine() + board->visibleLines(), lines);
}

TEST_F(StatusLog, RightClickOffersOneEntryEvenWhenEmptyAndSavesTheText) {
    window->statusLog()->textBuffer->text("");
    dialogs.popupPicks.push_back(saveEntry);
    time_t before = time(nullptr);
    gui::rightClick(window.get(), 100, 570);
    time_t after = time(nullptr);
    ASSERT_EQ(dialogs.popupLabels.size(), 1u);
    EXPECT_EQ(dialogs.popupLabels[0], std::vector<std::string>{saveEntry});

    std::vector<std::string> files = TestEnvironment::listFolder(env.desktop);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(std::regex_match(files[0], std::regex(R"(Orvella_Log_\d\d-\d\d-\d{4}_at_\d\d\.\d\d\.\d\d\.log)")))
        << files[0];
    bool named = false;
    for (time_t t = before; t <= after; ++t) {
        struct tm when;
        localtime_r(&t, &when);
        named |= statuslog::logFilePath(env.desktop, when) == env.desktop + "/" + files[0];
    }
    EXPECT_TRUE(named) << files[0];
    EXPECT_EQ(TestEnvironment::readFile(env.desktop + "/" + files[0]), "");
    EXPECT_EQ(dialogs.texts(RecordingDialogs::Message),
              std::vector<std::string>{"Status records have been successfully written to a log file.\n\n"
                                       "File location : Desktop"});
}

TEST_F(StatusLog, SavedFileHoldsExactlyTheLogAndTheLogIsUnchanged) {
    window->stampStatus();
    window->logStatus("Pedal is not found.");
    std::string before = logText(window.get());
    dialogs.popupPicks.push_back(saveEntry);
    gui::rightClick(window.get(), 300, 560);
    std::vector<std::string> files = TestEnvironment::listFolder(env.desktop);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(TestEnvironment::readFile(env.desktop + "/" + files[0]), before);
    EXPECT_EQ(logText(window.get()), before);
}

TEST_F(StatusLog, FileNameFormatAndASecondSaveInTheSameSecondReplacesTheFirst) {
    struct tm when = {};
    when.tm_mday = 6;
    when.tm_mon = 11;
    when.tm_year = 126;
    when.tm_hour = 18;
    when.tm_min = 5;
    when.tm_sec = 9;
    std::string path = statuslog::logFilePath(env.desktop, when);
    EXPECT_EQ(path, env.desktop + "/Orvella_Log_06-12-2026_at_18.05.09.log");
    ASSERT_TRUE(files::writeFileAtomically(path, "first, longer text", 18));
    ASSERT_TRUE(files::writeFileAtomically(path, "second", 6));
    EXPECT_EQ(TestEnvironment::readFile(path), "second");
    EXPECT_EQ(TestEnvironment::listFolder(env.desktop).size(), 1u);   // no temporary left
}

TEST_F(StatusLog, UnwritableDesktopGivesAnAlertNamingThePathAndKeepsTheLog) {
    window->stampStatus();
    window->logStatus("kept");
    std::string before = logText(window.get());
    // A profile folder that does not exist cannot be written, even by root.
    // Its at-sign is doubled in the alert, where the toolkit would take one
    // for the start of a symbol.
    std::string missing = env.root + "/no-such@profile";
    setenv("USERPROFILE", missing.c_str(), 1);
    dialogs.popupPicks.push_back(saveEntry);
    gui::rightClick(window.get(), 100, 570);
    setenv("USERPROFILE", env.home.c_str(), 1);
    std::vector<std::string> alerts = dialogs.texts(RecordingDialogs::Alert);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].find(env.root + "/no-such@@profile/Orvella_Log_"), std::string::npos) << alerts[0];
    EXPECT_EQ(dialogs.count(RecordingDialogs::Message), 0);
    EXPECT_EQ(logText(window.get()), before);
}

TEST_F(StatusLog, MissingDesktopFolderSaveNamesWhereTheFileWent) {
    ASSERT_EQ(rmdir(env.desktop.c_str()), 0);
    dialogs.popupPicks.push_back(saveEntry);
    gui::rightClick(window.get(), 100, 570);
    ASSERT_EQ(TestEnvironment::listFolder(env.home).size(), 1u);
    std::vector<std::string> messages = dialogs.texts(RecordingDialogs::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Status records have been successfully written to a log file.\n\nFile location : " +
                               env.home);

    // A profile whose name holds an at-sign is named as it is (doubled for the toolkit).
    std::string profile = env.root + "/user@host";
    ASSERT_EQ(mkdir(profile.c_str(), 0755), 0);
    setenv("USERPROFILE", profile.c_str(), 1);
    dialogs.popupPicks.push_back(saveEntry);
    gui::rightClick(window.get(), 100, 570);
    setenv("USERPROFILE", env.home.c_str(), 1);
    EXPECT_EQ(TestEnvironment::listFolder(profile).size(), 1u);
    messages = dialogs.texts(RecordingDialogs::Message);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].substr(messages[1].find("File location : ")),
              "File location : " + env.root + "/user@@host");
}

TEST_F(StatusLog, NoPickSavesNothingAndTheReleaseIsSwallowed) {
    gui::press(window.get(), 100, 570, 3);
    EXPECT_EQ(dialogs.popupLabels.size(), 1u);
    EXPECT_EQ(Fl::handle(FL_RELEASE, window.get()), 1);
    EXPECT_TRUE(TestEnvironment::listFolder(env.desktop).empty());
}

TEST_F(StatusLog, LeftDragSelectsTextAndTheLogStaysReadOnly) {
    std::string before = logText(window.get());
    TextBoard* board = window->statusLog();
    board->scroll(1, 0);
    gui::settle();
    int y = board->y() + 8;
    gui::press(window.get(), board->x() + 10, y);
    gui::drag(window.get(), board->x() + 200, y);
    gui::release(window.get(), board->x() + 200, y);
    EXPECT_TRUE(board->textBuffer->selected());
    gui::type(window.get(), "typed");
    EXPECT_EQ(logText(window.get()), before);
    EXPECT_EQ(dialogs.popupLabels.size(), 0u);
}
