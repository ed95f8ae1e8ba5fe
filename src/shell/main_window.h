// The main window: builds every panel, prompt and button and hands each
// feature its context (context/feature_context.h) at construction. Only the
// shell includes this header; the window is the user data of the shell's own
// callbacks (tabs, Connect, Menu, the Dashboard's preview, pedal selection).
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/Fl_Tabs.H>

#include <ctime>

#include "context/exchange_guard.h"
#include "context/feature_context.h"
#include "context/status_writer.h"
#include "presets/PresetContext.h"
#include "shell/edit_session.h"

class OV_UserGuide;
class OV_Parameters;
class OV_ToneChart;
class OV_PresetPanel;
class OV_PresetPrompt;
class OV_TransportPanel;
class OV_UsbController;
class OV_UpdatePrompt;
class OV_GloConPrompt;
class OV_DevSelPrompt;
class OV_CalibratePrompt;
class TextBoard;
class Listening;
struct ToneChartContext;

class Orvella : public Fl_Double_Window, public StatusWriter {
public:
    Orvella(int w, int h, const char* title);
    ~Orvella() override;
    void draw() override;
    // Keeps Escape from closing the window (and ending the program) when no
    // child takes it; the close button and Quit still end the program.
    int handle(int event) override;

    // Status log (every writer shares these). stampStatus() takes the time
    // that the following lines carry; logStatus() appends one line made of
    // the stamp, the formatted text (no newline needed: one is added) and a
    // newline, cut to fit logLine; advanceStatus(n) scrolls n lines on.
    void stampStatus() override;
    __attribute__((format(printf, 2, 3))) void logStatus(const char* format, ...) override;
    void advanceStatus(int n) override;
    struct tm stamp() const override { return logStamp; }
    void setStamp(const struct tm& stamp) override {
        logStamp = stamp;
        logTime_ = &logStamp;
    }

    // Connect sequence: the automatic run at start-up and the "Connect"
    // button's run; firstRead() brings preset 1 into the Dashboard.
    void startupConnect();
    void connectClicked();
    bool firstRead();
    // Asks the pedal in slot 0 for its status byte (the reply stays in the
    // link's buffer). Failed: alerted and logged with the run's stamp.
    // Updating: the pedal waits for firmware; the update prompt opens (or,
    // under the selection prompt, waits for CONFIRM) and holds the panels.
    // Running: an update prompt still open is closed.
    enum class PedalStatus { Failed, Updating, Running };
    PedalStatus askPedalStatus(ExchangeGuard& run);
    // The Dashboard's preview step: send the image, log the outcome.
    void previewImage();
    // The tabs' callback: label sizes, preset bar and Global Configuration.
    void tabSwitched();
    // The "Menu" button: builds the pop-up menu anew and runs the pick.
    void menuClicked();
    // Writes the factory presets of bin/factoryset.fap into the pedal.
    void factoryReset();
    // The operations the tone chart page is given.
    ToneChartContext toneChartContext();
    // Gives the global configuration and calibration prompts what they use
    // and hooks up the "Global Configuration" button (at construction).
    void wireMaintenancePrompts();
    // The service action (Menu, with --service): shows the calibration prompt.
    void openCalibration();
    // The one way out of the program. Quit (button, Menu), the close button
    // or the window manager's close, and the end of the desktop session
    // (SIGTERM, SIGHUP, SIGINT, once the loop runs) all come here: the
    // Dashboard is kept for the next start (when it cannot be, standard
    // error says so and what the next start finds, and so does an alert
    // unless the session ends), then the process ends at once with status 0;
    // during a pedal exchange the window hides and the loop ends after it.
    enum class Leaving { Quit, Close, SessionEnd };
    void quit(Leaving how = Leaving::Quit);
    // The window's keys (Undo, Redo, READ, WRITE, presets, tabs, shell/keys.h);
    // true when the key is one of them.
    bool shortcut(int key, int state);
    // Takes the window's keys before its focused control (at construction,
    // until destruction).
    void listenForKeys(bool on);

    // The window's parts, for its helpers in the shell, the GUI tests, the
    // soak and the picture tools: a control to click or read, the status
    // log's state, and what the features were handed. The window alone wires
    // their callbacks.
    Fl_Tabs* tabs() const { return tabs_; }
    OV_UserGuide* userGuide() const { return userGuide_; }
    OV_Parameters* dashboard() const { return dashboard_; }
    OV_ToneChart* toneChart() const { return toneChart_; }
    OV_PresetPanel* presetPanel() const { return presetPanel_; }
    OV_PresetPrompt* presetPrompt() const { return presetPrompt_; }
    OV_TransportPanel* transportPanel() const { return transportPanel_; }
    OV_UsbController* usb() const { return usb_; }
    OV_UpdatePrompt* updatePrompt() const { return updatePrompt_; }
    OV_GloConPrompt* gloConPrompt() const { return gloConPrompt_; }
    OV_DevSelPrompt* devSelPrompt() const { return devSelPrompt_; }
    OV_CalibratePrompt* calibratePrompt() const { return calibratePrompt_; }
    Fl_Button* gloConButton() const { return gloConButton_; }
    Fl_Button* connectButton() const { return connectButton_; }
    Fl_Button* menuButton() const { return menuButton_; }
    Fl_Button* quitButton() const { return quitButton_; }
    TextBoard* statusLog() const { return statusLog_; }
    Listening* listening() const { return listening_; }
    // Started with --service: the Menu offers calibration.
    bool serviceMode() const { return serviceMode_; }
    void setServiceMode(bool on) { serviceMode_ = on; }
    int logTopLine() const { return logTopLine_; }
    struct tm* logTime() const { return logTime_; }
    const char* logLine() const { return logLine_; }
    // The controls an exchange holds, the shared context, the preset
    // subsystem's context, and the edit session (undo and redo of the
    // Dashboard, the edited mark, the last Dashboard kept at quit).
    ExchangeControls& exchanges() { return exchanges_; }
    const FeatureContext& context() const { return context_; }
    const PresetContext& presets() const { return presets_; }
    EditSession& edits() { return edits_; }

private:
    // The window's close is wired once, by the window: nothing outside
    // replaces it.
    using Fl_Widget::callback;
    // Routes the end of the desktop session to quit() while this window
    // lives (at construction, until destruction).
    void watchSessionEnd(bool on);

    Fl_Tabs* tabs_;
    OV_UserGuide* userGuide_;
    OV_Parameters* dashboard_;
    OV_ToneChart* toneChart_;
    OV_PresetPanel* presetPanel_;
    OV_PresetPrompt* presetPrompt_;
    OV_TransportPanel* transportPanel_;
    OV_UsbController* usb_;
    OV_UpdatePrompt* updatePrompt_;
    OV_GloConPrompt* gloConPrompt_;
    OV_DevSelPrompt* devSelPrompt_;
    OV_CalibratePrompt* calibratePrompt_;
    Fl_Button* gloConButton_;
    Fl_Button* connectButton_;
    Fl_Button* menuButton_;
    Fl_Button* quitButton_;
    TextBoard* statusLog_;
    Listening* listening_;              // Listen on this computer and the sound's exports
    bool serviceMode_;
    int logTopLine_;
    struct tm* logTime_;
    char logLine_[192];

    // What the features are handed.
    ExchangeControls exchanges_;
    FeatureContext context_;
    PresetContext presets_;
    EditSession edits_{*this};

    Fl_PNG_Image* appLogo;
    Fl_PNG_Image* makerLogo;
    struct tm logStamp;                 // storage logTime points at
};
