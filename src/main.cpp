// Program entry: build the main window, run the toolkit's loop, exit 0.
#include <FL/Fl.H>

#include "shell/Orvella.h"

static void hideWindow_cb(Fl_Widget* window, void*) { window->hide(); }

int main() {
    Orvella window(830, 600, "Kestrova - Orvella 2.0.8");
    window.callback(hideWindow_cb);
    return Fl::run();
}
