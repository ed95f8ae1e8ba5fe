// What the global configuration and calibration prompts get from the shell
// when it builds them, besides the feature context (the link, the status log
// writer, the controls an exchange holds): the controls to hold while the
// prompt is shown, and for the global configuration the Dashboard's cached
// configuration byte. The prompts never see the main window.
#pragma once

#include <vector>

#include "context/feature_context.h"

class Fl_Widget;

// Controls held inactive while a prompt is shown. hold() deactivates them and
// remembers the state each had; release() gives every one that state back
// (so a panel that was inactive before, such as the transport panel without a
// pedal, stays inactive). A second hold() before release() does nothing.
class ControlHold {
public:
    void hold(const std::vector<Fl_Widget*>& controls);
    void release();
    bool holding() const { return holding_; }

private:
    struct Held {
        Fl_Widget* widget;
        bool wasActive;
    };
    std::vector<Held> held_;
    bool holding_ = false;
};

// feature.usb and feature.log are required; configByte only by the global
// configuration.
struct PromptContext {
    FeatureContext feature;
    std::vector<Fl_Widget*> controls;       // held while the prompt is shown
    unsigned char* configByte = nullptr;    // the Dashboard's cached configuration byte
};
