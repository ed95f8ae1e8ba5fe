// What the window's controls do while any transport action waits for the
// pedal, and after it.
#include "tests/presets/TransportFixture.h"

#include "editor/TextInput.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Group.H>

using namespace presettest;
using gui::RecordingDialogs;

namespace {

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

TEST_F(Transport, AnActionLeavesAnInactiveDashboardInactive) {
    gui::click(window.get(), 781, 79);               // the local preset prompt holds the Dashboard
    ASSERT_FALSE(window->dashboard()->active());
    press(panel().readButton);
    EXPECT_EQ(progressLabel(), "Read complete");
    EXPECT_FALSE(window->dashboard()->active());
    EXPECT_FALSE(window->connectButton()->active());   // held by the prompt too: it could open another
    EXPECT_TRUE(window->quitButton()->active());
}

}  // namespace
