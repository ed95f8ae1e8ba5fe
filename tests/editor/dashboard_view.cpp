// Shows the Dashboard in a window of the main window's size, for looking at
// it (for example under Xvfb with a screenshot). Not a test.
//   editor_dashboard_view [mics] [solo-left|solo-right] [ultra] [notcher] [gears] [seconds]
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Tabs.H>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "editor/OV_Parameters.h"

int main(int argc, char** argv) {
    Fl_Double_Window win(830, 600, "Dashboard");
    Fl_Tabs tabs(5, 37, 820, 458);
    OV_Parameters* dash = new OV_Parameters(5, 62, 820, 433, nullptr, ORVELLA_BIN_DIR, ORVELLA_IMG_DIR);
    tabs.end();
    win.end();
    win.show();
    double seconds = 3;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "mics")) dash->stereoMicsButton->do_callback();
        else if (!strcmp(argv[i], "solo-left")) { dash->leftSpeakerButton->value(1); dash->leftSpeakerButton->do_callback(); }
        else if (!strcmp(argv[i], "solo-right")) { dash->rightSpeakerButton->value(1); dash->rightSpeakerButton->do_callback(); }
        else if (!strcmp(argv[i], "ultra")) { dash->ultraShortCheck->value(1); dash->ultraShortCheck->do_callback(); }
        else if (!strcmp(argv[i], "notcher")) { dash->delayModeChoice->value(1); dash->delayModeChoice->do_callback(); }
        else if (!strcmp(argv[i], "gears")) dash->selectSpeakers(62, 68);
        else seconds = atof(argv[i]);
    }
    time_t end = time(nullptr) + time_t(seconds);
    while (time(nullptr) < end && win.shown()) Fl::wait(0.2);
    return 0;
}
