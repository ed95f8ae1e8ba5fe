// The main window: children and their settings, tab switch, start-up without
// a pedal, the Connect button, the core-file check and Quit.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Progress.H>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "editor/OV_Parameters.h"
#include "editor/EditHistory.h"
#include "context/held_prompt.h"
#include "tests/support/gui/Events.h"
#include "tests/support/gui/StatusLog.h"
#include "tests/support/gui/RecordingDialogs.h"
#include "tests/support/gui/TestEnvironment.h"
#include "link/OV_UsbController.h"
#include "maintenance/OV_CalibratePrompt.h"
#include "maintenance/OV_GloConPrompt.h"
#include "maintenance/OV_UpdatePrompt.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_PresetPrompt.h"
#include "presets/OV_TransportPanel.h"
#include "reference/OV_ToneChart.h"
#include "reference/OV_UserGuide.h"
#include "shell/pedal_selection.h"
#include "shell/main_window.h"
#include "shell/status_log.h"

using gui::RecordingDialogs;
using gui::TestEnvironment;
using gui::logLines;
using gui::logText;

namespace {

bool placed(Fl_Widget* w, int x, int y, int width, int height) {
    return w->x() == x && w->y() == y && w->w() == width && w->h() == height;
}

std::string runProbe(const TestEnvironment& env, const char* argument, int* status) {
    std::string command = std::string("cd '") + env.work + "' && '" + QUIT_PROBE + "' " + argument;
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char chunk[256];
    while (size_t n = fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, n);
    *status = pclose(pipe);
    return output;
}

class MainWindow : public ::testing::Test {
protected:
    TestEnvironment env;
    RecordingDialogs dialogs;
    std::unique_ptr<Orvella> window = env.openWindow();
};

}  // namespace

TEST_F(MainWindow, ChildrenStandWhereTheyBelongWithTheirLabels) {
    EXPECT_TRUE(placed(window.get(), window->x(), window->y(), 830, 600));
    for (Fl_Widget* page : {static_cast<Fl_Widget*>(window->dashboard()),
                            static_cast<Fl_Widget*>(window->toneChart()),
                            static_cast<Fl_Widget*>(window->userGuide())}) {
        EXPECT_TRUE(placed(page, 5, 62, 820, 433));
        EXPECT_EQ(page->parent(), window->tabs());
    }
    EXPECT_EQ(window->tabs()->value(), window->dashboard());
    // Positions derived from the window's size.
    EXPECT_TRUE(placed(window->presetPrompt(), 500, 90, 290, 170));
    EXPECT_TRUE(placed(window->transportPanel(), 5, 476, 820, 73));
    EXPECT_TRUE(placed(window->statusLog(), 5, 550, 645, 48));
    EXPECT_TRUE(placed(window->connectButton(), 655, 552, 70, 25));
    EXPECT_TRUE(placed(window->menuButton(), 725, 552, 50, 25));
    EXPECT_TRUE(placed(window->quitButton(), 775, 552, 50, 25));
    EXPECT_TRUE(placed(window->usb()->progress, 632, 485, 180, 24));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(window->usb()->presetAddress[i], 2 * i);
    for (Fl_Widget* prompt : {static_cast<Fl_Widget*>(window->presetPrompt()),
                              static_cast<Fl_Widget*>(window->updatePrompt()),
                              static_cast<Fl_Widget*>(window->gloConPrompt()),
                              static_cast<Fl_Widget*>(window->devSelPrompt()),
                              static_cast<Fl_Widget*>(window->calibratePrompt())}) {
        EXPECT_FALSE(prompt->visible());
        // Shown, no prompt covers the status log, whose lines tell its outcome.
        const Fl_Widget* log = window->statusLog();
        const bool apart = prompt->x() + prompt->w() <= log->x() || log->x() + log->w() <= prompt->x() ||
                           prompt->y() + prompt->h() <= log->y() || log->y() + log->h() <= prompt->y();
        EXPECT_TRUE(apart) << prompt->x() << "," << prompt->y();
    }
    // Drawing order: the prompts come after (on top of) the panels and buttons.
    EXPECT_LT(window->find(window->statusLog()), window->find(window->updatePrompt()));
    EXPECT_LT(window->find(window->gloConPrompt()), window->find(window->devSelPrompt()));
    EXPECT_EQ(window->dashboard()->user_data(), window.get());
}

TEST_F(MainWindow, StartWithoutPedalLogsTwoOutcomeLinesAndNoAlert) {
    std::vector<std::string> lines = logLines(window.get());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Connecting ...");
    EXPECT_EQ(lines[1], "Pedal is not found.");
    EXPECT_EQ(lines[2], "> Connect your pedal to a USB port then click 'Connect'.");
    EXPECT_EQ(window->logTopLine(), 2);
    EXPECT_EQ(dialogs.count(RecordingDialogs::Alert), 0);
    EXPECT_FALSE(window->transportPanel()->active());
    EXPECT_TRUE(window->connectButton()->active());
    // All three start-up lines carry one stamp.
    std::string text = logText(window.get());
    std::string stamp = text.substr(0, 14);
    EXPECT_EQ(text.find(stamp, 1), text.find('\n') + 1);
}

TEST_F(MainWindow, ConnectWithoutPedalAlertsEveryTimeAndClearsTheBar) {
    for (int run = 1; run <= 2; ++run) {
        gui::click(window.get(), 690, 564);
        std::vector<std::string> alerts = dialogs.texts(RecordingDialogs::Alert);
        ASSERT_EQ(static_cast<int>(alerts.size()), run);
        EXPECT_EQ(alerts.back().rfind("Pedal is not found -\nMake sure pedal is powered", 0), 0u);
    }
    std::vector<std::string> lines = logLines(window.get());
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[6], "Connecting ...");
    EXPECT_EQ(lines[7], "Pedal is not found.");
    EXPECT_EQ(window->logTopLine(), 6);
    EXPECT_EQ(window->usb()->progress->value(), 0);
    EXPECT_EQ(window->usb()->progress->label(), nullptr);
    EXPECT_FALSE(window->transportPanel()->active());
    EXPECT_TRUE(window->connectButton()->active());
}

TEST_F(MainWindow, ConnectIsInactiveAndInputHeldWhileARunIsInProgress) {
    // Looks at the button, and clicks Connect and Menu, while the run shows
    // its alert, i.e. mid-run, as the toolkit may dispatch clicks during a transfer.
    struct Watching : RecordingDialogs {
        Orvella* window = nullptr;
        int activeDuringAlert = -1;
        void alert(const std::string& text) override {
            activeDuringAlert = window->connectButton()->active();
            RecordingDialogs::alert(text);
            if (count(Alert) == 1) {
                gui::click(window, 690, 564);
                gui::click(window, window->menuButton()->x() + 10, window->menuButton()->y() + 10);
            }
        }
    } watching;
    watching.window = window.get();
    gui::click(window.get(), 690, 564);
    EXPECT_EQ(watching.activeDuringAlert, 0);
    EXPECT_EQ(watching.count(RecordingDialogs::Alert), 1);    // no second run
    EXPECT_EQ(watching.count(RecordingDialogs::Popup), 0);    // no menu mid-run
    EXPECT_TRUE(window->connectButton()->active());
    // Afterwards the window takes input again.
    gui::click(window.get(), window->menuButton()->x() + 10, window->menuButton()->y() + 10);
    EXPECT_EQ(watching.count(RecordingDialogs::Popup), 1);
}

TEST_F(MainWindow, TabSwitchShowsPresetBarAndGlobalConfigurationOnlyOnTheDashboard) {
    // A click on the second tab, as a user picks it.
    gui::click(window.get(), 187, 55);
    ASSERT_EQ(window->tabs()->value(), window->toneChart());
    EXPECT_FALSE(window->presetPanel()->visible());
    EXPECT_FALSE(window->gloConButton()->visible());
    EXPECT_EQ(window->toneChart()->labelsize(), 14);
    EXPECT_EQ(window->dashboard()->labelsize(), 12);
    EXPECT_EQ(window->userGuide()->labelsize(), 12);
    EXPECT_TRUE(window->transportPanel()->visible());
    EXPECT_TRUE(window->statusLog()->visible());

    window->tabs()->value(window->userGuide());
    window->tabs()->do_callback();
    EXPECT_EQ(window->userGuide()->labelsize(), 14);
    EXPECT_EQ(window->toneChart()->labelsize(), 12);
    EXPECT_FALSE(window->presetPanel()->visible());

    window->tabs()->value(window->dashboard());
    window->tabs()->do_callback();
    EXPECT_TRUE(window->presetPanel()->visible());
    EXPECT_TRUE(window->gloConButton()->visible());
    EXPECT_EQ(window->dashboard()->labelsize(), 14);
    EXPECT_EQ(window->userGuide()->labelsize(), 12);
}

TEST_F(MainWindow, PreviewWithoutPedalSendsAndLogsNothing) {
    std::string before = logText(window.get());
    window->tabs()->value(window->toneChart());
    window->tabs()->do_callback();
    window->dashboard()->do_callback();
    EXPECT_EQ(logText(window.get()), before);
    // An audition from the tone chart keeps the preset bar off that page.
    EXPECT_FALSE(window->presetPanel()->visible());
}

TEST_F(MainWindow, PreviewOnAnUnreachablePedalLogsTheErrorCode) {
    window->transportPanel()->activate();   // as after a connect; no pedal answers now
    window->dashboard()->do_callback();
    std::vector<std::string> lines = logLines(window.get());
    EXPECT_EQ(lines.back().rfind("parameter change offline. Error code = ", 0), 0u) << lines.back();
    EXPECT_EQ(window->logTopLine(), 3);
}

TEST(MainWindowCoreFiles, MissingCoreFilesEndTheProgramAfterTheConnectAttempt) {
    TestEnvironment probeEnv;
    {
        RecordingDialogs dialogs;
        std::unique_ptr<Orvella> window = probeEnv.openWindow();
        if (!window->dashboard()->model) GTEST_SKIP() << "the Dashboard does not read core files yet";
    }
    // An empty bin folder: every core file is missing.
    std::string emptyBin = probeEnv.root + "/emptybin";
    ASSERT_EQ(mkdir(emptyBin.c_str(), 0755), 0);
    TestEnvironment env(emptyBin);
    RecordingDialogs dialogs;
    dialogs.recordCoreFileAlert = true;
    std::unique_ptr<Orvella> window = env.openWindow();
    EXPECT_EQ(env.quitRequests(), 1);
    std::vector<std::string> alerts = dialogs.texts(RecordingDialogs::Alert);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].rfind("One or more components required to run this software has been corrupted.", 0), 0u);
    EXPECT_NE(alerts[0].find(" < Direct support email : support@@kestrova.example >"), std::string::npos);
    // It names where the core files were looked for: here, the working directory.
    EXPECT_NE(alerts[0].find("\n    " + env.work + "/bin\n"), std::string::npos) << alerts[0];
    EXPECT_EQ(logLines(window.get())[1], "Pedal is not found.");   // the connect attempt came first
}

TEST(Quit, EndsTheProcessAtOnceWithStatusZero) {
    TestEnvironment env;
    int status = 0;
    std::string output = runProbe(env, "quit", &status);
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    EXPECT_NE(output.find("constructed"), std::string::npos) << output;
    EXPECT_EQ(output.find("still running"), std::string::npos) << output;
    // The Dashboard it was left with is kept for the next start: a marker,
    // the record and the title.
    std::string kept = TestEnvironment::readFile(env.home + "/Kestrova/Orvella/last_dashboard.dat");
    ASSERT_EQ(kept.size(), 28u);
    EXPECT_EQ(kept.substr(28 - 12), "Untitled    ");
}

TEST(Quit, MissingCoreFilesEndTheProgramWithStatusZeroAfterTheAlert) {
    TestEnvironment base;
    std::string emptyBin = base.root + "/emptybin";
    ASSERT_EQ(mkdir(emptyBin.c_str(), 0755), 0);
    TestEnvironment env(emptyBin);
    int status = 0;
    std::string output = runProbe(env, "start", &status);
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    EXPECT_NE(output.find("alert: One or more components required to run this software has been corrupted."),
              std::string::npos) << output;
    EXPECT_EQ(output.find("constructed"), std::string::npos) << output;
}

// Every way out of the window, as main() wires it, keeps the Dashboard and
// ends the program; Escape is none. A folder that cannot take the file keeps
// the one kept before, and an alert says so (not at the session's end,
// which nobody answers).
TEST(Quit, EveryWayOutKeepsTheDashboardOrSaysItCouldNot) {
    struct Way {
        const char* name;
        void (*take)(Orvella&);
        bool leaves, alerts;
    };
    const Way ways[] = {
        {"Escape", [](Orvella& w) { gui::key(&w, FL_Escape); }, false, false},
        {"Quit", [](Orvella& w) { gui::clickCentre(w.quitButton()); }, true, true},
        {"close button", [](Orvella& w) { static_cast<Fl_Widget&>(w).do_callback(); }, true, true},
        {"window manager", [](Orvella& w) { Fl::handle(FL_CLOSE, &w); }, true, true},
        {"session end", [](Orvella&) { raise(SIGTERM); Fl::wait(2.0); }, true, false},
    };
    const std::vector<uint8_t> ones(12, 1);
    const std::string before = edits::encodeLastDashboard(edits::DashboardState::of(ones.data(), "Kept before "));
    for (bool writable : {true, false}) {
        for (const Way& way : ways) {
            SCOPED_TRACE(std::string(way.name) + (writable ? "" : ", read-only folder"));
            TestEnvironment env;
            RecordingDialogs dialogs;
            const std::string kept = env.home + "/Kestrova/Orvella/last_dashboard.dat";
            std::unique_ptr<Orvella> window = env.openWindow();
            ASSERT_TRUE(TestEnvironment::writeFile(kept, before));
            struct rlimit limits;
            ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limits), 0);
            if (!writable) {   // root writes in a read-only folder; nobody writes past a size limit of 0
                ASSERT_EQ(chmod((env.home + "/Kestrova/Orvella").c_str(), 0555), 0);
                struct rlimit none = {0, limits.rlim_max};
                signal(SIGXFSZ, SIG_IGN);
                ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &none), 0);
            }
            way.take(*window);
            setrlimit(RLIMIT_FSIZE, &limits);
            chmod((env.home + "/Kestrova/Orvella").c_str(), 0755);
            EXPECT_EQ(env.quitRequests(), way.leaves ? 1 : 0);
            std::string now = TestEnvironment::readFile(kept);
            if (writable && way.leaves) {
                ASSERT_EQ(now.size(), 28u);
                EXPECT_EQ(now.substr(28 - 12), "Untitled    ");
            } else {
                EXPECT_EQ(now, before);
            }
            std::vector<std::string> alerts = dialogs.texts(RecordingDialogs::Alert);
            ASSERT_EQ(alerts.size(), !writable && way.alerts ? 1u : 0u);
            if (!alerts.empty()) {
                EXPECT_EQ(alerts[0].rfind("The Dashboard could not be kept in " + kept + " (", 0), 0u) << alerts[0];
                EXPECT_NE(alerts[0].find("The next start offers the Dashboard kept before."), std::string::npos);
            }
        }
    }
}

// The five prompts share one shape: shown, each holds the window's controls
// and no second prompt shows over it, shown twice it holds once, and hidden
// it gives every control back exactly as it found it.
TEST_F(MainWindow, EveryPromptTakesTheHoldWhenShownAndGivesItBackWhenHidden) {
    HeldPrompt* prompts[] = {window->devSelPrompt(), window->presetPrompt(), window->updatePrompt(),
                             window->gloConPrompt(), window->calibratePrompt()};
    window->transportPanel()->activate();   // a mix of active and inactive controls to give back
    auto states = [&] {
        std::vector<bool> active;
        for (Fl_Widget* control : window->exchanges().controls()) active.push_back(control->active() != 0);
        return active;
    };
    const std::vector<bool> before = states();
    for (HeldPrompt* prompt : prompts) {
        prompt->show();
        prompt->show();
        ASSERT_TRUE(prompt->visible());
        EXPECT_EQ(window->exchanges().shownPrompt(), prompt);
        EXPECT_FALSE(window->dashboard()->active());
        for (HeldPrompt* other : prompts) {
            if (other == prompt) continue;
            other->show();
            EXPECT_FALSE(other->visible());
        }
        prompt->hide();
        EXPECT_EQ(window->exchanges().shownPrompt(), nullptr);
        EXPECT_EQ(states(), before);
    }
}

TEST_F(MainWindow, AConnectAfterUncountedAndWrappedLinesEndsWithItsNewestLineInView) {
    window->stampStatus();
    for (int i = 0; i < 5; ++i) window->logStatus("uncounted %d", i);
    window->logStatus("%s", std::string(150, 'w').c_str());   // wraps in two
    gui::click(window.get(), 690, 564);
    gui::settle();
    TextBoard* board = window->statusLog();
    int last = board->lastLine();
    EXPECT_GE(last, 10);
    EXPECT_LE(board->topLine(), last - 1);                       // both outcome lines in view
    EXPECT_LT(last, board->topLine() + board->wholeLines());
}
