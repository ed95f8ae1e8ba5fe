#include "presets/OV_TransportPanel.h"

OV_TransportPanel::OV_TransportPanel(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label) { end(); }
