#include "editor/Thumbwheel.h"
#include "editor/Slider.h"

#include <FL/Fl.H>

Thumbwheel::Thumbwheel(int x, int y, int w, int h, const char* label)
    : Fl_Roller(x, y, w, h, label), midpoint(0.5), released(0) {}

int Thumbwheel::handle(int event) {
    if (stepByKey(event, *this, released) || stepByWheel(event, *this, released)) return 1;
    // Under the pointer it is the wheel's target (and shows its tooltip).
    if (event == FL_ENTER || event == FL_LEAVE) return 1;
    if (event == FL_PUSH && Fl::event_clicks() == 1) {
        value(midpoint);
        do_callback(this, user_data());
    } else if (event == FL_RELEASE && Fl::event_button() == FL_LEFT_MOUSE) {
        released = 1;
        do_callback(this, user_data());
    }
    return Fl_Roller::handle(event);
}
