#include "maintenance/OV_UpdatePrompt.h"

// Placeholder until the firmware update issue fills the prompt.
OV_UpdatePrompt::OV_UpdatePrompt(int x, int y, int w, int h, const char* label)
    : Fl_Group(x, y, w, h, label) {
    pedalVersionBox = new Fl_Box(x + 53, y + 48, 100, 25);
    end();
}
