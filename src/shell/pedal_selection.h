// The pedal selection prompt: shown when two pedals are attached, it lists
// their serial numbers and makes the confirmed one the pedal every later
// exchange goes to.
#pragma once

#include <FL/Fl_Choice.H>
#include <FL/Fl_Toggle_Button.H>

#include "context/held_prompt.h"

class Orvella;

class OV_DevSelPrompt : public HeldPrompt {
public:
    OV_DevSelPrompt(int x, int y, int w, int h, const char* label = nullptr);
    ~OV_DevSelPrompt() override;
    void draw() override;

    Fl_Toggle_Button* confirmButton;
    Fl_Choice* serialChoice;
    // Held while the prompt is shown (holdWhileShown(), by the shell): every
    // control that reaches the pedal but Connect (the Menu and Quit stay
    // usable too).
};

// Refills the list from the last enumeration; with two devices shows the
// prompt, holding the Dashboard, the transport panel and the other controls
// that reach the pedal; with one, closes a prompt still shown.
void fillPedalList(Orvella* window);
// The menu's " > Select Pedal": shows the prompt as the last enumeration left it.
void openPedalSelection(Orvella* window);
// CONFIRM: the selected serial number becomes slot 0 and every held control
// gets back the state it is to have. When that is another pedal, its status
// is asked as Connect asks it: a pedal waiting for firmware gets the update
// prompt, one in normal operation has its preset 1 read into the Dashboard.
void confirmPedal(Orvella* window);
