// A click target inside an Fl_Scroll that records where, in the scrolled
// content, the user pressed or turned the wheel, then runs its callback.
#pragma once

#include <FL/Fl_Box.H>

class Fl_Scroll;

class ScrollBox : public Fl_Box {
public:
    ScrollBox(int x, int y, int w, int h, const char* label = nullptr);
    int handle(int event) override;

    Fl_Scroll* scroll;          // the scroll area holding the box; not owned
    int clickX;                 // last press or wheel position in content coordinates
    int clickY;
};
