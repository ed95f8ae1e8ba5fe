// The pedal's eight presets: selectors, title field, READ, WRITE, BACKUP, RESTORE.
#pragma once

#include <FL/Fl_Group.H>

#include <cstdint>

class OV_TransportPanel : public Fl_Group {
public:
    OV_TransportPanel(int x, int y, int w, int h, const char* label = nullptr);

    void selectFirstPreset();
    void showTitle(const uint8_t* title12);

    int presetCount = 8;
    int mode = 0;
    int selectedPreset = 0;
    char title[12] = {'U', 'n', 't', 'i', 't', 'l', 'e', 'd', ' ', ' ', ' ', ' '};
};
