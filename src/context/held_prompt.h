// The shape of every prompt drawn over the window (pedal selection, local
// preset naming, firmware update, global configuration, calibration): it is
// shown only with its hold on the window's controls, and hidden only giving
// that hold back, whatever shows or hides it.
#pragma once

#include <FL/Fl_Group.H>

#include <memory>
#include <vector>

#include "context/exchange_guard.h"

class HeldPrompt : public Fl_Group {
public:
    HeldPrompt(int x, int y, int w, int h, const char* label = nullptr);
    ~HeldPrompt() override;

    // What the prompt holds while shown: every control registered in
    // controls but the usable ones. Set once, when the shell has built them.
    void holdWhileShown(ExchangeControls* controls, std::vector<Fl_Widget*> usable = {});
    // Takes the hold without showing yet (a prompt that reads the pedal
    // first); false while another prompt holds the window.
    bool holdWindow();
    // Shown only once the hold is taken: refused (stays hidden) while another
    // prompt holds the window.
    void show() override;
    // Hidden, the hold goes back: each held control gets the state it is to have.
    void hide() override;
    bool holding() const { return hold_ && hold_->holding(); }

private:
    std::unique_ptr<PromptHold> hold_;
};
