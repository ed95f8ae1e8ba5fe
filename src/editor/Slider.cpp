#include "editor/Slider.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

Slider::Slider(int x, int y, int w, int h, const char* label)
    : Fl_Slider(FL_HOR_NICE_SLIDER, x, y, w, h, label), released(0) {}

// Right and Up raise the value a step, Left and Down lower it.
int keyStep(int key) {
    if (key == FL_Right || key == FL_Up) return 1;
    if (key == FL_Left || key == FL_Down) return -1;
    return 0;
}

// One step, committed at once: a key press or a wheel notch is a whole
// gesture, as a release is.
static void commitStep(Fl_Valuator& control, int step, unsigned char& released) {
    double v = control.clamp(control.increment(control.value(), step));
    if (v != control.value()) {
        control.value(v);
        control.set_changed();
        released = 1;
        control.do_callback(&control, control.user_data());
        released = 0;
    }
}

bool stepByKey(int event, Fl_Valuator& control, unsigned char& released) {
    if (event != FL_KEYBOARD || Fl::focus() != &control || (Fl::event_state() & (FL_CTRL | FL_ALT | FL_META)))
        return false;
    int step = keyStep(Fl::event_key());
    if (!step) return false;
    commitStep(control, step, released);
    return true;
}

bool stepByWheel(int event, Fl_Valuator& control, unsigned char& released) {
    if (event != FL_MOUSEWHEEL || !control.active_r()) return false;
    int notches = Fl::event_dy() ? -Fl::event_dy() : Fl::event_dx();
    if (!notches) return false;
    commitStep(control, notches > 0 ? 1 : -1, released);
    return true;
}

int Slider::handle(int event) {
    if (stepByKey(event, *this, released) || stepByWheel(event, *this, released)) return 1;
    // Without a box the focus frame would stay behind: the window repaints the place.
    if ((event == FL_FOCUS || event == FL_UNFOCUS) && window()) window()->damage(FL_DAMAGE_ALL, x(), y(), w(), h());
    if (event == FL_RELEASE && Fl::event_button() == FL_LEFT_MOUSE) {
        released = 1;
        do_callback(this, user_data());
    }
    return Fl_Slider::handle(event);
}
