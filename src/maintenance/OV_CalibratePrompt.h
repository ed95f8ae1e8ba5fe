// Placeholder panel: its own issue fills it.
#pragma once

#include <FL/Fl_Group.H>

class OV_CalibratePrompt : public Fl_Group {
public:
    OV_CalibratePrompt(int x, int y, int w, int h, const char* label = nullptr);
};
