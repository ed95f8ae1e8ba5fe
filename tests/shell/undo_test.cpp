// Undo and redo, the edited mark, the last Dashboard kept at quit and the
// window's keys, through the real window against a virtual pedal: what the
// Dashboard shows and what the pedal hears (its command log).
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Light_Button.H>
#include <FL/Fl_Tabs.H>
#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/pedal/TestPedal.h"
#include "editor/OV_Parameters.h"
#include "editor/Slider.h"
#include "editor/Thumbwheel.h"
#include "editor/TextInput.h"
#include "editor/EditHistory.h"
#include "tests/support/gui/Events.h"
#include "tests/support/gui/RecordingDialogs.h"
#include "tests/support/gui/StatusLog.h"
#include "tests/support/gui/TestEnvironment.h"
#include "presets/OV_PresetPanel.h"
#include "presets/PresetFiles.h"
#include "presets/OV_TransportPanel.h"
#include "reference/OV_ToneChart.h"
#include "shell/main_window.h"
#include "shell/edit_session.h"
#include "maintenance/OV_UpdatePrompt.h"   // after PresetFiles.h: it brings X11, whose BadName is a macro

namespace {

using Bytes = std::vector<uint8_t>;

Bytes record(int n) { return testpedal::knownRecord(n); }
std::string title(int n) { return testpedal::knownTitle(n); }

class Undo : public ::testing::Test {
protected:
    void SetUp() override {
        env.reset(new gui::TestEnvironment());
        dialogs.reset(new gui::RecordingDialogs());
        std::string factory = env->root + "/factory.bank";
        ASSERT_TRUE(gui::TestEnvironment::writeFile(factory, testpedal::knownBank()));
        pedals.reset(new testpedal::PedalFolder());
        testpedal::PedalOptions options;
        options.factory = factory;
        pedal.reset(new testpedal::VirtualPedal(*pedals, options));
        std::string error;
        ASSERT_TRUE(pedal->start(&error)) << error;
    }
    // The program's folder, as the window makes it at start.
    void makeFolder() {
        mkdir((env->home + "/Kestrova").c_str(), 0755);
        mkdir((env->home + "/Kestrova/Orvella").c_str(), 0755);
    }
    void open() {
        window = env->openWindow();
        ASSERT_TRUE(window->transportPanel()->active());
        dialogs->clear();
    }
    void TearDown() override {
        window.reset();
        pedal.reset();
        pedals.reset();
        dialogs.reset();
        env.reset();
    }

    OV_Parameters& dash() { return *window->dashboard(); }
    OV_TransportPanel& transport() { return *window->transportPanel(); }
    Bytes params() { return Bytes(dash().params(), dash().params() + 12); }
    Bytes image() { return Bytes(dash().image(), dash().image() + 512); }
    std::string shownTitle() { return std::string(transport().title, 12); }
    void ctrl(int key, int more = 0) { gui::key(window.get(), key, "", FL_CTRL | more); }
    std::string lightLabel(int preset) {
        return static_cast<Fl_Group*>(transport().child(preset))->child(0)->label();
    }

    // The images the pedal was sent as previews, once it logged `count` of them.
    std::vector<Bytes> previews(size_t count, int timeoutMs = 20000) {
        pedal->waitForCount("preview", count, timeoutMs);
        std::vector<Bytes> out;
        for (const testpedal::LoggedCommand& c : pedal->commands())
            if (c.name == "preview" && c.bytes.size() >= 512) out.emplace_back(c.bytes.end() - 512, c.bytes.end());
        return out;
    }

    // A backup of eight records unlike the factory ones, for RESTORE.
    std::string writeBackup() {
        std::string bank;
        for (int i = 0; i < 8; ++i) {
            Bytes r = record(20 + i);
            bank.append(r.begin(), r.end());
        }
        for (int i = 0; i < 8; ++i) bank += "Backup " + std::to_string(i) + "    ";
        const std::string path = env->root + "/all.bkp";
        EXPECT_TRUE(gui::TestEnvironment::writeFile(path, bank));
        return path;
    }
    Bytes keptRecord() {
        auto kept = edits::decodeLastDashboard(
            reinterpret_cast<const uint8_t*>(gui::TestEnvironment::readFile(EditSession::lastDashboardPath()).data()),
            edits::lastDashboardSize);
        return kept ? Bytes(kept->record.begin(), kept->record.end()) : Bytes();
    }

    // Drags the left volume slider from near its right end to its middle.
    void dragVolume() {
        Slider* s = dash().leftVolumeSlider;
        const int y = s->y() + s->h() / 2;
        gui::press(window.get(), s->x() + s->w() - 20, y);
        for (int x = s->x() + s->w() - 25; x > s->x() + s->w() / 2; x -= 5) gui::drag(window.get(), x, y);
        gui::release(window.get(), s->x() + s->w() / 2, y);
        gui::settle();
    }

    std::unique_ptr<gui::TestEnvironment> env;
    std::unique_ptr<gui::RecordingDialogs> dialogs;
    std::unique_ptr<testpedal::PedalFolder> pedals;
    std::unique_ptr<testpedal::VirtualPedal> pedal;
    std::unique_ptr<Orvella> window;
};

}  // namespace

// Edit, READ, undo, undo, redo: each undo and redo puts the Dashboard and the
// title back and sends the pedal exactly the image that state gave before.
TEST_F(Undo, EditReadUndoUndoRedoPlaysEachStateAgain) {
    open();
    const Bytes startParams = params(), startImage = image();
    EXPECT_EQ(startParams, record(0));
    EXPECT_EQ(shownTitle(), title(0));
    EXPECT_FALSE(transport().edited());

    dragVolume();                                       // one drag, one preview, one step
    const Bytes editedParams = params(), editedImage = image();
    ASSERT_NE(editedParams, startParams);
    EXPECT_EQ(window->edits().history.undoCount(), 1u);
    EXPECT_TRUE(transport().edited());
    EXPECT_EQ(lightLabel(0), "*Preset-1");
    EXPECT_TRUE(transport().editedMark->visible());

    ctrl('2');                                          // select preset 2, then READ it
    ctrl('r');
    EXPECT_EQ(transport().selectedPreset, 1);
    EXPECT_EQ(params(), record(1));
    EXPECT_EQ(shownTitle(), title(1));
    EXPECT_FALSE(transport().edited());
    EXPECT_EQ(lightLabel(0), " Preset-1");
    EXPECT_EQ(lightLabel(1), " Preset-2");

    ctrl('z');
    EXPECT_EQ(params(), editedParams);
    EXPECT_EQ(shownTitle(), title(0));
    EXPECT_TRUE(transport().edited());                  // preset 2 holds another sound
    EXPECT_EQ(lightLabel(1), "*Preset-2");
    ctrl('z');
    EXPECT_EQ(params(), startParams);
    EXPECT_EQ(image(), startImage);
    ctrl('z', FL_SHIFT);                                // redo
    EXPECT_EQ(params(), editedParams);
    EXPECT_EQ(image(), editedImage);
    EXPECT_EQ(gui::lastLogLine(window.get()), "parameter change ok.");

    std::vector<Bytes> sent = previews(4);
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0], editedImage);                    // the drag's release
    EXPECT_EQ(sent[1], editedImage);                    // undo of the READ
    EXPECT_EQ(sent[2], startImage);                     // undo of the drag
    EXPECT_EQ(sent[3], editedImage);                    // redo
    EXPECT_EQ(previews(5, 300).size(), 4u);             // and nothing else

    // A READ that fails changes nothing and adds no step: undo still goes
    // to the state before the drag. Ctrl+Y redoes too.
    ASSERT_TRUE(pedal->setFaults({"short-reply"}));
    ctrl('r');
    ASSERT_TRUE(pedal->setFaults({}));
    EXPECT_FALSE(dialogs->texts(gui::RecordingDialogs::Alert).empty()) << gui::logText(window.get());
    EXPECT_EQ(params(), editedParams);
    ctrl('z');
    EXPECT_EQ(params(), startParams);
    ctrl('y');
    EXPECT_EQ(params(), editedParams);
    ctrl('y');                                          // and the READ's step is still there
    EXPECT_EQ(params(), record(1));
    EXPECT_EQ(shownTitle(), title(1));
    EXPECT_FALSE(window->edits().history.canRedo());
}

// WRITE (by its key too, with a title being typed) clears the mark; a new
// title is a step of its own and shows the mark until it is written too. The
// mark never moves a control.
TEST_F(Undo, WriteClearsTheMarkAndATitleIsAStep) {
    open();
    const int titleX = transport().titleInput->x(), backupX = transport().backupButton->x();
    dragVolume();
    EXPECT_TRUE(transport().edited());
    ctrl('w');
    EXPECT_FALSE(transport().edited());
    EXPECT_FALSE(transport().editedMark->visible());

    gui::clickCentre(transport().titleInput);
    gui::type(window.get(), "Crunch");
    gui::key(window.get(), FL_Enter);
    EXPECT_EQ(shownTitle(), "Crunch      ");
    EXPECT_TRUE(transport().edited());
    Fl_Box* mark = transport().editedMark;
    EXPECT_GE(mark->x(), titleX + transport().titleInput->w());
    EXPECT_LE(mark->x() + mark->w(), backupX);
    EXPECT_EQ(transport().titleInput->x(), titleX);

    ctrl('z');                                          // the title goes back, the mark with it
    EXPECT_EQ(shownTitle(), title(0));
    EXPECT_STREQ(transport().titleInput->value(), (" " + title(0)).c_str());
    EXPECT_FALSE(transport().edited());
    ctrl('z');
    EXPECT_EQ(params(), record(0));
    EXPECT_TRUE(transport().edited());                  // the pedal now holds the written drag

    // WRITE by its key stores a title still being typed, as a click on WRITE
    // (which takes the focus and so enters it) does.
    gui::clickCentre(transport().titleInput);
    gui::type(window.get(), "Keyed");
    ctrl('w');
    EXPECT_EQ(shownTitle(), "Keyed       ");
    PedalState held;
    ASSERT_TRUE(pedal->state(held));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(held.presets[0].title), 12), "Keyed       ");
    EXPECT_EQ(Bytes(held.presets[0].params, held.presets[0].params + 12), record(0));
    EXPECT_FALSE(transport().edited());
}

// Keys held on a control change it a step each and preview each time, but
// make one undo step; Tab walks the controls in reading order; the preset and
// tab keys act where a click would, and undo waits while a prompt holds the
// Dashboard.
TEST_F(Undo, TheKeyboardReachesEveryControlAndArrowsMakeOneStep) {
    open();
    std::vector<Fl_Widget*> order = dash().tabOrder();
    ASSERT_GT(order.size(), 20u);
    for (size_t i = 1; i < order.size(); ++i) {
        // Row by row: a later control starts lower, or in the same row further right.
        const bool lower = order[i]->y() > order[i - 1]->y() + 8;
        const bool sameRowRight = order[i]->y() <= order[i - 1]->y() + 8 && order[i]->x() > order[i - 1]->x();
        EXPECT_TRUE(lower || sameRowRight) << i;
        EXPECT_TRUE(order[i]->visible_r() && order[i]->active_r()) << i;
    }
    ASSERT_TRUE(order[0]->take_focus());
    for (size_t i = 1; i <= order.size(); ++i) {
        gui::key(window.get(), FL_Tab);
        ASSERT_EQ(Fl::focus(), order[i % order.size()]) << i;   // and round again
    }
    gui::key(window.get(), FL_Tab, "", FL_SHIFT);
    EXPECT_EQ(Fl::focus(), order.back());

    Slider* volume = dash().leftVolumeSlider;
    ASSERT_TRUE(volume->take_focus());
    const Bytes before = params();
    const size_t sent = previews(0).size();
    for (int i = 0; i < 5; ++i) gui::key(window.get(), FL_Left);
    EXPECT_EQ(dash().params()[5], before[5] - 5);
    EXPECT_EQ(previews(sent + 5).size(), sent + 5);
    EXPECT_EQ(window->edits().history.undoCount(), 1u);
    ctrl('z');
    EXPECT_EQ(params(), before);

    // The arrows pick the next speaker in the menu, and the pair's other box.
    ASSERT_TRUE(dash().leftSpeakerChoice->take_focus());
    const int speaker = dash().speakerNumber(0);
    gui::key(window.get(), FL_Down);
    EXPECT_GT(dash().speakerNumber(0), speaker);
    ASSERT_TRUE(dash().leftSealedCheck->take_focus());
    gui::key(window.get(), FL_Right);
    EXPECT_EQ(dash().leftOpenCheck->value(), 1);
    EXPECT_EQ(Fl::focus(), static_cast<Fl_Widget*>(dash().leftOpenCheck));

    // The preset and tab keys act as a click would.
    ctrl('6');
    EXPECT_EQ(transport().selectedPreset, 5);
    gui::key(window.get(), '2', "", FL_ALT);
    EXPECT_TRUE(window->toneChart()->visible());
    EXPECT_FALSE(window->presetPanel()->visible());
    gui::key(window.get(), '1', "", FL_ALT);
    EXPECT_TRUE(dash().visible());
    EXPECT_TRUE(window->presetPanel()->visible());

    // While a prompt holds the Dashboard, undo does nothing.
    dragVolume();
    const Bytes edited = params();
    dash().deactivate();
    ctrl('z');
    EXPECT_EQ(params(), edited);
    dash().activate();
    ctrl('z');
    EXPECT_NE(params(), edited);
}

// Quit keeps the Dashboard; the next start offers it as the first undo step,
// unless the file was damaged.
TEST_F(Undo, TheDashboardKeptAtQuitComesBackWithUndo) {
    Bytes last = record(5);
    last[5] = 33;
    const std::string lastTitle = "Last night  ";
    std::string bytes = edits::encodeLastDashboard(edits::DashboardState::of(last.data(), lastTitle.c_str()));
    makeFolder();
    ASSERT_TRUE(gui::TestEnvironment::writeFile(EditSession::lastDashboardPath(), bytes));
    open();
    EXPECT_EQ(params(), record(0));
    EXPECT_EQ(gui::lastLogLine(window.get()), "Undo (Ctrl+Z) brings back the Dashboard you quit with last time.");
    ctrl('z');
    EXPECT_EQ(params(), last);
    EXPECT_EQ(shownTitle(), lastTitle);
    EXPECT_EQ(previews(1).back(), image());
    EXPECT_FALSE(window->edits().history.canUndo());

    // What the window is left with is what the next start finds.
    dragVolume();
    ASSERT_TRUE(window->edits().keepLastDashboard());
    EXPECT_EQ(keptRecord(), params());

    // A damaged file is not offered at the next start, and says so.
    ASSERT_TRUE(gui::TestEnvironment::writeFile(EditSession::lastDashboardPath(), "OVD1short"));
    window.reset();
    open();
    EXPECT_EQ(gui::lastLogLine(window.get()),
              "The Dashboard kept at the last quit could not be read; it is not offered.");
    EXPECT_FALSE(window->edits().history.canUndo());
}

// A local preset chosen and a restore replace the Dashboard: one step each.
// An audition that ends where it began leaves none, though the pedal heard it.
TEST_F(Undo, LocalPresetsRestoresAndAuditionsCountAsTheyChangeTheDashboard) {
    const std::string name = "Clean";
    const std::string lopTitle = "Clean tone  ";
    open();
    std::vector<uint8_t> lop = presetfiles::encodeLop(name, record(7).data(),
                                                      reinterpret_cast<const uint8_t*>(lopTitle.data()));
    ASSERT_TRUE(gui::TestEnvironment::writeFile(presetfiles::presetPath(env->home, name), std::string(lop.begin(), lop.end())));
    ASSERT_TRUE(gui::TestEnvironment::writeFile(presetfiles::listPath(env->home),
                                                presetfiles::presetPath(env->home, name) + "\n"));
    window->presetPanel()->loadPresetList();
    window->presetPanel()->presetChoice->value(0);
    window->presetPanel()->presetChoice->do_callback();
    EXPECT_EQ(params(), record(7));
    EXPECT_EQ(shownTitle(), lopTitle);
    EXPECT_EQ(window->edits().history.undoCount(), 1u);
    EXPECT_TRUE(transport().edited());

    // RESTORE: every preset is known afterwards, the Dashboard shows preset 1 as restored.
    dialogs->choiceAnswers.push_back(1);
    dialogs->chooserAnswers.push_back({writeBackup()});
    gui::clickCentre(transport().restoreButton);
    ASSERT_EQ(params(), record(20));
    EXPECT_EQ(window->edits().history.undoCount(), 2u);
    EXPECT_FALSE(transport().edited());
    ctrl('4');
    EXPECT_TRUE(transport().edited());                  // preset 4 holds record(23)
    EXPECT_TRUE(window->edits().pedal.known(3));

    const size_t steps = window->edits().history.undoCount();
    const size_t sent = previews(0).size();
    gui::key(window.get(), '2', "", FL_ALT);
    gui::clickCentre(window->toneChart()->listenL);       // audition the first speaker on the left
    gui::clickCentre(window->toneChart()->listenL);       // and end it
    EXPECT_EQ(previews(sent + 2).size(), sent + 2);
    EXPECT_EQ(window->edits().history.undoCount(), steps);
    EXPECT_EQ(params(), record(20));

    ctrl('z');
    EXPECT_EQ(params(), record(7));
    EXPECT_EQ(shownTitle(), lopTitle);
    ctrl('z');
    EXPECT_EQ(params(), record(0));
}

// An audition plays speakers the user did not choose: what the window keeps
// at quit, the undo steps and the edited mark go by the user's Dashboard.
TEST_F(Undo, AnAuditionIsNeverKeptAsTheUsersDashboard) {
    makeFolder();
    open();
    dragVolume();
    const Bytes edited = params();
    const size_t steps = window->edits().history.undoCount();
    gui::key(window.get(), '2', "", FL_ALT);
    gui::clickCentre(window->toneChart()->listenL);
    ASSERT_NE(params()[1], edited[1]) << "the audition plays another speaker";

    ASSERT_TRUE(window->edits().keepLastDashboard());
    EXPECT_EQ(keptRecord(), edited);

    ctrl('1');                                          // the preset keys stay usable
    EXPECT_EQ(window->edits().history.undoCount(), steps);

    const size_t sent = previews(2).size();             // the drag's and the audition's
    ASSERT_EQ(sent, 2u);
    ctrl('z');                                          // undo goes on auditioning, in one preview
    EXPECT_EQ(params()[5], record(0)[5]);
    EXPECT_NE(params()[1], record(0)[1]);
    EXPECT_EQ(window->toneChart()->listenL->value(), 1);
    std::vector<Bytes> sentNow = previews(sent + 1);
    ASSERT_EQ(sentNow.size(), sent + 1);
    EXPECT_EQ(sentNow.back(), image());
    EXPECT_EQ(previews(sent + 2, 300).size(), sent + 1);
    gui::clickCentre(window->toneChart()->listenL);
    EXPECT_EQ(params(), record(0));
    EXPECT_EQ(window->edits().history.undoCount(), steps - 1);
    EXPECT_FALSE(transport().edited());
}

// A store that went wrong leaves the preset holding what no Dashboard shows
// (the mark stays until it is read or written again); a stopped RESTORE
// knows the selected preset by what it read back.
// The wheel turns a slider, a thumbwheel and a menu a step a notch, each
// notch heard at once; a burst of notches on one control is one undo step.
TEST_F(Undo, AWheelTurnMovesTheControlUnderThePointerAndIsOneStep) {
    open();
    Fl_Widget* const controls[] = {dash().leftVolumeSlider, dash().leftMicWheel, dash().leftSpeakerChoice};
    for (Fl_Widget* control : controls) {
        SCOPED_TRACE(control->label() ? control->label() : "menu");
        const Bytes before = params();
        const size_t sent = previews(0).size();
        const size_t steps = window->edits().history.undoCount();
        for (int notch = 0; notch < 3; ++notch)
            gui::wheel(window.get(), control->x() + control->w() / 2, control->y() + control->h() / 2, 1);
        EXPECT_NE(params(), before);
        EXPECT_EQ(previews(sent + 3).size(), sent + 3);
        EXPECT_EQ(window->edits().history.undoCount(), steps + 1);
        ctrl('z');
        EXPECT_EQ(params(), before);
        EXPECT_EQ(previews(sent + 4).size(), sent + 4);   // the undo's own
    }
}

TEST_F(Undo, TheMarkFollowsStoresThatWentWrong) {
    open();
    dragVolume();
    ASSERT_TRUE(pedal->setFaults({"keep-wrong-record"}));
    ctrl('w');
    ASSERT_EQ(dialogs->texts(gui::RecordingDialogs::Alert).size(), 1u) << gui::logText(window.get());
    ASSERT_TRUE(pedal->setFaults({}));
    ctrl('z');                                          // back to what preset 1 held before
    EXPECT_EQ(params(), record(0));
    EXPECT_TRUE(transport().edited());
    ctrl('r');
    EXPECT_FALSE(transport().edited());

    const std::string backup = writeBackup();
    dialogs->clear();
    dialogs->choiceAnswers.push_back(1);
    dialogs->chooserAnswers.push_back({backup});
    ASSERT_TRUE(pedal->setFaults({"keep-wrong-record"}));
    gui::clickCentre(transport().restoreButton);        // stops at preset 1, which is read back
    ASSERT_TRUE(pedal->setFaults({}));
    ASSERT_FALSE(dialogs->texts(gui::RecordingDialogs::Alert).empty()) << gui::logText(window.get());
    PedalState held;
    ASSERT_TRUE(pedal->state(held));
    EXPECT_EQ(params(), Bytes(held.presets[0].params, held.presets[0].params + 12));
    EXPECT_EQ(shownTitle(), std::string(reinterpret_cast<const char*>(held.presets[0].title), 12));
    EXPECT_FALSE(transport().edited());
}

// The window closed while a RESTORE passes the backup's records through the
// Dashboard keeps the user's Dashboard, not the record being composed.
TEST_F(Undo, TheDashboardKeptDuringARestoreIsTheUsers) {
    makeFolder();
    open();
    dragVolume();
    const Bytes edited = params();
    struct Closing { Orvella* window; Bytes shown; bool kept; } closing{window.get(), {}, false};
    Fl_Timeout_Handler keep = [](void* data) {
        Closing& c = *static_cast<Closing*>(data);
        c.shown.assign(c.window->dashboard()->params(), c.window->dashboard()->params() + 12);
        c.kept = c.window->edits().keepLastDashboard();
    };
    Fl::add_timeout(0.2, keep, &closing);
    dialogs->choiceAnswers.push_back(1);
    dialogs->chooserAnswers.push_back({writeBackup()});
    gui::clickCentre(transport().restoreButton);
    Fl::remove_timeout(keep, &closing);
    ASSERT_TRUE(closing.kept);
    ASSERT_NE(closing.shown, edited) << "the timer fired while the restore ran";
    EXPECT_EQ(keptRecord(), edited);
}

// Connect finding another pedal that waits for firmware: the mark no longer
// compares with the presets of the pedal before.
TEST_F(Undo, ThePresetsOfAPedalGoneAreKnownNoMore) {
    open();
    dragVolume();
    ASSERT_TRUE(transport().edited());
    pedal.reset();
    testpedal::PedalOptions options;
    options.serial = "VP000002";
    options.updateMode = true;
    testpedal::VirtualPedal other(*pedals, options);
    std::string error;
    ASSERT_TRUE(other.start(&error)) << error;
    gui::clickCentre(window->connectButton());
    ASSERT_TRUE(window->updatePrompt()->visible()) << gui::logText(window.get());
    EXPECT_FALSE(window->edits().pedal.known(0));
    EXPECT_FALSE(transport().edited());
    EXPECT_EQ(lightLabel(0), " Preset-1");
}
