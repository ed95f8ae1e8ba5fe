// A roller that commits on release like Slider and jumps to its midpoint on
// a double click (the commit then follows at the release of that click).
#pragma once

#include <FL/Fl_Roller.H>

class Thumbwheel : public Fl_Roller {
public:
    Thumbwheel(int x, int y, int w, int h, const char* label = nullptr);
    int handle(int event) override;

    double midpoint;            // value a double click jumps to
    unsigned char released;     // set at a left release, cleared by the handler that commits
};
