// The local preset library through the real window: the "+" prompt, saving,
// importing, choosing and removing, with the files checked byte for byte.
#include "tests/presets/PresetsGui.h"

#include "editor/TextInput.h"

#include <FL/Fl_Choice.H>
#include <FL/Fl_Toggle_Button.H>

#include <sys/stat.h>

using namespace presettest;
using gui::RecordingDialogs;

namespace {

const char* const askName = "Please type in the preset name in the provided space.";
const char* const replaceQuestion = "A preset with the same name already existed, continue to replace?";

class LocalPresets : public PresetsGui {
protected:
    void openPrompt() {
        gui::click(window.get(), 781, 79);       // "+"
        gui::settle();
        ASSERT_TRUE(window->presetPrompt()->visible());
        ASSERT_FALSE(window->dashboard()->active());
        ASSERT_EQ(window->presetPanel()->addButton->value(), 0);
    }
    // Clicks into the name field (which empties it) and types.
    void typeName(const std::string& name) {
        TextInput* input = window->presetPrompt()->nameInput;
        gui::click(window.get(), input->x() + 20, input->y() + 10);
        gui::type(window.get(), name);
    }
    void pressSave() {
        Fl_Toggle_Button* save = window->presetPrompt()->saveButton;
        gui::click(window.get(), save->x() + 10, save->y() + 10);
        EXPECT_EQ(save->value(), 0);
    }
    void save(const std::string& name) {
        openPrompt();
        typeName(name);
        pressSave();
    }
    void importFiles(const std::vector<std::string>& files) {
        openPrompt();
        dialogs->chooserAnswers.push_back(files);
        window->presetPrompt()->addFilesPressed();
    }
    void choose(int index) {
        window->presetPanel()->presetChoice->value(index);
        window->presetPanel()->presetChoice->do_callback();
    }
    std::vector<uint8_t> paramsOfFile(const std::string& path) {
        std::vector<uint8_t> bytes;
        presetfiles::LocalPreset preset;
        EXPECT_TRUE(files::readFile(path, bytes));
        EXPECT_EQ(presetfiles::decodeLop(bytes, preset), presetfiles::LopStatus::Ok);
        return bytesOf(preset.preset.record(), 12);
    }
    int items() const { return window->presetPanel()->presetCount; }
    int selected() const { return window->presetPanel()->presetChoice->value(); }
};

TEST_F(LocalPresets, SavingCleanWritesThirtyBytesAndOneListLine) {
    std::vector<uint8_t> params = dashboardParams();
    std::string shownTitle(window->transportPanel()->title, 12);
    save("Clean");

    std::string bytes = gui::TestEnvironment::readFile(lop("Clean"));
    ASSERT_EQ(bytes.size(), 30u);
    EXPECT_EQ(bytes.substr(0, 6), "Clean\n");
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 6, bytes.begin() + 18), params);
    EXPECT_EQ(bytes.substr(18), shownTitle);
    EXPECT_EQ(gui::TestEnvironment::readFile(list()), lop("Clean") + "\n");
    EXPECT_EQ(items(), 1);
    EXPECT_EQ(selected(), 0);
    EXPECT_FALSE(window->presetPrompt()->visible());
    EXPECT_TRUE(window->dashboard()->active());
    EXPECT_EQ(dialogs->entries.size(), 0u);
}

TEST_F(LocalPresets, SavingAnExistingNameAsksBeforeReplacing) {
    save("Clean");
    save("Other");
    std::string before = gui::TestEnvironment::readFile(lop("Clean"));
    window->transportPanel()->showTitle(reinterpret_cast<const uint8_t*>("New title   "));

    save("Clean");                              // answered "Cancel"
    EXPECT_EQ(dialogs->texts(RecordingDialogs::Choice), std::vector<std::string>{replaceQuestion});
    EXPECT_TRUE(window->presetPrompt()->visible());
    EXPECT_FALSE(window->dashboard()->active());
    EXPECT_EQ(gui::TestEnvironment::readFile(lop("Clean")), before);

    dialogs->choiceAnswers.push_back(1);        // "Yes just replace it"
    pressSave();
    EXPECT_EQ(gui::TestEnvironment::readFile(lop("Clean")).substr(18), "New title   ");
    EXPECT_EQ(listLines().size(), 2u);          // no second line for Clean
    EXPECT_EQ(items(), 2);
    EXPECT_EQ(selected(), 0);
    EXPECT_FALSE(window->presetPrompt()->visible());
}

TEST_F(LocalPresets, NamesWithMenuCharactersStayOneItemEach) {
    save("_Lead & Rhythm");
    save("Bass_2");
    ASSERT_EQ(items(), 2);
    EXPECT_EQ(window->presetPanel()->presetChoice->size(), 3);   // two items and the terminator
    EXPECT_EQ(window->presetPanel()->presetName(0), "_Lead & Rhythm");
    EXPECT_STREQ(window->presetPanel()->presetChoice->text(0), "_Lead && Rhythm");   // drawn with one '&'
    EXPECT_EQ(window->presetPanel()->findPreset("_Lead & Rhythm"), 0);
    EXPECT_STREQ(window->presetPanel()->presetChoice->text(1), "Bass_2");
    EXPECT_EQ(gui::TestEnvironment::readFile(lop("_Lead & Rhythm")).substr(0, 15), "_Lead & Rhythm\n");
}

TEST_F(LocalPresets, SaveBeforeTypingAsksForTheName) {
    openPrompt();
    pressSave();
    EXPECT_EQ(dialogs->texts(RecordingDialogs::Alert), std::vector<std::string>{askName});
    EXPECT_TRUE(window->presetPrompt()->visible());
    EXPECT_EQ(gui::TestEnvironment::listFolder(folder()).size(), 0u);
}

TEST_F(LocalPresets, NamesThatWouldLeaveTheFolderAreRefused) {
    openPrompt();
    for (const std::string& name : {std::string("../escape"), std::string("a/b"), std::string(".."),
                                    std::string(39, 'x'), std::string("")}) {
        dialogs->clear();
        window->presetPrompt()->nameInput->value(name.c_str());
        window->presetPrompt()->nameInput->set_changed();
        pressSave();
        EXPECT_EQ(dialogs->count(RecordingDialogs::Alert), 1) << name;
        EXPECT_TRUE(window->presetPrompt()->visible());
    }
    EXPECT_EQ(gui::TestEnvironment::listFolder(folder()).size(), 0u);
    EXPECT_EQ(gui::TestEnvironment::listFolder(env->home + "/Kestrova/Orvella").size(), 0u);
    EXPECT_EQ(items(), 0);
}

TEST_F(LocalPresets, ImportingThreeFilesCopiesEachAndEndsOnTheThird) {
    std::vector<std::string> files;
    for (int i = 0; i < 3; ++i) {
        files.push_back(env->root + "/shared" + std::to_string(i) + ".lop");
        writeLop(files.back(), "Shared " + std::to_string(i), record(i), title("Title " + std::to_string(i)));
    }
    importFiles(files);

    EXPECT_EQ(items(), 3);
    EXPECT_EQ(selected(), 2);
    EXPECT_EQ(dashboardParams(), record(2));
    EXPECT_EQ(std::string(window->transportPanel()->title, 12), title("Title 2"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(gui::TestEnvironment::readFile(lop("Shared " + std::to_string(i))),
                  gui::TestEnvironment::readFile(files[static_cast<size_t>(i)]));
    EXPECT_EQ(listLines(), (std::vector<std::string>{lop("Shared 0"), lop("Shared 1"), lop("Shared 2")}));
    EXPECT_FALSE(window->presetPrompt()->visible());
    EXPECT_TRUE(window->dashboard()->active());
    ASSERT_EQ(dialogs->chooserRequests.size(), 1u);
    EXPECT_EQ(dialogs->chooserRequests[0].title, "Browse Preset File (.lop)");
    EXPECT_EQ(dialogs->chooserRequests[0].filter, "*.lop");
    EXPECT_EQ(dialogs->chooserRequests[0].directory, env->home + "/Kestrova/Orvella/presets");
}

TEST_F(LocalPresets, ImportingTheLibrarysOwnFileAddsItWithoutCopying) {
    writeLop(lop("Clean"), "Clean", record(4), title("Clean"));
    struct stat before, after;
    ASSERT_EQ(stat(lop("Clean").c_str(), &before), 0);
    importFiles({folder() + "./Clean.lop"});    // the same file, written another way

    ASSERT_EQ(stat(lop("Clean").c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);     // not rewritten
    EXPECT_EQ(items(), 1);
    EXPECT_EQ(listLines(), std::vector<std::string>{lop("Clean")});
    EXPECT_EQ(dashboardParams(), record(4));
}

TEST_F(LocalPresets, ImportingAnExistingNameAsksForEachFile) {
    save("Clean");
    std::string other = env->root + "/Clean.lop";
    writeLop(other, "Clean", record(7), title("From a friend"));
    importFiles({other});                       // answered "Cancel"
    EXPECT_EQ(dialogs->texts(RecordingDialogs::Choice), std::vector<std::string>{replaceQuestion});
    EXPECT_NE(gui::TestEnvironment::readFile(lop("Clean")), gui::TestEnvironment::readFile(other));
    EXPECT_TRUE(window->presetPrompt()->visible());

    dialogs->choiceAnswers.push_back(1);
    dialogs->chooserAnswers.push_back({other});
    window->presetPrompt()->addFilesPressed();
    EXPECT_EQ(gui::TestEnvironment::readFile(lop("Clean")), gui::TestEnvironment::readFile(other));
    EXPECT_EQ(dashboardParams(), record(7));
    EXPECT_EQ(listLines().size(), 1u);
    EXPECT_EQ(selected(), 0);
}

TEST_F(LocalPresets, DamagedFilesAreRefusedAndNothingIsApplied) {
    std::vector<uint8_t> params = dashboardParams();
    std::string shortFile = env->root + "/short.lop";
    std::vector<uint8_t> bytes = presetfiles::encodeLop("Short", record(1).data(),
                                                        reinterpret_cast<const uint8_t*>("Title       "));
    bytes.resize(bytes.size() - 1);
    gui::TestEnvironment::writeFile(shortFile, std::string(bytes.begin(), bytes.end()));
    std::string escaping = env->root + "/escape.lop";
    writeLop(escaping, "../../../escaped", record(2), title("x"));

    std::string longName = env->root + "/long.lop";
    writeLop(longName, std::string(60, 'n'), record(3), title("x"));

    importFiles({shortFile, escaping, longName});
    std::vector<std::string> alerts = dialogs->texts(RecordingDialogs::Alert);
    ASSERT_EQ(alerts.size(), 3u);
    EXPECT_NE(alerts[0].find(shortFile), std::string::npos);
    EXPECT_NE(alerts[1].find(escaping), std::string::npos);
    EXPECT_NE(alerts[2].find("more than 38 characters"), std::string::npos) << alerts[2];   // not "too short"
    // Each line fits well inside the window.
    for (const std::string& alert : alerts)
        for (size_t start = 0, end; start < alert.size(); start = end + 1) {
            end = alert.find('\n', start);
            if (end == std::string::npos) end = alert.size();
            EXPECT_LE(end - start, 80u) << alert.substr(start, end - start);
        }
    EXPECT_EQ(dashboardParams(), params);
    EXPECT_EQ(items(), 0);
    EXPECT_EQ(gui::TestEnvironment::listFolder(folder()).size(), 0u);
    EXPECT_EQ(gui::TestEnvironment::listFolder(env->home).size(), 0u);
    EXPECT_TRUE(window->presetPrompt()->visible());   // the user may pick other files
}

TEST_F(LocalPresets, NamesAreTrimmedAndASoloIsStoredFoldedAsWriteStoresIt) {
    const std::vector<uint8_t> split = {0x10, 3, 23, 12, 50, 150, 150, 0, 100, 125, 50, 50};
    window->dashboard()->apply(split.data());
    Fl_Widget* left = window->dashboard()->leftSpeakerButton;
    gui::click(window.get(), left->x() + 50, left->y() + 50);
    ASSERT_TRUE(window->dashboard()->leftSoloOn());

    save("   ");
    EXPECT_EQ(dialogs->count(RecordingDialogs::Alert), 1);
    EXPECT_EQ(items(), 0);
    typeName("  Lead  ");
    pressSave();
    ASSERT_EQ(items(), 1);
    EXPECT_EQ(window->presetPanel()->presetName(0), "Lead");
    std::vector<uint8_t> folded = split;
    presetfiles::foldSolo(folded.data(), true, false);
    EXPECT_EQ(folded[2], 3);                        // the right side takes the left speaker
    EXPECT_EQ(paramsOfFile(lop("Lead")), folded);
    EXPECT_EQ(dashboardParams(), split);            // the Dashboard keeps its own record
}

TEST_F(LocalPresets, ChoosingAPresetAppliesItAndATruncatedOneIsRefused) {
    writeLop(env->root + "/a.lop", "A", record(1), title("Alpha"));
    writeLop(env->root + "/b.lop", "B", record(2), title("Beta"));
    importFiles({env->root + "/a.lop", env->root + "/b.lop"});
    choose(0);
    EXPECT_EQ(dashboardParams(), record(1));
    EXPECT_EQ(std::string(window->transportPanel()->title, 12), title("Alpha"));

    gui::TestEnvironment::writeFile(lop("B"), "B\n0123");
    dialogs->clear();
    choose(1);
    ASSERT_EQ(dialogs->count(RecordingDialogs::Alert), 1);
    EXPECT_NE(dialogs->texts(RecordingDialogs::Alert)[0].find(lop("B")), std::string::npos);
    EXPECT_EQ(dashboardParams(), record(1));
    EXPECT_EQ(selected(), -1);                  // the menu no longer names a sound that is not playing

    // A file gone from the folder: the same.
    choose(0);
    ASSERT_EQ(selected(), 0);
    std::remove(lop("A").c_str());
    dialogs->clear();
    choose(0);
    ASSERT_EQ(dialogs->count(RecordingDialogs::Alert), 1);
    EXPECT_NE(dialogs->texts(RecordingDialogs::Alert)[0].find("can not be opened."), std::string::npos);
    EXPECT_EQ(dashboardParams(), record(1));
    EXPECT_EQ(selected(), -1);
}

TEST_F(LocalPresets, RemovingTheLastOfThreePlaysTheNewLast) {
    std::vector<std::string> files;
    for (int i = 0; i < 3; ++i) {
        files.push_back(env->root + "/p" + std::to_string(i) + ".lop");
        writeLop(files.back(), "P" + std::to_string(i), record(i), title("T"));
    }
    importFiles(files);
    dialogs->choiceAnswers.push_back(1);        // "Confirm"
    gui::click(window.get(), 806, 79);          // "X"
    EXPECT_EQ(dialogs->texts(RecordingDialogs::Choice),
              std::vector<std::string>{"Confirm to remove the selected preset?"});
    EXPECT_EQ(items(), 2);
    EXPECT_EQ(selected(), 1);
    EXPECT_EQ(dashboardParams(), record(1));
    EXPECT_FALSE(gui::TestEnvironment::readFile(lop("P2")).size());
    EXPECT_EQ(listLines(), (std::vector<std::string>{lop("P0"), lop("P1")}));
    EXPECT_EQ(window->presetPanel()->removeButton->value(), 0);
}

TEST_F(LocalPresets, RemovingTheOnlyPresetLeavesAnEmptyList) {
    save("Only");
    dialogs->choiceAnswers.push_back(1);
    window->presetPanel()->removeSelected();
    EXPECT_EQ(items(), 0);
    EXPECT_EQ(selected(), -1);
    EXPECT_EQ(gui::TestEnvironment::readFile(list()), "");
    EXPECT_EQ(gui::TestEnvironment::listFolder(folder()), std::vector<std::string>{"presets.lst"});
}

TEST_F(LocalPresets, RemovalNeedsASelectionAndAConfirmation) {
    save("Keep");
    window->presetPanel()->clearSelection();
    window->presetPanel()->removeSelected();
    EXPECT_EQ(dialogs->texts(RecordingDialogs::Alert),
              std::vector<std::string>{"Please select the preset you wish to remove from the list."});
    choose(0);
    window->presetPanel()->removeSelected();      // answered "Cancel"
    EXPECT_EQ(items(), 1);
    EXPECT_EQ(listLines().size(), 1u);
}

TEST_F(LocalPresets, LoadingSkipsListLinesOfMissingOrDamagedFiles) {
    writeLop(lop("First"), "First", record(1), title("1"));
    writeLop(lop("Third"), "Third", record(3), title("3"));
    gui::TestEnvironment::writeFile(lop("Broken"), "no line end here at all, only text that runs on");
    gui::TestEnvironment::writeFile(list(), lop("First") + "\n" + lop("Missing") + "\n" + lop("Broken") + "\n" +
                                                lop("Third") + "\n" + lop("First") + "\n");
    window->presetPanel()->loadPresetList();
    ASSERT_EQ(items(), 2);
    EXPECT_STREQ(window->presetPanel()->presetChoice->text(0), "First");
    EXPECT_STREQ(window->presetPanel()->presetChoice->text(1), "Third");
    EXPECT_EQ(selected(), -1);
    EXPECT_EQ(listLines().size(), 5u);          // kept until a removal rewrites it
}

TEST_F(LocalPresets, CancelAndHelp) {
    openPrompt();
    gui::click(window.get(), window->presetPrompt()->helpButton->x() + 5, window->presetPrompt()->helpButton->y() + 5);
    ASSERT_EQ(dialogs->count(RecordingDialogs::Message), 1);
    EXPECT_EQ(dialogs->texts(RecordingDialogs::Message)[0].substr(0, 45), "  You can add presets in 2 different ways : \n");
    EXPECT_TRUE(window->presetPrompt()->visible());
    Fl_Button* cancel = window->presetPrompt()->cancelButton;
    gui::click(window.get(), cancel->x() + 5, cancel->y() + 5);
    EXPECT_FALSE(window->presetPrompt()->visible());
    EXPECT_TRUE(window->dashboard()->active());
    EXPECT_EQ(items(), 0);
}

}  // namespace
