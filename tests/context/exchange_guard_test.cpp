// The exchange guard: which controls it holds, what it gives back on every
// way out, the stamp and count of the run's lines, and the held input of a
// connect run.
#include "context/exchange_guard.h"
#include "context/status_writer.h"
#include "tests/support/gui/Events.h"
#include "link/OV_UsbController.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Progress.H>
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Records lines with the stamp's seconds, the way the window's log writes them.
class Log : public StatusWriter {
public:
    void stampStatus() override { current.tm_sec = ++clock; }
    void logStatus(const char* format, ...) override {
        char text[192];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        lines.push_back(std::to_string(current.tm_sec) + " " + text);
    }
    void advanceStatus(int n) override { advances.push_back(n); }
    struct tm stamp() const override { return current; }
    void setStamp(const struct tm& stamp) override { current = stamp; }

    struct tm current {};
    int clock = 0;
    std::vector<std::string> lines;
    std::vector<int> advances;
};

class ExchangeGuardTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.reset(new Fl_Double_Window(300, 200));
        for (int i = 0; i < 4; ++i) {
            buttons.push_back(new Fl_Button(10 + 70 * i, 10, 60, 25, "b"));
            buttons.back()->callback([](Fl_Widget*, void* n) { ++*static_cast<int*>(n); }, &clicks[i]);
            controls.add(buttons.back());
        }
        usb = new OV_UsbController(10, 100, 200, 24);
        usb->end();
        window->end();
        window->show();
        gui::settle();
        context.usb = usb;
        context.log = &log;
        context.exchanges = &controls;
    }
    void TearDown() override { window.reset(); }

    std::vector<bool> active() const {
        std::vector<bool> states;
        for (Fl_Widget* b : buttons) states.push_back(b->active() != 0);
        return states;
    }

    std::unique_ptr<Fl_Double_Window> window;
    std::vector<Fl_Button*> buttons;
    int clicks[4] = {};
    OV_UsbController* usb = nullptr;
    ExchangeControls controls;
    Log log;
    FeatureContext context;
};

TEST_F(ExchangeGuardTest, HoldsEveryControlButTheInitiatorAndGivesBackEachStateOnEveryWayOut) {
    buttons[2]->deactivate();   // kept inactive by someone else: must stay so
    const std::vector<bool> before = active();
    {
        ExchangeGuard run(context, buttons[0]);
        EXPECT_EQ(active(), (std::vector<bool>{true, false, false, false}));
        buttons[3]->activate();   // a step may not hand a control back early...
    }
    EXPECT_EQ(active(), before);   // ...the guard's record decides

    // Left by an exception, and with no initiator (the factory reset): all held, all given back.
    try {
        ExchangeGuard run(context, nullptr);
        EXPECT_EQ(active(), (std::vector<bool>{false, false, false, false}));
        throw std::runtime_error("pedal gone");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(active(), before);

    // A step that starts no transfer holds nothing.
    {
        ExchangeGuard run(context, buttons[1], ExchangeGuard::Hold::Nothing);
        EXPECT_EQ(active(), before);
    }
}

TEST_F(ExchangeGuardTest, LinesKeepTheRunsStampAreCountedAndTheOutcomeReachesTheBar) {
    {
        ExchangeGuard run(context, buttons[0]);
        run.log("first %d", 1);
        log.stampStatus();                       // a step that takes its own stamp
        log.logStatus("step's own line");
        run.count(1);
        run.log("outcome");
        run.outcome(100, "Read complete", OV_UsbController::progressBlue);
    }
    EXPECT_EQ(log.lines, (std::vector<std::string>{"1 first 1", "2 step's own line", "1 outcome"}));
    EXPECT_EQ(log.advances, std::vector<int>{3});
    EXPECT_STREQ(usb->progress->label(), "Read complete");
    EXPECT_EQ(usb->progress->value(), 100);
    EXPECT_EQ(usb->progress->selection_color(), OV_UsbController::progressBlue);

    // A stamp taken before the run (a question asked first) is kept instead.
    struct tm early = {};
    early.tm_sec = 42;
    {
        ExchangeGuard run(context, nullptr);
        run.keepStamp(early);
        run.log("> done");
    }
    EXPECT_EQ(log.lines.back(), "42 > done");
    // A run that wrote nothing leaves the log where it is.
    { ExchangeGuard run(context, buttons[0]); }
    EXPECT_EQ(log.advances, (std::vector<int>{3, 1}));
}

TEST_F(ExchangeGuardTest, HoldingInputTakesOnlyTheInitiatorAndSwallowsClicksOnTheWindow) {
    {
        ExchangeGuard run(context, buttons[0], ExchangeGuard::Hold::Input);
        EXPECT_EQ(active(), (std::vector<bool>{false, true, true, true}));
        gui::click(window.get(), buttons[1]->x() + 5, buttons[1]->y() + 5);
        gui::settle();
        EXPECT_EQ(clicks[1], 0);
        // A second guard inside does not take the hold over.
        { ExchangeGuard inner(context, buttons[2], ExchangeGuard::Hold::Input); }
        gui::click(window.get(), buttons[1]->x() + 5, buttons[1]->y() + 5);
        gui::settle();
        EXPECT_EQ(clicks[1], 0);
    }
    EXPECT_EQ(active(), (std::vector<bool>{true, true, true, true}));
    gui::click(window.get(), buttons[1]->x() + 5, buttons[1]->y() + 5);
    gui::settle();
    EXPECT_EQ(clicks[1], 1);
}

TEST_F(ExchangeGuardTest, PromptHoldsAndRunsEndInAnyOrderAndEachControlGetsItsLastWantedState) {
    buttons[2]->deactivate();   // kept inactive by someone else
    const std::vector<bool> before = active();
    PromptHold prompt(&controls, buttons[0], {buttons[3]});
    ASSERT_TRUE(prompt.take());
    EXPECT_EQ(controls.shownPrompt(), buttons[0]);
    EXPECT_EQ(active(), (std::vector<bool>{true, false, false, true}));
    // One prompt at a time: a second is refused and holds nothing.
    PromptHold other(&controls, buttons[1]);
    EXPECT_FALSE(other.take());
    EXPECT_EQ(controls.shownPrompt(), buttons[0]);

    // A run starts under the prompt; the prompt closes before the run ends.
    auto run = std::make_unique<ExchangeGuard>(context, buttons[0]);
    EXPECT_EQ(active(), (std::vector<bool>{true, false, false, false}));
    controls.setActive(buttons[2], true);   // wanted usable once nothing holds it
    prompt.giveBack();
    EXPECT_EQ(controls.shownPrompt(), nullptr);
    EXPECT_EQ(active(), (std::vector<bool>{true, false, false, false}));
    run.reset();
    EXPECT_EQ(active(), (std::vector<bool>{true, true, true, true}));

    // Unheld, a wanted state applies at once; a given-back prompt may take again.
    controls.setActive(buttons[2], false);
    EXPECT_EQ(active(), before);
    EXPECT_TRUE(other.take());
    other.giveBack();
    EXPECT_EQ(active(), before);
}

}  // namespace
