#include "shell/pedal_selection.h"

#include <FL/fl_draw.H>

#include <cstring>

#include "editor/OV_Parameters.h"
#include "link/OV_UsbController.h"
#include "maintenance/OV_UpdatePrompt.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_TransportPanel.h"
#include "shell/main_window.h"

// The button is a toggle only for its look while pressed: it runs the
// prompt's callback and springs back.
static void confirm_cb(Fl_Widget* button, void*) {
    Fl_Group* prompt = button->parent();
    prompt->do_callback();
    static_cast<Fl_Toggle_Button*>(button)->value(0);
}

OV_DevSelPrompt::OV_DevSelPrompt(int x, int y, int w, int h, const char* label)
    : HeldPrompt(x, y, w, h, label) {
    confirmButton = new Fl_Toggle_Button(x + 110, y + 205, 120, 25, "CONFIRM");
    confirmButton->labelfont(FL_HELVETICA);
    confirmButton->labelsize(14);
    confirmButton->callback(confirm_cb);
    serialChoice = new Fl_Choice(x + 135, y + 103, 130, 25);
    serialChoice->labelfont(FL_HELVETICA);
    serialChoice->textsize(13);
    serialChoice->labelcolor(FL_WHITE);
    end();
}

// The children belong to the group, which deletes them with itself.
OV_DevSelPrompt::~OV_DevSelPrompt() {}

void OV_DevSelPrompt::draw() {
    Fl_Group::draw();
    int ox = x(), oy = y();
    fl_font(FL_HELVETICA_BOLD, 15);
    fl_color(fl_rgb_color(255, 204, 0));
    fl_draw("2 Drevani pedals are found.", ox + 70, oy + 50);
    fl_draw("Please select one from this list.", ox + 65, oy + 80);
    fl_font(FL_HELVETICA, 14);
    fl_color(FL_WHITE);
    fl_draw("Serial #", ox + 75, oy + 120);
    // The hint's two parts stand at fixed places; where the toolkit's
    // Helvetica is wider than the design's, the grey line gets smaller so
    // the first part ends before the second begins.
    const char* hint = "To make changes later on :";
    int size = 14;
    while (size > 9 && fl_width(hint) > 194 - 16 - 4) fl_font(FL_HELVETICA, --size);
    fl_color(fl_rgb_color(128, 128, 128));
    fl_draw(hint, ox + 16, oy + 170);
    fl_draw("Menu > Select Pedal", ox + 194, oy + 170);
    fl_color(fl_rgb_color(95, 95, 95));
    fl_rectf(ox + 15, oy + 15, 315, 2);
    fl_rectf(ox + 15, oy + 245, 315, 2);
}

// Menu entries treat '/', '&', '_' and '\t' specially; a serial number is
// plain text, so add it through a label that escapes nothing.
static void addSerial(Fl_Choice* choice, const char* serial) {
    char text[13];
    std::strncpy(text, serial, 12);
    text[12] = '\0';
    int index = choice->add("x");
    choice->replace(index, text);
}

namespace {

void showSelection(Orvella* window) {
    OV_DevSelPrompt* prompt = window->devSelPrompt();
    if (!prompt->visible()) prompt->show();   // refused while another prompt is shown
}

void closeSelection(Orvella* window) {
    OV_DevSelPrompt* prompt = window->devSelPrompt();
    prompt->hide();
}

}  // namespace

void fillPedalList(Orvella* window) {
    OV_DevSelPrompt* prompt = window->devSelPrompt();
    OV_UsbController* usb = window->usb();
    prompt->serialChoice->clear();
    addSerial(prompt->serialChoice, usb->serialNumber[0]);
    if (usb->deviceCount > 1) {
        addSerial(prompt->serialChoice, usb->serialNumber[1]);
        prompt->serialChoice->value(0);
        // A new enumeration opens the choice anew. An update prompt still
        // open was for the pedal chosen before; the status query that follows
        // has it wait for CONFIRM when the first pedal waits for firmware.
        window->updatePrompt()->close();
        showSelection(window);
    } else if (prompt->visible()) {
        // The other pedal is gone: there is nothing left to choose.
        closeSelection(window);
    }
}

void openPedalSelection(Orvella* window) { showSelection(window); }

void confirmPedal(Orvella* window) {
    OV_DevSelPrompt* prompt = window->devSelPrompt();
    const char* picked = prompt->serialChoice->text();
    char before[12];
    std::memcpy(before, window->usb()->serialNumber[0], sizeof before);
    if (picked) {
        std::strncpy(window->usb()->serialNumber[0], picked, 11);
        window->usb()->serialNumber[0][11] = '\0';
    }
    closeSelection(window);
    // Another pedal now answers: what the Dashboard and the title show came
    // from the one before. Its status is asked first, as Connect asks it, so
    // a pedal waiting for firmware gets the update prompt; one in normal
    // operation has its preset 1 read as READ does it (its hold, its outcome
    // lines and alerts). Confirming the same pedal keeps everything as it is,
    // but for an update prompt that waited for the choice: it shows now.
    OV_UpdatePrompt* update = window->updatePrompt();
    if (std::strncmp(before, window->usb()->serialNumber[0], sizeof before) == 0) {
        if (update->waiting()) update->open();
        return;
    }
    update->close();   // it waited for the pedal not chosen
    window->edits().pedalChanged();       // nothing is known of the chosen pedal's presets
    Orvella::PedalStatus status;
    {
        ExchangeGuard run(window->context(), prompt);
        status = window->askPedalStatus(run);
    }
    if (status != Orvella::PedalStatus::Running) return;
    OV_TransportPanel* transport = window->transportPanel();
    transport->selectFirstPreset();
    transport->actionPressed(transport->readButton);
}
