// The shell's side of the global configuration and calibration prompts: what
// each gets at construction, and the service action that shows calibration.
#include <FL/Fl_Button.H>

#include "editor/OV_Parameters.h"
#include "maintenance/OV_CalibratePrompt.h"
#include "maintenance/OV_GloConPrompt.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_TransportPanel.h"
#include "shell/Orvella.h"

void Orvella::wireMaintenancePrompts() {
    PromptContext prompt;
    prompt.feature = context;
    // Connect too: a connect run decides the transport panel's state itself
    // and would make it usable under an open prompt.
    prompt.controls = {presetPanel, dashboard, transportPanel, gloConButton, connectButton};
    prompt.configByte = &dashboard->globalConfig;
    gloConPrompt->setContext(prompt);
    gloConButton->callback(gloConOpen_cb, gloConPrompt);
    // Calibration also holds "Global Configuration", so the two prompts are
    // never open together (its menu entry is greyed while the transport
    // panel is held).
    prompt.configByte = nullptr;
    calibratePrompt->setContext(prompt);
}

void Orvella::openCalibration() { calibratePrompt->open(); }
