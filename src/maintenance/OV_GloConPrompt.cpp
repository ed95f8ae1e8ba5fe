#include "maintenance/OV_GloConPrompt.h"

OV_GloConPrompt::OV_GloConPrompt(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label) { end(); }
