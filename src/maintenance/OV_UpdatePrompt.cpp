#include "maintenance/OV_UpdatePrompt.h"

OV_UpdatePrompt::OV_UpdatePrompt(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label) { end(); }
