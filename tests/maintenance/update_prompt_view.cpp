// Shows the firmware update prompt on a window of the main window's size, for
// looking at it (for example under Xvfb with a screenshot). Not a test.
//   maintenance_update_prompt_view [notes] [seconds]
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "maintenance/OV_UpdatePrompt.h"

int main(int argc, char** argv) {
    Fl_Double_Window win(830, 600, "Firmware update");
    win.color(fl_rgb_color(253, 252, 255));
    OV_UpdatePrompt* prompt = new OV_UpdatePrompt(235, 100, 360, 370);
    prompt->box(FL_EMBOSSED_BOX);
    prompt->color(FL_WHITE);
    snprintf(prompt->pedalVersionText, sizeof prompt->pedalVersionText, "V2.3");
    prompt->pedalVersionBox->label(prompt->pedalVersionText);
    win.end();
    double seconds = 3;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "notes")) {
            prompt->iconBox->hide();
            prompt->notesDisplay->show();
            prompt->notesBuffer->text("Version 2.4 release notes\n- Faster start-up after power on, with a "
                                      "much longer line that must wrap inside the display\n- Quieter relays\n");
            snprintf(prompt->fileVersionText, sizeof prompt->fileVersionText, "V2.4");
            prompt->fileVersionBox->label(prompt->fileVersionText);
            prompt->updateButton->activate();
        } else {
            seconds = atof(argv[i]);
        }
    }
    win.show();
    time_t end = time(nullptr) + time_t(seconds);
    while (time(nullptr) < end && win.shown()) Fl::wait(0.2);
    return 0;
}
