#include "reference/OV_ToneChart.h"

OV_ToneChart::OV_ToneChart(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label) { end(); }
