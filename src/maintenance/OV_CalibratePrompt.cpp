#include "maintenance/OV_CalibratePrompt.h"

#include <FL/fl_draw.H>

#include "context/exchange_guard.h"
#include "link/OV_UsbController.h"
#include "link/Protocol.h"

namespace {

const int lowest = 96;
const int highest = 220;

void set_cb(Fl_Widget* button, void* prompt) {
    static_cast<OV_CalibratePrompt*>(prompt)->do_callback();
    static_cast<Fl_Toggle_Button*>(button)->value(0);
}

void burn_cb(Fl_Widget* button, void* prompt) {
    OV_CalibratePrompt* p = static_cast<OV_CalibratePrompt*>(prompt);
    p->do_callback();
    static_cast<Fl_Toggle_Button*>(button)->value(0);
    p->exitButton->activate();
}

void exit_cb(Fl_Widget* button, void* prompt) {
    static_cast<OV_CalibratePrompt*>(prompt)->do_callback();
    button->deactivate();
}

}  // namespace

OV_CalibratePrompt::OV_CalibratePrompt(int x, int y, int w, int h, const char* label)
    : HeldPrompt(x, y, w, h, label) {
    valueCounter = new Fl_Counter(x + 75, y + 37, 110, 25);
    valueCounter->type(FL_SIMPLE_COUNTER);
    valueCounter->range(lowest, highest);
    valueCounter->step(1);
    valueCounter->value(lowest);    // shows what SET would send, never 0
    setButton = new Fl_Toggle_Button(x + 20, y + 74, 65, 25, "SET");
    setButton->labelfont(1);
    setButton->labelsize(13);
    setButton->callback(set_cb, this);
    burnButton = new Fl_Toggle_Button(x + 97, y + 74, 65, 25, "BURN");
    burnButton->labelfont(1);
    burnButton->labelsize(13);
    burnButton->callback(burn_cb, this);
    exitButton = new Fl_Button(x + 174, y + 74, 65, 25, "Exit");
    exitButton->labelfont(0);
    exitButton->labelsize(13);
    exitButton->callback(exit_cb, this);
    exitButton->deactivate();
    end();
}

// The counter and buttons are children: the group deletes them.
OV_CalibratePrompt::~OV_CalibratePrompt() = default;

void OV_CalibratePrompt::draw() {
    Fl_Group::draw();
    fl_font(1, 14);
    fl_color(255);
    fl_draw("OSCCAL Calibration", x() + 60, y() + 25);
}

void OV_CalibratePrompt::setContext(const PromptContext& context) {
    context_ = context;
    holdWhileShown(context_.feature.exchanges, context_.usable);
}

uint8_t OV_CalibratePrompt::value() const {
    // The counter keeps to its range when clicked; a value set from
    // elsewhere is held to it as well before it can reach the pedal.
    int v = static_cast<int>(valueCounter->value());
    if (v < lowest) v = lowest;
    if (v > highest) v = highest;
    return static_cast<uint8_t>(v);
}

void OV_CalibratePrompt::open() {
    if (visible() || !context_.feature.usb || !holdWindow()) return;
    show();
}

void OV_CalibratePrompt::buttonPressed() {
    if (setButton->value() || burnButton->value()) {
        const bool set = setButton->value() != 0;
        ExchangeGuard run(context_.feature, this);
        OV_UsbController& usb = *context_.feature.usb;
        // The value goes out without a reply, and the pedal has no command
        // that reads it back: "complete" is said only once the pedal has
        // answered a status query sent after it, so it took both bytes (a
        // stalled bridge takes them and passes none of them on).
        bool taken = usb.oneByte(set ? protocol::OscillatorSet : protocol::OscillatorBurn, value()) == 0 &&
                     usb.getOneByte(protocol::GetStatus);
        if (taken) {
            run.outcome(100, set ? "OSCCAL Set" : "OSCCAL Burned", OV_UsbController::progressBlue);
            run.log(set ? "Set OSCCAL complete." : "Burn OSCCAL complete.");
        } else {
            run.outcome(100, "- Error -", OV_UsbController::progressRed);
            run.log(set ? "Set OSCCAL failed." : "Burn OSCCAL failed.");
        }
    } else {
        ExchangeGuard run(context_.feature, this, ExchangeGuard::Hold::Nothing);
        hide();
        run.log("OSCCAL Calibration exited.");
    }
}

void calibratePrompt_cb(Fl_Widget*, void* prompt) { static_cast<OV_CalibratePrompt*>(prompt)->buttonPressed(); }
