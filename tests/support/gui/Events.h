// Synthesised toolkit events, delivered through Fl::handle so that widgets
// see them exactly as they see real ones. Coordinates are window coordinates;
// buttons are 1 left, 2 middle, 3 right.
#pragma once

#include <string>

class Fl_Widget;
class Fl_Window;

namespace gui {

void press(Fl_Window* window, int x, int y, int button = 1);
void drag(Fl_Window* window, int x, int y, int button = 1);
void release(Fl_Window* window, int x, int y, int button = 1);
// Press and release at one point.
void click(Fl_Window* window, int x, int y, int button = 1);
// A left click at the centre of a widget, in its window, as the user would.
void clickCentre(Fl_Widget* widget);
void rightClick(Fl_Window* window, int x, int y);
// Moves the mouse over (x, y) without a button (FL_MOVE).
void move(Fl_Window* window, int x, int y);
// Turns the mouse wheel over (x, y) by notches (negative: away from the user).
void wheel(Fl_Window* window, int x, int y, int notches);
// One key press and release (keysym as in FL/Enumerations.H), with optional
// text for printable keys and modifier state (FL_SHIFT, FL_CTRL, ...).
void key(Fl_Window* window, int keysym, const std::string& text = "", int state = 0);
// Types text into the focused widget, one key per character.
void type(Fl_Window* window, const std::string& text);
// Lets the toolkit process whatever is pending (redraws, deferred callbacks).
void settle();

}  // namespace gui
