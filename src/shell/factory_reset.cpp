// Factory reset: the eight factory presets of bin/factoryset.fap are written
// into the pedal the way a RESTORE writes a backup (verified, retried once,
// read back at the end).
#include <FL/Fl_Progress.H>

#include <cstdio>
#include <string>

#include "context/exchange_guard.h"
#include "link/OV_UsbController.h"
#include "presets/OV_TransportPanel.h"
#include "presets/PresetFiles.h"
#include "presets/TransportActions.h"
#include "shell/main_window.h"
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
    // it waits: every control that could start an exchange or change the
    // Dashboard meanwhile. Each gets back the state it had.
    ExchangeGuard run(context_, nullptr);
    run.keepStamp(started);

    char path[64];
    snprintf(path, sizeof path, "%s/factoryset.fap", "bin");
    uint8_t bank[presetfiles::BankSize];
    RestoreRun restored;
    // Only a file of exactly one bank, every record in range and every title
    // free of control bytes, is taken, so no byte that did not come from it,
    // and nothing a pedal does not hold, can reach the pedal.
    presetfiles::BankProblem bad;
    bool haveMaster = presetfiles::readBank(path, bank, nullptr, nullptr) == presetfiles::BankStatus::Ok &&
                      !(bad = presetfiles::checkBank(bank));
    if (!haveMaster) {
        dialogs::alert("%s", masterProblem);
        if (bad) run.log("> Factory master refused - Preset %d: %s.", bad.preset + 1, bad.why.c_str());
    } else {
        usb_->enlargeProgress(150);
        restored = restorePresets(presets_, bank);
        usb_->normalProgress();
    }

    // restorePresets may stamp its own lines; the outcome keeps the reset's stamp.
    if (haveMaster && restored.ok()) {
        dialogs::message("Your pedal has been restored to factory setting.");
        run.log("> Factory reset successful.");
        run.outcome(100, "Factory reset OK", blue);
    } else {
        std::string stop = restored.outcome.stopText();
        if (haveMaster)   // a missing master had its own alert
            dialogs::alert("Factory reset has failed due to erroneous data transfer.\n%s\n"
                           "Make sure the pedal has clean and stable power source, then try again.\n\n%s",
                           stop.c_str(), recoveryAdvice);
        run.log("> Factory reset failed. Please try again.");
        if (haveMaster) run.log("> %s", stop.c_str());     // how far it got
        if (!restored.selectedShown)
            run.log("> Preset %d could not be read back; the Dashboard keeps its sound.",
                    transportPanel_->selectedPreset + 1);
        run.outcome(100, "Factory reset error", red);
    }
}
