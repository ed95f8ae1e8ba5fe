// Test helper: builds the main window in the current directory and prints
// every dialog instead of showing it. Modes (first argument):
//   quit   run the Quit button's callback
//   start  only build the window: a failed core-file check ends the process
// In "quit" a quit requested while the window is built (core files absent
// from the data folder) is reported instead of executed, so that the Quit
// button itself is what ends the process.
#include <FL/Fl.H>
#include <FL/Fl_Menu_Item.H>

#include <cstdio>
#include <cstring>

#include "tests/support/gui/TestEnvironment.h"
#include "shell/main_window.h"
#include "shell/program.h"
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
    if (std::strcmp(mode, "start") != 0) setQuitHook(reportQuit);
    {
        std::unique_ptr<Orvella> window = openMainWindow(false);
        setQuitHook(nullptr);
        std::printf("constructed\n");
        window->quitButton()->do_callback();
        std::printf("still running after Quit\n");
    }
    return 3;
}
