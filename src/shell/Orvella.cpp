#include "shell/Orvella.h"

// Placeholder: the foundation issue builds the window.
Orvella::Orvella(int w, int h, const char* title)
    : Fl_Double_Window(w, h, title), background(nullptr), headerBand(nullptr), appLogo(nullptr),
      makerLogo(nullptr), tabs(nullptr), userGuide(nullptr), dashboard(nullptr), toneChart(nullptr),
      presetPanel(nullptr), presetPrompt(nullptr), transportPanel(nullptr), usb(nullptr),
      updatePrompt(nullptr), gloConPrompt(nullptr), devSelPrompt(nullptr), calibratePrompt(nullptr),
      gloConButton(nullptr), connectButton(nullptr), menuButton(nullptr), quitButton(nullptr),
      statusLog(nullptr), logTopLine(0), logTime(nullptr), logLine{}, toneChartSpeakers{} {
    end();
}

Orvella::~Orvella() {}

void Orvella::draw() { Fl_Double_Window::draw(); }

void Orvella::stampStatus() {}
void Orvella::logStatus(const char*, ...) {}
void Orvella::advanceStatus(int) {}
