// A single-line name field that lights up under the pointer and empties
// itself when clicked, so a default name placed in it acts as a prompt.
#pragma once

#include <FL/Fl_Input.H>

class TextInput : public Fl_Input {
public:
    TextInput(int x, int y, int w, int h, const char* label = nullptr);
    int handle(int event) override;

    Fl_Color bgColor;           // background on every handled event
    Fl_Color normalTextColor;   // text colour with the pointer elsewhere
    Fl_Color hoverTextColor;    // text colour with the pointer over the field
    Fl_Font focusFont;          // text font while focused
    Fl_Fontsize focusSize;      // text size while focused; set by every creator
};
