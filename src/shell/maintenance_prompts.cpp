// The shell's side of the global configuration and calibration prompts: what
// each gets at construction, and the service action that shows calibration.
#include <FL/Fl_Button.H>

#include "editor/OV_Parameters.h"
#include "maintenance/OV_CalibratePrompt.h"
#include "maintenance/OV_GloConPrompt.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_TransportPanel.h"
#include "shell/main_window.h"

void Orvella::wireMaintenancePrompts() {
    PromptContext prompt;
    prompt.feature = context_;
    // While either prompt is shown every other control that reaches the
    // pedal is held: the Dashboard, the preset bar, the transport panel,
    // "Global Configuration", the Listen buttons, Connect (a connect run
    // decides the transport panel's state itself) and, through the Menu's
    // check of the shown prompt, its pedal entries. The Menu (About, Quit)
    // and Quit stay usable.
    prompt.usable = {menuButton_, quitButton_};
    prompt.configByte = &dashboard_->globalConfig;
    gloConPrompt_->setContext(prompt);
    gloConButton_->callback(gloConOpen_cb, gloConPrompt_);
    prompt.configByte = nullptr;
    calibratePrompt_->setContext(prompt);
}

void Orvella::openCalibration() { calibratePrompt_->open(); }
