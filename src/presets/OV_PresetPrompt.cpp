#include "presets/OV_PresetPrompt.h"

OV_PresetPrompt::OV_PresetPrompt(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label) { end(); }
