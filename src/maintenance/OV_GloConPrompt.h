// Placeholder panel: its own issue fills it.
#pragma once

#include <FL/Fl_Group.H>

class OV_GloConPrompt : public Fl_Group {
public:
    OV_GloConPrompt(int x, int y, int w, int h, const char* label = nullptr);
};
