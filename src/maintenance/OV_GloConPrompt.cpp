#include "maintenance/OV_GloConPrompt.h"

#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <cstdio>

#include "context/exchange_guard.h"
#include "context/status_writer.h"
#include "link/OV_UsbController.h"
#include "link/Protocol.h"
#include "base/dialogs.h"
#include "base/support_texts.h"

namespace {

const char* const usbErrorAlert =
    "USB communication error has occured when trying to set Global Configuration.\n\n"
    "  Is your pedal connected via USB?\n\n"
    "  Try recycling power to the pedal and give it another go.\n\n"
    " " SUPPORT_LINE;

// Shown in the prompt after the pedal did not give its byte.
const char* const readFailedMessage =
    "The pedal's settings could not be read: the choices shown are the last ones set here, not the pedal's.";

void confirm_cb(Fl_Widget* button, void* prompt) {
    static_cast<OV_GloConPrompt*>(prompt)->do_callback();
    static_cast<Fl_Toggle_Button*>(button)->value(0);
}

void cancel_cb(Fl_Widget*, void* prompt) { static_cast<OV_GloConPrompt*>(prompt)->do_callback(); }

}  // namespace

OV_GloConPrompt::OV_GloConPrompt(int x, int y, int w, int h, const char* label)
    : HeldPrompt(x, y, w, h, label) {
    confirmButton = new Fl_Toggle_Button(x + 60, y + 215, 130, 25, "CONFIRM");
    confirmButton->labelfont(0);
    confirmButton->labelsize(14);
    confirmButton->callback(confirm_cb, this);
    cancelButton = new Fl_Button(x + 210, y + 215, 130, 25, "CANCEL");
    cancelButton->labelfont(0);
    cancelButton->labelsize(14);
    cancelButton->callback(cancel_cb, this);

    leftKnobChoice = new Fl_Choice(x + 25, y + 60, 145, 25);
    rightKnobChoice = new Fl_Choice(x + 180, y + 60, 145, 25);
    for (Fl_Choice* choice : {leftKnobChoice, rightKnobChoice}) {
        for (const char* item : protocol::knobFunctionItems) choice->add(item);
        choice->value(0);
    }
    midiChannelChoice = new Fl_Choice(x + 124, y + 135, 155, 25);
    midiChannelChoice->labelfont(0);
    midiChannelChoice->labelcolor(255);
    midiChannelChoice->textsize(13);
    for (int channel = 1; channel <= 16; ++channel) {
        char item[16];
        snprintf(item, sizeof item, " Channel %d", channel);
        midiChannelChoice->add(item);
    }
    midiChannelChoice->value(15);
    messageBox = new Fl_Box(x + 20, y + 168, 320, 40);
    messageBox->box(FL_NO_BOX);
    messageBox->labelfont(0);
    messageBox->labelsize(12);
    messageBox->labelcolor(0xffcc0000);
    messageBox->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);
    end();
}

// The buttons and choices are children: the group deletes them.
OV_GloConPrompt::~OV_GloConPrompt() = default;

void OV_GloConPrompt::draw() {
    Fl_Group::draw();
    fl_font(1, 13);
    fl_color(0xffcc0000);
    fl_draw("Knob Function", x() + 20, y() + 27);
    fl_draw("MIDI Channel", x() + 20, y() + 152);
    fl_font(0, 14);
    fl_color(fl_color_average(fl_color_average(0x99660000, FL_WHITE, 0.67f), FL_WHITE, 0.67f));
    fl_draw("LEFT", x() + 75, y() + 52);
    fl_draw("RIGHT", x() + 225, y() + 52);
    fl_font(8, 23);
    fl_color(0x5f5f5f00);
    static const struct {
        const char* letter;
        int dx, dy;
    } letters[] = {{"G", 351, 42}, {"L", 353, 70}, {"O", 351, 99}, {"B", 352, 128}, {"A", 351, 158}, {"L", 353, 188}};
    for (const auto& l : letters) fl_draw(l.letter, x() + l.dx, y() + l.dy);
    fl_color(fl_rgb_color(95, 95, 95));
    fl_rectf(x() + 15, y() + 110, 315, 2);
}

void OV_GloConPrompt::setContext(const PromptContext& context) {
    context_ = context;
    holdWhileShown(context_.feature.exchanges, context_.usable);
}

uint8_t OV_GloConPrompt::chosenByte() const {
    uint8_t byte = 0;
    byte |= static_cast<uint8_t>((leftKnobChoice->value() & 3) << 6);
    byte |= static_cast<uint8_t>((rightKnobChoice->value() & 3) << 4);
    byte |= static_cast<uint8_t>(midiChannelChoice->value() & 0x0F);
    return byte;
}

void OV_GloConPrompt::showByte(uint8_t byte) {
    midiChannelChoice->value(byte & 0x0F);
    // A knob field of 3 names no item and leaves that choice as it was (the
    // toolkit refuses the index too; this does not rely on it).
    if (((byte >> 4) & 3) < protocol::KnobFunctions) rightKnobChoice->value((byte >> 4) & 3);
    if ((byte >> 6) < protocol::KnobFunctions) leftKnobChoice->value(byte >> 6);
}

void OV_GloConPrompt::open() {
    if (visible() || !context_.feature.usb || !holdWindow()) return;
    bool read = false;
    {
        ExchangeGuard run(context_.feature, this);
        read = context_.feature.usb->getOneByte(protocol::GetConfig);
        if (read) {
            uint8_t byte = context_.feature.usb->reply()[0];
            *context_.configByte = byte;
            showByte(byte);
        } else {
            // The choices then are the last ones set here: never shown as
            // the pedal's without a word.
            run.log("> Global Config. could not be read from the pedal.");
        }
    }
    readFailed_ = !read;
    messageBox->label(read ? nullptr : readFailedMessage);
    show();
}

void OV_GloConPrompt::finish() {
    if (confirmButton->value()) {
        ExchangeGuard run(context_.feature, this);
        run.outcome(10, nullptr, OV_UsbController::progressBlue);
        uint8_t byte = chosenByte();
        *context_.configByte = byte;
        OV_UsbController& usb = *context_.feature.usb;
        // The byte goes out without a reply: "complete" is said only once the
        // pedal reads it back as sent (a stalled bridge takes the bytes and
        // passes none of them on).
        bool held = usb.oneByte(protocol::SetConfig, byte) == 0 && usb.getOneByte(protocol::GetConfig) &&
                    usb.reply()[0] == byte;
        if (held) {
            dialogs::message("Global Configuration setup complete.");
            run.outcome(100, "Global setup complete", OV_UsbController::progressBlue);
            run.log("Global Config. setup complete.");
        } else {
            dialogs::alert("%s", usbErrorAlert);
            run.outcome(100, "error", OV_UsbController::progressRed);
            run.log("> Global Config. setup failed. Please try again.");
        }
    } else {
        context_.feature.log->advanceStatus(0);   // CANCEL logs nothing but scrolls to the newest line
    }
    hide();
}

void gloConPrompt_cb(Fl_Widget*, void* prompt) { static_cast<OV_GloConPrompt*>(prompt)->finish(); }
void gloConOpen_cb(Fl_Widget*, void* prompt) { static_cast<OV_GloConPrompt*>(prompt)->open(); }
