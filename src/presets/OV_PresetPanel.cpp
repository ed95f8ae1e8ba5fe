#include "presets/OV_PresetPanel.h"

OV_PresetPanel::OV_PresetPanel(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label) { end(); }
