// The firmware update prompt, shown for a pedal waiting for firmware.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Group.H>

class OV_UpdatePrompt : public Fl_Group {
public:
    OV_UpdatePrompt(int x, int y, int w, int h, const char* label = nullptr);

    Fl_Box* pedalVersionBox = nullptr;
    char pedalVersionText[9] = {};
    char fileVersionText[9] = {};
};
