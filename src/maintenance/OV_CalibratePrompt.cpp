#include "maintenance/OV_CalibratePrompt.h"

OV_CalibratePrompt::OV_CalibratePrompt(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label) { end(); }
