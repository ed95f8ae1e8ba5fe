// Placeholder panel: its own issue fills it.
#pragma once

#include <FL/Fl_Group.H>

class OV_UserGuide : public Fl_Group {
public:
    OV_UserGuide(int x, int y, int w, int h, const char* label = nullptr);
};
