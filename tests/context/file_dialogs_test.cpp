// The one file chooser: the folder each kind of file starts in, the
// extension added before the question about replacing a file, and the text
// of a failure. Through a recording dialog handler; no display needed.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <unistd.h>

#include "base/dialogs.h"
#include "base/file_dialogs.h"
#include "base/files.h"
#include "base/platform.h"

namespace {

struct Answers : dialogs::Handler {
    std::deque<std::string> picks;
    std::deque<int> choices;
    std::vector<dialogs::ChooserRequest> requests;
    std::vector<std::string> questions;
    Answers() { dialogs::setHandler(this); }
    ~Answers() override { dialogs::setHandler(nullptr); }
    void alert(const std::string&) override {}
    void message(const std::string&) override {}
    int choice(const std::string& q, const char*, const char*, const char*) override {
        questions.push_back(q);
        const int answer = choices.front();
        choices.pop_front();
        return answer;
    }
    int chooseFiles(const dialogs::ChooserRequest& r, std::vector<std::string>& picked) override {
        requests.push_back(r);
        picked = {picks.front()};
        picks.pop_front();
        return 0;
    }
    const Fl_Menu_Item* popup(const Fl_Menu_Item*, int, int) override { return nullptr; }
};

}  // namespace

TEST(FileDialogs, StartWhereTheKindLivesAddTheExtensionBeforeAskingAndSayWhyAWriteFailed) {
    const std::string home = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/orvella_fd_" +
                             std::to_string(::getpid());
    ASSERT_TRUE(platform::makeFolders(home + "/out"));
    platform::setEnv("HOME", home);
    platform::setEnv("HOMEDRIVE", home);
    platform::setEnv("USERPROFILE", home);
    const std::string presets = home + "/Kestrova/Orvella/presets";
    ASSERT_TRUE(files::writeFileAtomically(home + "/out/taken.wav", "x", 1));
    struct Row {
        filedialogs::Kind kind;
        std::string folder;        // where the chooser starts
        std::string picked;        // what the user typed
        std::vector<int> answers;  // to the question about replacing
        std::string path;          // what the save gives ("" nothing)
    };
    const Row rows[] = {
        {filedialogs::Kind::Preset, presets, home + "/out/new", {}, home + "/out/new.lop"},
        {filedialogs::Kind::Backup, presets, home + "/out/b.bkp", {}, home + "/out/b.bkp"},
        {filedialogs::Kind::Wav, home, home + "/out/taken", {0}, ""},
        // A save that was not made leaves the start folder as it was; one made sets it.
        {filedialogs::Kind::Wav, home, home + "/out/taken", {1}, home + "/out/taken.wav"},
        {filedialogs::Kind::Wav, home + "/out", home + "/out/new.WAV", {}, home + "/out/new.WAV"},
    };
    for (const Row& row : rows) {
        Answers answers;
        answers.picks.push_back(row.picked);
        answers.choices.assign(row.answers.begin(), row.answers.end());
        std::string path;
        EXPECT_EQ(filedialogs::saveFile(row.kind, "Save", "proposed", path), !row.path.empty()) << row.picked;
        EXPECT_EQ(row.path.empty() ? "" : path, row.path);
        ASSERT_EQ(answers.requests.size(), 1u);
        EXPECT_EQ(answers.requests[0].directory, row.folder) << row.picked;
        EXPECT_TRUE(answers.requests[0].save);
        EXPECT_EQ(answers.requests[0].fileName, "proposed");
        // Asked only about the file the save would replace, by its full name.
        ASSERT_EQ(answers.questions.size(), row.answers.size());
        if (!row.answers.empty()) {
            EXPECT_NE(answers.questions[0].find(home + "/out/taken."), std::string::npos);
        }
    }
    const std::string text = filedialogs::failureText("Failed to create backup file.", "/ro/b.bkp", EACCES);
    EXPECT_EQ(text.find("Failed to create backup file."), 0u);
    EXPECT_NE(text.find("/ro/b.bkp"), std::string::npos);
    EXPECT_NE(text.find(std::strerror(EACCES)), std::string::npos);
    std::remove((home + "/out/taken.wav").c_str());
}
