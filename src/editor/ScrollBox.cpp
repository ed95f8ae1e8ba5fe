#include "editor/ScrollBox.h"

#include <FL/Fl.H>
#include <FL/Fl_Scroll.H>

ScrollBox::ScrollBox(int x, int y, int w, int h, const char* label)
    : Fl_Box(x, y, w, h, label), scroll(nullptr), clickX(0), clickY(0) {}

int ScrollBox::handle(int event) {
    if ((event == FL_PUSH || event == FL_MOUSEWHEEL) && scroll) {
        clickX = int(scroll->hscrollbar.value()) - scroll->x() + Fl::event_x();
        clickY = int(scroll->scrollbar.value()) - scroll->y() + Fl::event_y();
        do_callback(this, user_data());
    }
    return Fl_Box::handle(event);
}
