// One preset selector of the transport panel: a light button in a small
// group, so the selector's preset index is the group's place in the panel.
#pragma once

#include <FL/Fl_Group.H>

class Fl_Light_Button;

class PresetGroup : public Fl_Group {
public:
    PresetGroup(int x, int y, const char* label);
    ~PresetGroup() override;

    Fl_Light_Button* light;
    char* labelText;            // owned copy, the button's label
};
