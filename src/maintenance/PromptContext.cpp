#include "maintenance/PromptContext.h"

#include <FL/Fl_Widget.H>

void ControlHold::hold(const std::vector<Fl_Widget*>& controls) {
    if (holding_) return;
    held_.clear();
    for (Fl_Widget* w : controls) {
        if (!w) continue;
        held_.push_back({w, w->active() != 0});
        w->deactivate();
    }
    holding_ = true;
}

void ControlHold::release() {
    if (!holding_) return;
    for (const Held& h : held_) {
        if (h.wasActive)
            h.widget->activate();
        else
            h.widget->deactivate();
    }
    held_.clear();
    holding_ = false;
}
