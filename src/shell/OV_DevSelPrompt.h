// The pedal selection prompt: shown when two pedals are attached, it lists
// their serial numbers and makes the confirmed one the pedal every later
// exchange goes to.
#pragma once

#include <FL/Fl_Choice.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Toggle_Button.H>

class Orvella;

class OV_DevSelPrompt : public Fl_Group {
public:
    OV_DevSelPrompt(int x, int y, int w, int h, const char* label = nullptr);
    ~OV_DevSelPrompt() override;
    void draw() override;

    Fl_Toggle_Button* confirmButton;
    Fl_Choice* serialChoice;
};

// Refills the list from the last enumeration; with two devices shows the
// prompt and deactivates the Dashboard and the transport panel.
void fillPedalList(Orvella* window);
// The menu's " > Select Pedal": shows the prompt as the last enumeration left it.
void openPedalSelection(Orvella* window);
// CONFIRM: the selected serial number becomes slot 0; the panels come back;
// when that is another pedal, its preset 1 is read into the Dashboard.
void confirmPedal(Orvella* window);
