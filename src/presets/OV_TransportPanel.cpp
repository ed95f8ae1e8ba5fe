#include "presets/OV_TransportPanel.h"

#include <cstring>

// Placeholder until the transport issue fills the panel.
OV_TransportPanel::OV_TransportPanel(int x, int y, int w, int h, const char* label)
    : Fl_Group(x, y, w, h, label) {
    end();
}
void OV_TransportPanel::selectFirstPreset() { selectedPreset = 0; }
void OV_TransportPanel::showTitle(const uint8_t* title12) { std::memcpy(title, title12, 12); }
