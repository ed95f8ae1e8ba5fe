// Placeholder panel: its own issue fills it.
#pragma once

#include <FL/Fl_Group.H>

class OV_PresetPrompt : public Fl_Group {
public:
    OV_PresetPrompt(int x, int y, int w, int h, const char* label = nullptr);
};
