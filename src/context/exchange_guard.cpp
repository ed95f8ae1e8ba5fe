#include "context/exchange_guard.h"

#include "context/status_writer.h"
#include "link/OV_UsbController.h"

#include <FL/Fl.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Window.H>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <utility>

void ExchangeControls::add(Fl_Widget* control) {
    if (control) controls_.push_back(control);
}

void ExchangeControls::hold(Fl_Widget* control) {
    if (!control) return;
    auto found = kept_.find(control);
    if (found == kept_.end())
        kept_[control] = {1, control->active() != 0};
    else
        ++found->second.holds;
    control->deactivate();
}

void ExchangeControls::release(Fl_Widget* control) {
    auto found = kept_.find(control);
    if (found == kept_.end()) return;
    if (--found->second.holds > 0) return;
    if (found->second.active)
        control->activate();
    else
        control->deactivate();
    kept_.erase(found);
}

bool ExchangeControls::held(Fl_Widget* control) const { return kept_.count(control) != 0; }

void ExchangeControls::setActive(Fl_Widget* control, bool active) {
    if (!control) return;
    auto found = kept_.find(control);
    if (found != kept_.end())
        found->second.active = active;
    else if (active)
        control->activate();
    else
        control->deactivate();
}

PromptHold::PromptHold(ExchangeControls* controls, Fl_Widget* prompt, std::vector<Fl_Widget*> usable)
    : controls_(controls), prompt_(prompt), usable_(std::move(usable)) {}

bool PromptHold::take() {
    if (holding_) return true;
    if (!controls_) {
        holding_ = true;
        return true;
    }
    if (controls_->prompt_ && controls_->prompt_ != prompt_) return false;
    for (Fl_Widget* control : controls_->controls()) {
        if (control == prompt_ || control->inside(prompt_)) continue;
        if (std::find(usable_.begin(), usable_.end(), control) != usable_.end()) continue;
        controls_->hold(control);
        held_.push_back(control);
    }
    controls_->prompt_ = prompt_;
    holding_ = true;
    return true;
}

void PromptHold::giveBack() {
    if (!holding_) return;
    if (controls_) {
        for (Fl_Widget* control : held_) controls_->release(control);
        if (controls_->prompt_ == prompt_) controls_->prompt_ = nullptr;
    }
    held_.clear();
    holding_ = false;
}

namespace {

int claimingRuns = 0;

// The window whose user input is held; one at a time.
Fl_Window* busyWindow = nullptr;
Fl_Event_Dispatch earlierDispatch = nullptr;

bool isUserInput(int event) {
    switch (event) {
    case FL_PUSH: case FL_RELEASE: case FL_DRAG: case FL_MOUSEWHEEL:
    case FL_KEYBOARD: case FL_KEYUP: case FL_SHORTCUT:
    case FL_DND_ENTER: case FL_DND_DRAG: case FL_DND_RELEASE: case FL_PASTE:
        return true;
    default:
        return false;
    }
}

// Alerts and other windows stay usable.
int holdInput(int event, Fl_Window* window) {
    if (window == busyWindow && isUserInput(event)) return 1;
    return earlierDispatch ? earlierDispatch(event, window) : Fl::handle_(event, window);
}

}  // namespace

ExchangeGuard::ExchangeGuard(const FeatureContext& context, Fl_Widget* initiator, Hold hold) : context_(context) {
    // The pedal stays this program's for the whole run, not only for each
    // transaction of it.
    claimsPedal_ = hold != Hold::Nothing;
    if (claimsPedal_) {
        PedalLink::keepClaim(true);
        ++claimingRuns;
    }
    if (initiator)
        window_ = initiator->top_window();
    else if (context_.usb)
        window_ = context_.usb->top_window();
    if (hold == Hold::Input) {
        if (initiator) {
            if (context_.exchanges)
                counted_.push_back(initiator);
            else
                held_.push_back({initiator, initiator->active() != 0});
        }
        if (window_ && !busyWindow) {
            holdsInput_ = true;
            busyWindow = window_;
            earlierDispatch = Fl::event_dispatch();
            Fl::event_dispatch(holdInput);
        }
    } else if (hold == Hold::Controls && context_.exchanges) {
        for (Fl_Widget* control : context_.exchanges->controls())
            if (control != initiator) counted_.push_back(control);
    }
    for (Fl_Widget* control : counted_) context_.exchanges->hold(control);
    for (const Held& h : held_) h.control->deactivate();
    if (context_.log) {
        context_.log->stampStatus();
        stamp_ = context_.log->stamp();
    }
}

ExchangeGuard::~ExchangeGuard() {
    if (holdsInput_) {
        Fl::event_dispatch(earlierDispatch);
        earlierDispatch = nullptr;
        busyWindow = nullptr;
    }
    if (context_.log && lines_ > 0) context_.log->advanceStatus(lines_);
    for (Fl_Widget* control : counted_) context_.exchanges->release(control);
    for (const Held& h : held_)
        if (h.wasActive) h.control->activate();
    if (window_) window_->redraw();
    if (claimsPedal_) {
        PedalLink::keepClaim(false);
        --claimingRuns;
    }
}

bool ExchangeGuard::running() { return claimingRuns > 0; }

void ExchangeGuard::log(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vlog(format, args);
    va_end(args);
}

void ExchangeGuard::vlog(const char* format, va_list args) {
    if (!context_.log) return;
    char text[192];
    std::vsnprintf(text, sizeof text, format, args);
    restoreStamp();
    context_.log->logStatus("%s", text);
    ++lines_;
}

void ExchangeGuard::restoreStamp() {
    if (context_.log) context_.log->setStamp(stamp_);
}

void ExchangeGuard::outcome(float value, const char* label, Fl_Color colour) {
    if (!context_.usb) return;
    Fl_Progress* bar = context_.usb->progress;
    bar->value(value);
    if (label)
        bar->copy_label(label);
    else
        bar->label(nullptr);
    bar->selection_color(colour);
    bar->redraw();
}
