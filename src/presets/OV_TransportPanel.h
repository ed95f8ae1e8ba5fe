// The pedal's eight presets: selectors, title field, READ, WRITE, BACKUP, RESTORE.
// The panel's callback (transport_cb in TransportActions.h) performs the
// action chosen by `mode`; the panel itself never talks to the pedal.
#pragma once

#include <FL/Fl_Group.H>

#include <cstdint>

class Fl_Box;
class Fl_Button;
class PresetGroup;
class TextInput;

class OV_TransportPanel : public Fl_Group {
public:
    enum Mode { Select = 0, Read = 1, Write = 2, Backup = 3, Restore = 4 };

    OV_TransportPanel(int x, int y, int w, int h, const char* label = nullptr);
    ~OV_TransportPanel() override;
    void draw() override;

    void selectFirstPreset();
    void showTitle(const uint8_t* title12);

    // Used by the widgets' callbacks.
    void presetChosen(PresetGroup* group);
    void titleEntered();
    void actionPressed(Fl_Button* button);

    // Turns one light on (the others off) in its colour; no callback.
    void lightPreset(int index);
    // The controls an action deactivates while it runs.
    void setActionControls(bool active);
    // The edited mark: the Dashboard or the title differs from what the
    // selected preset holds on the pedal. Shown on the selected preset's
    // button ("*Preset-3") and beside the title field, with a tooltip.
    void showEdited(bool edited);
    bool edited() const { return editedShown; }

    Fl_Button* readButton = nullptr;
    Fl_Button* writeButton = nullptr;
    Fl_Button* backupButton = nullptr;
    Fl_Button* restoreButton = nullptr;
    TextInput* titleInput = nullptr;
    Fl_Box* editedMark = nullptr;       // in the gap between the title field and BACKUP
    int presetCount = 8;
    int mode = 0;
    int selectedPreset = 0;
    char title[12] = {'U', 'n', 't', 'i', 't', 'l', 'e', 'd', ' ', ' ', ' ', ' '};

private:
    void showCurrentTitle(Fl_Color background);
    PresetGroup* groups[8] = {};
    char shownTitle[14] = {};       // one space, the 12 title characters, NUL
    bool editedShown = false;
    int markedPreset = -1;          // the selector whose label carries the mark
    char markedLabel[16] = {};
    char editedTip[200] = {};
};
