#include "tests/support/gui/Events.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

namespace gui {
namespace {

int buttonMask(int button) {
    return button == 1 ? FL_BUTTON1 : button == 2 ? FL_BUTTON2 : FL_BUTTON3;
}

void place(Fl_Window* window, int x, int y) {
    Fl::e_x = x;
    Fl::e_y = y;
    Fl::e_x_root = window->x_root() + x;
    Fl::e_y_root = window->y_root() + y;
}

char textBuffer[8];

}  // namespace

void press(Fl_Window* window, int x, int y, int button) {
    place(window, x, y);
    Fl::e_keysym = FL_Button + button;
    Fl::e_state = buttonMask(button);
    Fl::e_clicks = 0;
    Fl::e_is_click = 1;
    Fl::handle(FL_PUSH, window);
}

void clickCentre(Fl_Widget* widget) {
    click(widget->window(), widget->x() + widget->w() / 2, widget->y() + widget->h() / 2);
}

void drag(Fl_Window* window, int x, int y, int button) {
    place(window, x, y);
    Fl::e_keysym = FL_Button + button;
    Fl::e_state = buttonMask(button);
    Fl::e_is_click = 0;
    Fl::handle(FL_DRAG, window);
}

void release(Fl_Window* window, int x, int y, int button) {
    place(window, x, y);
    Fl::e_keysym = FL_Button + button;
    Fl::e_state = 0;
    Fl::handle(FL_RELEASE, window);
}

void click(Fl_Window* window, int x, int y, int button) {
    press(window, x, y, button);
    release(window, x, y, button);
}

void rightClick(Fl_Window* window, int x, int y) { click(window, x, y, 3); }

void move(Fl_Window* window, int x, int y) {
    place(window, x, y);
    Fl::e_state = 0;
    Fl::handle(FL_MOVE, window);
}

void wheel(Fl_Window* window, int x, int y, int notches) {
    move(window, x, y);
    Fl::e_dx = 0;
    Fl::e_dy = notches;
    Fl::handle(FL_MOUSEWHEEL, window);
    Fl::e_dy = 0;
}

void key(Fl_Window* window, int keysym, const std::string& text, int state) {
    size_t n = text.size() < sizeof textBuffer - 1 ? text.size() : sizeof textBuffer - 1;
    text.copy(textBuffer, n);
    textBuffer[n] = '\0';
    Fl::e_keysym = keysym;
    Fl::e_state = state;
    Fl::e_text = textBuffer;
    Fl::e_length = static_cast<int>(n);
    Fl::handle(FL_KEYBOARD, window);
    Fl::handle(FL_KEYUP, window);
    Fl::e_text = textBuffer;
    textBuffer[0] = '\0';
    Fl::e_length = 0;
}

void type(Fl_Window* window, const std::string& text) {
    for (char c : text) key(window, static_cast<unsigned char>(c), std::string(1, c));
}

void settle() {
    for (int i = 0; i < 3; ++i) Fl::check();
}

}  // namespace gui
