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
#pragma once

#include "context/feature_context.h"

#include <FL/Enumerations.H>

#include <cstdarg>
#include <ctime>
#include <vector>

class Fl_Widget;
class Fl_Window;

class ExchangeControls {
public:
    void add(Fl_Widget* control);
    const std::vector<Fl_Widget*>& controls() const { return controls_; }

private:
    std::vector<Fl_Widget*> controls_;
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

private:
    struct Held {
        Fl_Widget* control;
        bool wasActive;
    };
    FeatureContext context_;
    std::vector<Held> held_;
    Fl_Window* window_ = nullptr;
    bool holdsInput_ = false;
    bool claimsPedal_ = false;      // keeps the pedal reserved for this program meanwhile
    struct tm stamp_ {};
    int lines_ = 0;
};
