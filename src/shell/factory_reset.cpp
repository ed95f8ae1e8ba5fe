// Factory reset: the eight factory presets of bin/factoryset.fap are written
// into the pedal the way a RESTORE writes a backup (verified, retried once,
// read back at the end).
#include <FL/Fl_Progress.H>

#include <cstdio>

#include "editor/OV_Parameters.h"
#include "link/OV_UsbController.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_PresetPrompt.h"
#include "presets/OV_TransportPanel.h"
#include "presets/PresetFiles.h"
#include "presets/TransportActions.h"
#include "reference/OV_ToneChart.h"
#include "shell/Orvella.h"
#include "base/dialogs.h"
#include "base/support_texts.h"

namespace {

const Fl_Color blue = OV_UsbController::progressBlue;
const Fl_Color red = OV_UsbController::progressRed;

const char* const recoveryAdvice = RECOVERY_ADVICE;

const char* const masterProblem =
    "A problem is encountered while trying to access the Factory master file.\n\n"
    " The file maybe corrupted or is missing.\n"
    " Try re-installing this software to solve this problem.\n\n"
    " " SUPPORT_LINE;

}  // namespace

void Orvella::factoryReset() {
    stampStatus();
    struct tm started = logStamp;
    if (dialogs::choice("Proceed to reset your pedal to factory setting?", "Cancel", "Proceed", nullptr) != 1)
        return;

    // Held while the pedal is busy, since the link lets the toolkit run while
    // it waits: besides the Dashboard, the preset bar, the transport panel and
    // the window's buttons, everything else that could start an exchange or
    // change the Dashboard meanwhile (the preset prompt, the Global
    // Configuration button, the tone chart's audition). Each gets back the
    // state it had.
    Fl_Widget* controls[] = {dashboard,  presetPanel, transportPanel, connectButton, menuButton,
                             quitButton, presetPrompt, gloConButton,  toneChart};
    bool wasActive[sizeof controls / sizeof controls[0]];
    for (size_t i = 0; i < sizeof controls / sizeof controls[0]; ++i) {
        wasActive[i] = controls[i]->active();
        controls[i]->deactivate();
    }

    Fl_Progress* bar = usb->progress;
    char path[64];
    snprintf(path, sizeof path, "%s/factoryset.fap", "bin");
    uint8_t bank[presetfiles::BankSize];
    bool ok = false;
    // Only a file of exactly one bank is taken, so no byte that did not come
    // from it can reach the pedal.
    bool haveMaster = presetfiles::readBank(path, bank, nullptr, nullptr) == presetfiles::BankStatus::Ok;
    if (!haveMaster) {
        dialogs::alert("%s", masterProblem);
    } else {
        usb->enlargeProgress(150);
        ok = restorePresets(*this, bank);
        usb->normalProgress();
    }

    // restorePresets stamps its own lines; the outcome keeps the reset's stamp.
    logStamp = started;
    logTime = &logStamp;
    if (ok) {
        dialogs::message("Your pedal has been restored to factory setting.");
        logStatus("> Factory reset successful.");
        bar->label("Factory reset OK");
        bar->selection_color(blue);
    } else {
        if (haveMaster)   // a missing master had its own alert
            dialogs::alert("Factory reset has failed due to erroneous data transfer.\n"
                           "Make sure the pedal has clean and stable power source, then try again.\n\n%s",
                           recoveryAdvice);
        logStatus("> Factory reset failed. Please try again.");
        bar->label("Factory reset error");
        bar->selection_color(red);
    }
    bar->value(100);
    advanceStatus(1);
    for (size_t i = 0; i < sizeof controls / sizeof controls[0]; ++i)
        if (wasActive[i]) controls[i]->activate();
    redraw();
}
