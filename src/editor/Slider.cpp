#include "editor/Slider.h"

#include <FL/Fl.H>

Slider::Slider(int x, int y, int w, int h, const char* label)
    : Fl_Slider(FL_HOR_NICE_SLIDER, x, y, w, h, label), released(0) {}

int Slider::handle(int event) {
    if (event == FL_RELEASE && Fl::event_button() == FL_LEFT_MOUSE) {
        released = 1;
        do_callback(this, user_data());
    }
    return Fl_Slider::handle(event);
}
