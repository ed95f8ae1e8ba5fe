// Synthesised toolkit events: set the event state the widgets read, then hand
// the event straight to the widget, as the event loop would.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Slider.H>
#include <FL/Fl_Widget.H>

namespace sim {

inline int send(Fl_Widget* w, int event, int x, int y, int button = FL_LEFT_MOUSE, int clicks = 0) {
    Fl::e_x = Fl::e_x_root = x;
    Fl::e_y = Fl::e_y_root = y;
    Fl::e_keysym = FL_Button + button;
    Fl::e_clicks = clicks;
    if (event == FL_PUSH || event == FL_DRAG)
        Fl::e_state = (button == FL_LEFT_MOUSE ? FL_BUTTON1 : button == FL_MIDDLE_MOUSE ? FL_BUTTON2 : FL_BUTTON3);
    else if (event == FL_RELEASE)
        Fl::e_state = 0;
    return w->handle(event);
}

// Press, drag in one-pixel steps along x, release: a user's drag.
inline void drag(Fl_Widget* w, int x0, int x1, int y, int releaseButton = FL_LEFT_MOUSE) {
    send(w, FL_PUSH, x0, y, releaseButton);
    int step = x1 > x0 ? 1 : -1;
    for (int x = x0 + step; x != x1 + step; x += step) send(w, FL_DRAG, x, y, releaseButton);
    send(w, FL_RELEASE, x1, y, releaseButton);
}

// A left click in the middle of the widget.
inline void click(Fl_Widget* w) {
    send(w, FL_PUSH, w->x() + w->w() / 2, w->y() + w->h() / 2);
    send(w, FL_RELEASE, w->x() + w->w() / 2, w->y() + w->h() / 2);
}

// x of the knob centre of a horizontal slider standing at value v.
inline int knobX(const Fl_Slider& s, double v) {
    int knob = int(s.slider_size() * s.w() + 0.5);
    double travel = s.w() - knob;
    return s.x() + int((v - s.minimum()) / (s.maximum() - s.minimum()) * travel + 0.5) + knob / 2;
}

}  // namespace sim
