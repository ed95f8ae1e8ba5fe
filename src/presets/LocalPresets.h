// What the local preset bar and its prompt do to the rest of the window.
// installPresetCallbacks (presets/PresetContext.h) installs them with the
// PresetContext as user data.
#pragma once

class Fl_Widget;

void presetPanel_cb(Fl_Widget* panel, void* presets);
void presetPrompt_cb(Fl_Widget* prompt, void* presets);
