#include "editor/OV_Parameters.h"

OV_Parameters::OV_Parameters(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label) { end(); }
