// What the global configuration and calibration prompts get from the shell
// when it builds them, besides the feature context (the link, the status log
// writer, the controls an exchange holds): the controls that stay usable
// while the prompt is shown (every other registered control is held, see
// PromptHold in context/exchange_guard.h), and for the global configuration
// the Dashboard's cached configuration byte. The prompts never see the main
// window.
#pragma once

#include <vector>

#include "context/feature_context.h"

class Fl_Widget;

// feature.usb, feature.log and feature.exchanges are required; configByte
// only by the global configuration.
struct PromptContext {
    FeatureContext feature;
    std::vector<Fl_Widget*> usable;         // stay usable while the prompt is shown
    unsigned char* configByte = nullptr;    // the Dashboard's cached configuration byte
};
