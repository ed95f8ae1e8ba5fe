#include "context/held_prompt.h"

#include <FL/Fl_Window.H>

#include <utility>

HeldPrompt::HeldPrompt(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label) {}

// The window's registry may be gone already: the window deletes its
// children after its members.
HeldPrompt::~HeldPrompt() = default;

void HeldPrompt::holdWhileShown(ExchangeControls* controls, std::vector<Fl_Widget*> usable) {
    if (hold_) hold_->giveBack();
    hold_.reset(new PromptHold(controls, this, std::move(usable)));
}

bool HeldPrompt::holdWindow() { return !hold_ || hold_->take(); }

void HeldPrompt::show() {
    if (!holdWindow()) return;
    Fl_Group::show();
    if (Fl_Window* window = top_window()) window->redraw();
}

void HeldPrompt::hide() {
    Fl_Group::hide();
    if (hold_) hold_->giveBack();
    if (Fl_Window* window = top_window()) window->redraw();
}
