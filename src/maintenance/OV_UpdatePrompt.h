// Placeholder panel: its own issue fills it.
#pragma once

#include <FL/Fl_Group.H>

class OV_UpdatePrompt : public Fl_Group {
public:
    OV_UpdatePrompt(int x, int y, int w, int h, const char* label = nullptr);
};
