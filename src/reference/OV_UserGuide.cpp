#include "reference/OV_UserGuide.h"

OV_UserGuide::OV_UserGuide(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label) { end(); }
