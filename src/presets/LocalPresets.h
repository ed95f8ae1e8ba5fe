// What the local preset bar and its prompt do to the rest of the window.
// The main window installs, with itself as user data:
//   presetPanel->callback(presetPanel_cb, window);
//   presetPrompt->callback(presetPrompt_cb, window);
#pragma once

class Fl_Widget;

void presetPanel_cb(Fl_Widget* panel, void* app);
void presetPrompt_cb(Fl_Widget* prompt, void* app);
