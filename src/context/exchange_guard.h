// One pedal exchange at a time. The link lets the toolkit handle events while
// it waits for the pedal, so whatever could start a second exchange is held
// while one runs. Every such control registers once with the shell's
// ExchangeControls (a new panel is one add() line); a run opens an
// ExchangeGuard, which
//  - deactivates every registered control but the one that started the run
//    (or, for Hold::Input, only that one, and holds the window's user input:
//    the connect run decides itself which panels end up active; for
//    Hold::Nothing, none: a step that starts no transfer),
//  - takes the log stamp that the run's lines carry and counts them,
//  - sets the progress outcome,
// and on leaving, whatever the path, scrolls the log by the counted lines,
// gives each control back the state it had and redraws the window.
//
// The prompts drawn over the window (pedal selection, local preset naming,
// firmware update, global configuration, calibration) hold the same controls
// for as long as they are shown, with a PromptHold. Holds are counted per
// control, so they may end in any order: a control comes back when its last
// hold ends, with the state it had before the first one, or the state
// setActive() asked for meanwhile (the connect run marks the transport panel
// usable under a shown selection prompt).
#pragma once

#include "context/feature_context.h"

#include <FL/Enumerations.H>

#include <cstdarg>
#include <ctime>
#include <map>
#include <vector>

class Fl_Widget;
class Fl_Window;

class ExchangeControls {
public:
    void add(Fl_Widget* control);
    const std::vector<Fl_Widget*>& controls() const { return controls_; }

    // Deactivates a control; the first hold keeps the state it had.
    void hold(Fl_Widget* control);
    // Ends one hold; the last gives the control its kept state back.
    void release(Fl_Widget* control);
    bool held(Fl_Widget* control) const;
    // The state a control is to have: at once when nothing holds it, else
    // once its last hold ends.
    void setActive(Fl_Widget* control, bool active);

    // The prompt shown over the window, if any (the Menu greys its pedal
    // entries meanwhile).
    Fl_Widget* shownPrompt() const { return prompt_; }

private:
    friend class PromptHold;
    struct Kept {
        int holds;
        bool active;
    };
    std::vector<Fl_Widget*> controls_;
    std::map<Fl_Widget*, Kept> kept_;
    Fl_Widget* prompt_ = nullptr;
};

// A prompt's hold on the window while it is shown: every registered control
// but those listed as staying usable. take() when the prompt is shown,
// giveBack() when it is closed. A second take() changes nothing; a take()
// while another prompt holds the window is refused (false: the caller does
// not show its prompt).
class PromptHold {
public:
    PromptHold(ExchangeControls* controls, Fl_Widget* prompt, std::vector<Fl_Widget*> usable = {});
    PromptHold(const PromptHold&) = delete;
    PromptHold& operator=(const PromptHold&) = delete;

    bool take();
    void giveBack();
    bool holding() const { return holding_; }

private:
    ExchangeControls* controls_;
    Fl_Widget* prompt_;
    std::vector<Fl_Widget*> usable_;
    std::vector<Fl_Widget*> held_;
    bool holding_ = false;
};

class ExchangeGuard {
public:
    enum class Hold { Controls, Input, Nothing };

    ExchangeGuard(const FeatureContext& context, Fl_Widget* initiator, Hold hold = Hold::Controls);
    ~ExchangeGuard();
    ExchangeGuard(const ExchangeGuard&) = delete;
    ExchangeGuard& operator=(const ExchangeGuard&) = delete;

    // One log line with the run's stamp, counted.
    void log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void vlog(const char* format, va_list args) __attribute__((format(printf, 2, 0)));
    // Lines the run's steps wrote themselves.
    void count(int lines) { lines_ += lines; }
    int lines() const { return lines_; }
    // Puts the run's stamp back after a step that took its own.
    void restoreStamp();
    // The run's lines carry this stamp instead (one taken before the run).
    void keepStamp(const struct tm& stamp) { stamp_ = stamp; }
    // The progress bar's outcome: value, label (copied; nullptr for none), colour.
    void outcome(float value, const char* label, Fl_Color colour);
    // True while a run that claims the pedal is under way (leaving the
    // program waits for its end).
    static bool running();

private:
    struct Held {
        Fl_Widget* control;
        bool wasActive;
    };
    FeatureContext context_;
    std::vector<Fl_Widget*> counted_;   // held through the registry
    std::vector<Held> held_;            // held here (no registry given)
    Fl_Window* window_ = nullptr;
    bool holdsInput_ = false;
    bool claimsPedal_ = false;      // keeps the pedal reserved for this program meanwhile
    struct tm stamp_ {};
    int lines_ = 0;
};
