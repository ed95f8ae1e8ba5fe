// The connect sequence: find the pedal, learn its firmware state and version,
// and bring preset 1 into the Dashboard. Runs at start-up and on "Connect".
#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include <cstdio>
#include <ctime>

#include "editor/OV_Parameters.h"
#include "link/OV_UsbController.h"
#include "maintenance/OV_UpdatePrompt.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_TransportPanel.h"
#include "context/exchange_guard.h"
#include "shell/pedal_selection.h"
#include "shell/main_window.h"
#include "base/dialogs.h"
#include "base/support_texts.h"

static const char* const notFoundMessage =
    "Pedal is not found -\n"
    "Make sure pedal is powered & properly connected to the USB port, then try again.\n\n"
    "> For Mac users : If this is the first time you install this software and connecting the pedal,\n"
    "                    it's likely that the installation was incomplete. Please take a look at the\n"
    "                    'Installation Guide' pdf file included with the installer and repeat the\n"
    "                    installation process if necessary.";

static const char* const usbProblemMessage =
    "USB Communication problem detected -\n"
    "Make sure pedal is powered & properly connected to the USB port, then try again.\n\n"
    "> USB connection problems may also occur if your pedal is running on a firmware version that "
    "is older than required.\n"
    "  If you are unsure you can donwload the latest firmware and do the update.\n\n"
    "> " SUPPORT_LINE;

static const Fl_Color progressBlue = OV_UsbController::progressBlue;

namespace {

// The steps both runs share; returns the number of outcome lines written
// and not yet counted by the run.
int connectCore(Orvella* window, ExchangeGuard& run, bool fromButton) {
    OV_UsbController* usb = window->usb();
    if (!usb->openByDescription()) {
        if (fromButton) dialogs::alert("%s", notFoundMessage);
        window->logStatus("Pedal is not found.");
        window->logStatus("> Connect your pedal to a USB port then click 'Connect'.");
        // Found but not ours to open (another program has it, or a
        // permission is missing): the log says which.
        const std::string& why = usb->link.openProblem();
        if (why.empty()) return 2;
        window->logStatus("> %.150s.", why.c_str());
        return 3;
    }
    fillPedalList(window);
    // What was known of the presets came from the pedal found before, which
    // may not be this one: nothing is known until the first read, also when
    // the status query fails or the pedal waits for firmware.
    window->edits().pedalChanged();
    // With two pedals the choice is open: the selection prompt holds the
    // transport strip until CONFIRM (as after Menu > Select Pedal), so READ
    // and WRITE never reach a pedal the user has not chosen; marked usable
    // here, it comes back with CONFIRM.
    window->exchanges().setActive(window->transportPanel(), true);

    // A failed query or a pedal waiting for firmware: its lines are counted.
    if (window->askPedalStatus(run) != Orvella::PedalStatus::Running) return 0;
    const int major = protocol::statusMajor(usb->reply()[0]);
    const int minor = protocol::statusMinor(usb->reply()[0]);

    // firstRead() stamps its own lines; the outcome lines keep the run's stamp.
    bool ready = window->firstRead();
    run.restoreStamp();
    if (!ready) return 2;
    window->logStatus("Initialization OK - Firmware : v%d.%d.", major, minor);
    window->logStatus("Ready.");
    usb->progress->value(100);
    usb->progress->label("Read complete");
    usb->progress->selection_color(progressBlue);
    usb->redraw();
    return 2;
}

}  // namespace

// While a run is in progress the link lets the toolkit handle events as it
// waits for the pedal. "Connect" is shown inactive, so a second click cannot
// start another run, and the window's input is held meanwhile: the panels the
// run activates (the transport panel, and the menu's pedal entries with it)
// could otherwise start a second exchange on the pedal the run is talking to.
// Alerts and other windows stay usable; the run's own outcome decides which
// panels are active afterwards.
void Orvella::startupConnect() {
    ExchangeGuard run(context_, connectButton_, ExchangeGuard::Hold::Input);
    logStatus("Connecting ...");
    run.count(connectCore(this, run, false));
    presetPanel_->loadPresetList();
    redraw();
}

void Orvella::connectClicked() {
    ExchangeGuard run(context_, connectButton_, ExchangeGuard::Hold::Input);
    logStatus("Connecting ...");
    run.count(connectCore(this, run, true));
    usb_->progress->value(0);
    usb_->progress->label(nullptr);
    usb_->progress->selection_color(progressBlue);
    usb_->redraw();
    redraw();
}

Orvella::PedalStatus Orvella::askPedalStatus(ExchangeGuard& run) {
    if (!usb_->getOneByte(protocol::GetStatus)) {
        dialogs::alert("%s", usbProblemMessage);
        run.log("USB communication problem detected.");
        run.log("> Recycle power to your pedal then click 'Connect'.");
        return PedalStatus::Failed;
    }
    uint8_t status = usb_->reply()[0];
    int major = protocol::statusMajor(status);
    int minor = protocol::statusMinor(status);
    if (status & protocol::StatusRunning) {
        // An update prompt still open was for this pedal while it waited for
        // firmware; it runs normally now.
        updatePrompt_->close();
        return PedalStatus::Running;
    }

    // The pedal waits for new firmware: the update prompt takes over and
    // holds the rest of the window until the session ends. Under the
    // selection prompt the same run showed, it waits for CONFIRM.
    snprintf(updatePrompt_->pedalVersionText, sizeof updatePrompt_->pedalVersionText, "V%d.%d", major, minor);
    if (updatePrompt_->pedalVersionBox) updatePrompt_->pedalVersionBox->label(updatePrompt_->pedalVersionText);
    updatePrompt_->open();
    run.log("Pedal is in firmware update mode (V%d.%d).", major, minor);
    return PedalStatus::Updating;
}

bool Orvella::firstRead() {
    // A short settling pause before the read. The toolkit is not run during
    // it, and the thread sleeps rather than spinning.
    struct timespec pause = {0, 100 * 1000 * 1000};
    while (nanosleep(&pause, &pause) != 0) {
    }
    stampStatus();
    transportPanel_->selectFirstPreset();
    if (!usb_->readPreset(transportPanel_->selectedPreset)) {
        dialogs::alert("%s", usbProblemMessage);
        logStatus("USB communication problem detected.");
        logStatus("> Recycle power to your pedal then click 'Connect'.");
        return false;
    }
    dashboard_->apply(usb_->reply());
    transportPanel_->showTitle(usb_->reply() + protocol::RecordSize);
    // A pedal (perhaps another one) was found: of its presets, only the one just read is known.
    edits_.pedalChanged();
    edits_.pedalHolds(transportPanel_->selectedPreset, dashboard_->params(), transportPanel_->title);
    edits_.dashboardReplaced();
    return true;
}
