// The oscillator calibration prompt, a service tool: a counter for the
// pedal's oscillator value (OSCCAL, 96 to 220), SET to try it (command 0xD0),
// BURN to keep it (command 0xE0), Exit to close. Exit stays inactive until a
// BURN, so the prompt can only be left once a value has been burned. No
// alert is ever shown: the outcome is on the progress bar and in the log.
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Counter.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Toggle_Button.H>

#include <cstdint>
#include <memory>

#include "context/exchange_guard.h"
#include "context/held_prompt.h"
#include "maintenance/PromptContext.h"

class OV_CalibratePrompt : public HeldPrompt {
public:
    OV_CalibratePrompt(int x, int y, int w, int h, const char* label = nullptr);
    ~OV_CalibratePrompt() override;
    void draw() override;

    void setContext(const PromptContext& context);

    // The service action: hold the controls, show the prompt.
    void open();
    // The prompt's callback: SET, BURN or Exit, told apart by the toggles.
    void buttonPressed();

    // The counter's value as the byte sent, 96 to 220.
    uint8_t value() const;

    Fl_Counter* valueCounter;
    Fl_Toggle_Button* setButton;
    Fl_Toggle_Button* burnButton;
    Fl_Button* exitButton;

private:
    PromptContext context_;
};

// The prompt's callback (user data: the prompt).
void calibratePrompt_cb(Fl_Widget* widget, void* prompt);
