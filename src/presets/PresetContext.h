// What the preset features work with: the context the shell hands every
// feature, and the preset subsystem's own three panels (the local preset bar,
// its prompt and the transport panel). The shell builds the panels and this
// object; installPresetCallbacks makes it the panels' callback user data.
#pragma once

#include "context/feature_context.h"

class OV_PresetPanel;
class OV_PresetPrompt;
class OV_TransportPanel;

struct PresetContext {
    FeatureContext context;
    OV_PresetPanel* presetPanel = nullptr;
    OV_PresetPrompt* presetPrompt = nullptr;
    OV_TransportPanel* transportPanel = nullptr;
};

// presetPanel_cb, presetPrompt_cb and transport_cb on the three panels.
void installPresetCallbacks(PresetContext& presets);
