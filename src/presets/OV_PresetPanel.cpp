#include "presets/OV_PresetPanel.h"

// Placeholder until the local preset issue fills the panel.
OV_PresetPanel::OV_PresetPanel(int x, int y, int w, int h, const char* label)
    : Fl_Group(x, y, w, h, label) {
    end();
}
void OV_PresetPanel::loadPresetList() {}
void OV_PresetPanel::clearSelection() {}
