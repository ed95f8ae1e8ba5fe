// A horizontal slider that commits on release: while the user drags, the
// callback runs with `released` 0 and should only refresh read-outs; at the
// release of the left mouse button it runs once more with `released` 1.
// With the keyboard focus, each arrow key moves it a step and commits; so
// does each notch of the mouse wheel turned over it.
#pragma once

#include <FL/Fl_Slider.H>

class Slider : public Fl_Slider {
public:
    Slider(int x, int y, int w, int h, const char* label = nullptr);
    int handle(int event) override;

    unsigned char released;     // set at a left release, cleared by the handler that commits
};

// The arrow keys on a focused valuator: Right and Up +1 step, Left and Down
// -1 step, any other key 0. Each press commits with `released` set.
int keyStep(int key);
// A step key on a focused valuator (Slider, Thumbwheel) as a whole gesture:
// true when the event was one.
bool stepByKey(int event, Fl_Valuator& control, unsigned char& released);
// A notch of the mouse wheel over a valuator: away from the user (or to the
// right) +1 step, toward -1, committed as a key step is; true when the
// event was one.
bool stepByWheel(int event, Fl_Valuator& control, unsigned char& released);
