// The "Local Preset" bar: the library's menu, "+" and "X".
#pragma once

#include <FL/Fl_Group.H>

class Fl_Choice;

class OV_PresetPanel : public Fl_Group {
public:
    OV_PresetPanel(int x, int y, int w, int h, const char* label = nullptr);

    void loadPresetList();
    void clearSelection();                  // no item selected (value -1)

    Fl_Choice* presetChoice = nullptr;
    int presetCount = 0;
};
