// Test helper: builds the main window in the current directory and prints
// every dialog instead of showing it. Modes (first argument):
//   quit   run the Quit button's callback
//   close  hide the window and let the loop end
//   start  only build the window: a failed core-file check ends the process
// In "quit" and "close" a quit requested while the window is built (core files
// absent from the data folder) is reported instead of executed, so that the
// Quit button itself is what ends the process.
#include <FL/Fl.H>
#include <FL/Fl_Menu_Item.H>

#include <cstdio>
#include <cstring>

#include "gui/TestEnvironment.h"
#include "shell/Orvella.h"
#include "base/dialogs.h"
#include "base/printing_dialogs.h"
#include "shell/quit.h"

namespace {

void reportQuit() { std::printf("quit requested during start-up\n"); }

}  // namespace

int main(int argc, char** argv) {
    PrintingDialogs printing(stdout);
    dialogs::setHandler(&printing);
    setvbuf(stdout, nullptr, _IONBF, 0);
    gui::openDisplay();
    const char* mode = argc > 1 ? argv[1] : "quit";
    bool close = std::strcmp(mode, "close") == 0;
    if (std::strcmp(mode, "start") != 0) setQuitHook(reportQuit);
    {
        Orvella window(830, 600, "Kestrova - Orvella 2.0.8");
        setQuitHook(nullptr);
        std::printf("constructed\n");
        if (close) {
            window.hide();
            int result = Fl::run();
            std::printf("loop ended %d\n", result);
            return result;
        }
        window.quitButton->do_callback();
        std::printf("still running after Quit\n");
    }
    return 3;
}
