// The global configuration prompt: what each of the pedal's two knobs
// controls and the MIDI channel it listens on, shown as three choices over
// the one configuration byte the pedal keeps:
//   bits 7-6 left knob, bits 5-4 right knob (0 mic position, 1 channel blend,
//   2 vol and phase), bits 3-0 MIDI channel - 1.
// open() reads the byte (command 0x20) and shows the prompt; CONFIRM sends
// the byte built from the choices (command 0x30), CANCEL sends nothing.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Toggle_Button.H>

#include <cstdint>
#include <memory>

#include "context/exchange_guard.h"
#include "context/held_prompt.h"
#include "maintenance/PromptContext.h"

class OV_GloConPrompt : public HeldPrompt {
public:
    OV_GloConPrompt(int x, int y, int w, int h, const char* label = nullptr);
    ~OV_GloConPrompt() override;
    void draw() override;

    // Given by the shell before the prompt is first opened; configByte is
    // the Dashboard's cached byte, replaced by the byte read and the byte
    // confirmed.
    void setContext(const PromptContext& context);

    // The "Global Configuration" button's action: hold the controls, read the
    // byte and choose its items, show. A failed read keeps the last choices
    // and says so in the log and in the prompt (readFailed()).
    void open();
    bool readFailed() const { return readFailed_; }
    // The prompt's callback: CONFIRM (confirmButton on) sends and reports,
    // CANCEL only closes; both scroll the log, hide the prompt and give the
    // held controls back.
    void finish();

    // The byte the three choices stand for.
    uint8_t chosenByte() const;
    // Chooses the items a byte names; a knob field of 3 names none and leaves
    // that choice as it was.
    void showByte(uint8_t byte);

    Fl_Toggle_Button* confirmButton;
    Fl_Button* cancelButton;
    Fl_Choice* leftKnobChoice;
    Fl_Choice* rightKnobChoice;
    Fl_Choice* midiChannelChoice;
    Fl_Box* messageBox;     // what the prompt says about the byte shown

private:
    PromptContext context_;
    bool readFailed_ = false;
};

// The prompt's callback (user data: the prompt) and the "Global
// Configuration" button's callback (user data: the prompt).
void gloConPrompt_cb(Fl_Widget* widget, void* prompt);
void gloConOpen_cb(Fl_Widget* widget, void* prompt);
