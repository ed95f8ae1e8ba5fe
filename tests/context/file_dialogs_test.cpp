// The one file chooser: the folder each kind of file starts in, the
// extension added before the question about replacing a file, and the text
// of a failure. Through the recording dialog handler; no display needed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/file_dialogs.h"
#include "base/files.h"
#include "base/platform.h"
#include "tests/support/gui/RecordingDialogs.h"

TEST(FileDialogs, StartWhereTheKindLivesAddTheExtensionBeforeAskingAndSayWhyAWriteFailed) {
    const std::string home = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/orvella_fd_" +
                             std::to_string(::getpid()), out = home + "/out";
    ASSERT_TRUE(platform::makeFolders(out));
    for (const char* name : {"HOME", "HOMEDRIVE", "USERPROFILE"}) platform::setEnv(name, home);
    ASSERT_TRUE(files::writeFileAtomically(out + "/taken.wav", "x", 1));
    const std::string presets = home + "/Kestrova/Orvella/presets";
    using filedialogs::Kind;
    struct Row {
        Kind kind;
        std::string folder, typed;  // where the chooser starts, what the user typed
        std::deque<int> answers;    // to the question about replacing, if asked
        std::string path;           // what the save gives ("" nothing)
    } const rows[] = {
        {Kind::Preset, presets, out + "/new", {}, out + "/new.lop"},
        {Kind::Backup, presets, out + "/b.bkp", {}, out + "/b.bkp"},
        {Kind::Wav, home, out + "/taken", {0}, ""},
        // A save not made leaves the start folder as it was; one made sets it.
        {Kind::Wav, home, out + "/taken", {1}, out + "/taken.wav"},
        {Kind::Wav, out, out + "/new.WAV", {}, out + "/new.WAV"},
    };
    for (const Row& row : rows) {
        gui::RecordingDialogs dialogs;
        dialogs.chooserAnswers.push_back({row.typed});
        dialogs.choiceAnswers = row.answers;
        std::string path;
        EXPECT_EQ(filedialogs::saveFile(row.kind, "Save", "proposed", path), !row.path.empty()) << row.typed;
        EXPECT_EQ(row.path.empty() ? "" : path, row.path);
        ASSERT_EQ(dialogs.chooserRequests.size(), 1u);
        EXPECT_EQ(dialogs.chooserRequests[0].directory, row.folder) << row.typed;
        EXPECT_EQ(dialogs.chooserRequests[0].fileName, "proposed");
        // Asked only about the file the save would replace, by its full name.
        const std::vector<std::string> asked = dialogs.texts(gui::RecordingDialogs::Choice);
        ASSERT_EQ(asked.size(), row.answers.size());
        for (const std::string& question : asked) EXPECT_NE(question.find(out + "/taken.wav"), std::string::npos);
    }
    const std::string text = filedialogs::failureText("Failed to create backup file.", "/ro/b.bkp", EACCES);
    EXPECT_EQ(text.find("Failed to create backup file."), 0u);
    EXPECT_NE(text.find("/ro/b.bkp"), std::string::npos);
    EXPECT_NE(text.find(std::strerror(EACCES)), std::string::npos);
    std::remove((out + "/taken.wav").c_str());
}
