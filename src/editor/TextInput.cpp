#include "editor/TextInput.h"

#include <FL/Fl.H>

TextInput::TextInput(int x, int y, int w, int h, const char* label)
    : Fl_Input(x, y, w, h, label),
      bgColor(0x4444ff00),
      normalTextColor(FL_WHITE),
      hoverTextColor(0xcccc0000),
      focusFont(FL_HELVETICA),
      focusSize(textsize()) {}

int TextInput::handle(int event) {
    int used = Fl_Input::handle(event);
    switch (event) {
    case FL_RELEASE:
        value(nullptr);
        break;
    case FL_ENTER:
        color(bgColor);
        textcolor(hoverTextColor);
        break;
    case FL_LEAVE:
        color(bgColor);
        textcolor(normalTextColor);
        break;
    case FL_FOCUS:
        textsize(focusSize);
        textfont(focusFont);
        color(bgColor);
        break;
    case FL_UNFOCUS:
        color(bgColor);
        break;
    default:
        return used;
    }
    redraw();
    return 1;
}
