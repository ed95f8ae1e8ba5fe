// The "Local Preset" bar: the library's menu, "+" and "X". The main window
// installs presetPanel_cb (LocalPresets.h) as its callback: with "+" on it
// opens the naming prompt, otherwise it plays the preset just loaded.
#pragma once

#include <FL/Fl_Group.H>

#include "presets/Preset.h"

#include <cstdint>
#include <string>
#include <vector>

class Fl_Choice;
class Fl_Toggle_Button;

class OV_PresetPanel : public Fl_Group {
public:
    OV_PresetPanel(int x, int y, int w, int h, const char* label = nullptr);
    ~OV_PresetPanel() override;
    void draw() override;

    void loadPresetList();
    void clearSelection();                  // no item selected (value -1)

    // Library bookkeeping, shared with the prompt.
    int findPreset(const std::string& name) const;   // item index or -1
    void addPreset(const std::string& name);          // appended, not selected
    const std::string& presetName(int index) const { return names[static_cast<size_t>(index)]; }
    std::string homeDrive() const;

    // Loads the selected item's file into `loaded` and runs the panel's
    // callback to play it; a file that is no preset a pedal holds is refused.
    bool loadSelected();
    void removeSelected();                  // the "X" button
    void addPressed();                      // the "+" button

    Fl_Toggle_Button* addButton = nullptr;
    Fl_Toggle_Button* removeButton = nullptr;
    Fl_Choice* presetChoice = nullptr;
    int presetCount = 0;
    presetfiles::Preset loaded;

private:
    void rebuildMenu();
    std::vector<std::string> names;         // item texts, in menu order
};
