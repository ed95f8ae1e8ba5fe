// The firmware update prompt, shown for a pedal waiting for firmware: browse
// for a package, read its version and notes, send it page by page, and tell
// the pedal to resume normal operation when the user leaves.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Toggle_Button.H>

#include <memory>
#include <string>
#include <vector>

#include "context/feature_context.h"
#include "context/held_prompt.h"

class ExchangeGuard;

class OV_UpdatePrompt : public HeldPrompt {
public:
    // The window's controls as the prompt sees them: those that stay usable
    // while it is shown (every other registered control is held, see
    // PromptHold in context/exchange_guard.h), and the transport panel, marked
    // unusable when the pedal does not take the resume message.
    struct WindowControls {
        std::vector<Fl_Widget*> usable;
        Fl_Widget* transport = nullptr;
    };

    // Without a context the prompt only draws (the drawing tests).
    OV_UpdatePrompt(int x, int y, int w, int h, const char* label = nullptr);
    OV_UpdatePrompt(const FeatureContext& context, const WindowControls& controls, int x, int y, int w, int h,
                    const char* label = nullptr);
    ~OV_UpdatePrompt() override;
    void draw() override;

    // Shows the prompt for the pedal whose version pedalVersionText names and
    // holds the window's controls until the session ends. While another
    // prompt holds the window (the pedal selection the same connect run
    // showed) it is not shown but waits (false): the shell opens it again
    // once that prompt is closed, if the pedal waiting is still the one chosen.
    bool open();
    bool waiting() const { return waiting_; }
    // Ends a shown or waiting prompt without telling the pedal anything (its
    // pedal is no longer the one chosen, or it runs normally again) and gives
    // every held control back the state it is to have.
    void close();

    // The firmware handler, run by the prompt's callback (updatePrompt_cb):
    // tells Browse, Update Now and Cancel / Exit Session apart by the toggles.
    void runAction();

    // Button callbacks: each runs the prompt's callback unless a transfer is
    // under way, in which case the press is ignored.
    void updatePressed();
    void cancelPressed();
    void browsePressed();

    // Where the chooser opens: the user's download folder.
    static std::string downloadFolder();

    Fl_Toggle_Button* updateButton = nullptr;
    Fl_Toggle_Button* cancelButton = nullptr;
    Fl_Button* browseButton = nullptr;
    Fl_Box* iconBox = nullptr;
    Fl_Box* pedalVersionBox = nullptr;
    Fl_Box* fileVersionBox = nullptr;
    Fl_Native_File_Chooser* firmwareChooser = nullptr;
    Fl_Text_Buffer* notesBuffer = nullptr;
    Fl_Text_Display* notesDisplay = nullptr;
    Fl_PNG_Image* icon = nullptr;
    char pedalVersionText[9] = {};
    char fileVersionText[9] = {};

private:
    int browse(ExchangeGuard& run);
    int updateNow(ExchangeGuard& run);
    int cancelSession(ExchangeGuard& run);
    int fileError(ExchangeGuard& run, int error);
    int refuseEmpty(ExchangeGuard& run);    // a file with no payload: alert, log, "Update Now" off
    // A file that does not follow the package format (why: formatProblem's text).
    int refuseMalformed(ExchangeGuard& run, const std::string& why);
    void forgetFile();                      // nothing of a refused file stays on show
    void refuseOversize(ExchangeGuard& run, long payloadSize);
    static int fittingSize(const char* text, int left, int right);

    FeatureContext context;
    WindowControls controls;
    bool waiting_ = false;

    std::string chosenPath;     // the package last read by Browse
    bool sending = false;       // pages are being sent
};

// The prompt's callback (the prompt is the widget; the user data is unused);
// the constructor with a context installs it.
void updatePrompt_cb(Fl_Widget* widget, void* unused);
