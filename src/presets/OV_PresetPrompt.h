// The local preset prompt: save the current sound under a typed name, or
// import ".lop" files. The main window installs presetPrompt_cb
// (LocalPresets.h) as its callback; which path it takes depends on
// saveButton and on the files pending import.
#pragma once

#include <FL/Fl_Group.H>

#include "context/held_prompt.h"

#include <memory>
#include <string>
#include <vector>

class ExchangeControls;
class Fl_Button;
class Fl_Toggle_Button;
class PromptHold;
class TextInput;

class OV_PresetPrompt : public HeldPrompt {
public:
    OV_PresetPrompt(int x, int y, int w, int h, const char* label = nullptr);
    ~OV_PresetPrompt() override;
    void draw() override;

    // While shown, the prompt holds what the shell gave holdWhileShown()
    // (context/held_prompt.h).
    // "+": the hint in the name field, the controls held, the prompt shown.
    // Refused (false, nothing shown) while another prompt holds the window.
    bool open();
    // Hides the prompt; every held control gets back the state it is to have.
    void close();

    // Puts the hint into the name field, unchanged (before showing the prompt).
    void resetName();
    // The file being imported, or nullptr when none is pending (Cancel).
    const std::string* pendingFile() const;

    // The buttons' actions.
    void savePressed();
    void addFilesPressed();
    void cancelPressed();

    TextInput* nameInput = nullptr;
    Fl_Button* addFilesButton = nullptr;
    Fl_Button* helpButton = nullptr;
    Fl_Button* cancelButton = nullptr;
    Fl_Toggle_Button* saveButton = nullptr;
    int fileIndex = -1;
    std::vector<std::string> chosenFiles;
};

extern const char* const presetHelpText;
