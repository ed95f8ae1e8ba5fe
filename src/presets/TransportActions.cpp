#include "presets/TransportActions.h"

#include "base/dialogs.h"
#include "base/file_dialogs.h"
#include "base/platform.h"
#include "base/support_texts.h"
#include "context/dashboard_steps.h"
#include "context/exchange_guard.h"
#include "editor/OV_Parameters.h"
#include "link/OV_UsbController.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_PresetPrompt.h"
#include "presets/OV_TransportPanel.h"
#include "presets/PresetFiles.h"
#include "presets/PresetContext.h"
#include "presets/PresetTransfer.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

const double restorePause = 0.25;

namespace {

const Fl_Color blue = OV_UsbController::progressBlue;
const Fl_Color red = OV_UsbController::progressRed;

const char* const recoveryAdvice = RECOVERY_ADVICE;

void showProgress(Fl_Progress* bar, int value, const char* label, Fl_Color colour) {
    bar->value(static_cast<float>(value));
    bar->label(label);
    bar->selection_color(colour);
    bar->redraw();
}

// One handler run: its log lines share the stamp its guard took.
struct Run {
    PresetContext& presets;
    OV_TransportPanel& panel;
    ExchangeGuard& guard;

    const FeatureContext& context() const { return presets.context; }
    void log(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        va_list args;
        va_start(args, format);
        guard.vlog(format, args);
        va_end(args);
    }
    void progress(int value, const char* label, Fl_Color colour) {
        guard.outcome(static_cast<float>(value), label, colour);
    }
    void clearLocalSelection() {
        if (presets.presetPanel) presets.presetPanel->clearSelection();
    }
    DashboardSteps* steps() const { return presets.context.steps; }
    void failureTail() {
        dialogs::alert("Read / Write operation failed - please try again.\n\n%s", recoveryAdvice);
        log("Read / Write operation failed.");
        log("> No changes has been made. Please try again.");
        progress(100, "Read / Write error", red);
    }
};

void doRead(Run& run) {
    OV_UsbController& usb = *run.context().usb;
    if (!usb.readPreset(run.panel.selectedPreset)) return run.failureTail();
    uint8_t reply[24];
    std::memcpy(reply, usb.reply(), sizeof reply);
    run.panel.showTitle(reply + 12);
    OV_Parameters& dash = *run.context().dashboard;
    dash.apply(reply);                      // clamps what the pedal may hold out of range
    // Make sure the panel shows the applied record's mode (a no-op when it already does).
    if (Fl_Button* mode = dash.stereoMode ? dash.stereoMicsButton : dash.stereoCabsButton) mode->do_callback();
    if (DashboardSteps* steps = run.steps()) {
        steps->pedalHolds(run.panel.selectedPreset, dash.params(), run.panel.title);
        steps->dashboardReplaced();
    }
    run.log("Read operation from Preset %d OK.", run.panel.selectedPreset + 1);
    run.log("> Param setting as was saved in your pedal is now displayed.");
    run.progress(100, "Read complete", blue);
    run.clearLocalSelection();
}

void doWrite(Run& run) {
    OV_UsbController& usb = *run.context().usb;
    OV_Parameters& dash = *run.context().dashboard;
    uint8_t record[12], title[12], image[512];
    std::memcpy(record, dash.params(), sizeof record);
    std::memcpy(image, dash.image(), sizeof image);
    std::memcpy(title, run.panel.title, sizeof title);
    presetfiles::foldSolo(record, dash.leftSoloOn(), dash.rightSoloOn());

    int index = run.panel.selectedPreset;
    presettransfer::PedalPresetLink link(usb.link);
    presettransfer::Outcome stored = presettransfer::writeVerified(link, index, record, title, image);
    if (stored.damagedCopy()) {
        // The pedal took the store (its echo differed also after the one
        // automatic retry), or the store broke off once bytes of it had
        // reached the pedal: the pedal keeps what it received, so the preset
        // may now hold a damaged copy. One alert says so ("No changes has
        // been made" would be untrue).
        dialogs::alert("Upload is completed, but with errors.\n\nPreset %d may now hold a damaged copy of this "
                       "sound: write it again.\n\nMake sure the pedal has clean and stable power source, then try "
                       "again.\n\n%s",
                       index + 1, recoveryAdvice);
        if (DashboardSteps* steps = run.steps()) steps->pedalDamaged(index);
        run.log("Write operation completed, but with errors.");
        run.log("> Preset %d may now hold a damaged copy. Please write it again.", index + 1);
        run.progress(100, "Write error", red);
        return;
    }
    if (stored.kind == presettransfer::Outcome::StoreFailed) {
        // Failed before any byte reached the pedal: the preset is as it was.
        int r = stored.code;
        dialogs::alert("Write operation failed.\n\nMake sure the pedal has clean and stable power source, then "
                       "try again.\n\n%s",
                       recoveryAdvice);
        run.log("Write operation failed.");
        run.log("> Error code = %d", r);
        run.progress(100, "Write error", red);
        return run.failureTail();
    }
    // What the Dashboard shows is now in the preset (a Solo folded into the
    // record sounds as the Dashboard does): the edited mark goes.
    if (DashboardSteps* steps = run.steps()) steps->pedalHolds(index, dash.params(), reinterpret_cast<const char*>(title));
    run.log("Write operation to Preset %d OK (verified).", index + 1);
    run.log("> Param setting displayed have been stored in your pedal.");
    run.progress(100, "Write complete", blue);
    run.clearLocalSelection();
}

void doBackup(Run& run) {
    if (dialogs::choice("Proceed to create a backup for the presets stored in your pedal?", "Cancel", "Continue",
                        nullptr) != 1)
        return;
    std::time_t now = std::time(nullptr);
    std::string path = presetfiles::backupPath(platform::env("HOMEDRIVE"), *std::localtime(&now));
    // The bank goes into a temporary file that becomes the backup only once
    // complete: a failed read leaves nothing behind.
    files::AtomicFile file(path);
    if (!file.isOpen()) {
        dialogs::alert("%s", files::doubleAtSigns(filedialogs::failureText(
                                 "Failed to create backup file. If problem persisted try rebooting your computer",
                                 path, file.error()))
                                 .c_str());
        run.log("Backup operation failed.");
        run.log("> Backup file can not be created.");
        run.progress(100, "Backup failed", blue);
        return;
    }
    OV_UsbController& usb = *run.context().usb;
    if (!usb.readAll()) {
        file.discard();
        return run.failureTail();
    }
    // A backup never replaces an earlier one: a second one of the day gets a number.
    std::string written;
    if (!file.write(usb.reply(), presetfiles::BankSize) || !file.commitNew(written)) {
        file.discard();
        return run.failureTail();
    }
    dialogs::message("Backup complete.\n\nBackup file location : %s",
                     files::doubleAtSigns(platform::shownPath(written)).c_str());
    run.log("File write operation OK.");
    run.log("> Backup file created: %s", platform::shownPath(written).c_str());
    run.progress(100, "Backup complete", blue);
}

void fileError(Run& run, int error) {
    dialogs::alert("A problem is encountered while trying to access the backup file.\n\n  The file maybe corrupted "
                   "or is being used by another program.");
    run.progress(100, "File error", red);
    run.log("Failed to open selected backup file - Error code : %d.", error);
}

void doRestore(Run& run) {
    if (dialogs::choice("Proceed to restore your pedal's presets from backup?", "Cancel", "Continue", nullptr) != 1)
        return;
    std::vector<std::string> picked;
    int shown = filedialogs::openFiles(filedialogs::Kind::Backup, "Browse Backup File (.bkp)", picked, false);
    if (shown == 1) return;
    if (shown != 0 || picked.empty()) return fileError(run, errno);

    uint8_t bank[presetfiles::BankSize];
    long size = 0;
    int error = 0;
    switch (presetfiles::readBank(picked[0], bank, &size, &error)) {
    case presetfiles::BankStatus::CannotOpen:
        return fileError(run, error);
    case presetfiles::BankStatus::WrongSize:
        // Only a whole bank is restored: nothing that is not in the file may reach the pedal.
        dialogs::alert("The selected file is not a valid backup file.\n\n  A backup file holds exactly 192 bytes; "
                       "this one holds %ld.\n\n  Nothing has been sent to the pedal.",
                       size);
        run.progress(100, "File error", red);
        run.log("Backup file refused - %ld bytes instead of 192.", size);
        run.log("> No changes has been made.");
        return;
    case presetfiles::BankStatus::Ok:
        break;
    }
    // A file of the right size may still be no backup at all (any 192 bytes
    // pass the size check): every record must lie in the ranges a pedal holds
    // and every title be free of control bytes, or nothing is sent.
    if (presetfiles::BankProblem bad = presetfiles::checkBank(bank)) {
        dialogs::alert("The selected file is not a valid backup file.\n\n  Preset %d: %s.\n\n  Nothing has been "
                       "sent to the pedal.",
                       bad.preset + 1, bad.why.c_str());
        run.progress(100, "File error", red);
        run.log("Backup file refused - Preset %d: %s.", bad.preset + 1, bad.why.c_str());
        run.log("> No changes has been made.");
        return;
    }

    run.context().usb->enlargeProgress(150);
    run.panel.top_window()->redraw();
    RestoreRun restored = restorePresets(run.presets, bank);
    run.context().usb->normalProgress();
    run.panel.top_window()->redraw();

    if (!restored.ok()) {
        // Says how far it got: the presets before the stop are overwritten.
        std::string stop = restored.outcome.stopText();
        dialogs::alert("Preset restore has failed due to erroneous data transfer.\n%s\nMake sure the pedal has clean "
                       "and stable power source, then try again.\n\n%s",
                       stop.c_str(), recoveryAdvice);
        run.log("> Preset restore failed. Please try again.");
        run.log("> %s", stop.c_str());
        if (!restored.selectedShown)
            run.log("> Preset %d could not be read back; the Dashboard keeps its sound.", run.panel.selectedPreset + 1);
        run.progress(100, "Preset restore error", red);
    } else {
        dialogs::message("Your pedal has been restored from backup.");
        run.log("> Preset restore successful.");
        run.progress(100, "Restore complete", blue);
    }
}

// Lets the toolkit run while waiting, without spinning a core.
void pause(double seconds) {
    using clock = std::chrono::steady_clock;
    const clock::time_point end =
        clock::now() + std::chrono::duration_cast<clock::duration>(std::chrono::duration<double>(seconds));
    const clock::duration step = std::chrono::milliseconds(10);
    for (clock::time_point now = clock::now(); now < end; now = clock::now()) {
        Fl::check();
        std::this_thread::sleep_for(std::min(end - now, step));
    }
}

// The Dashboard and the title show a preset record and title, as READ shows them.
void showPreset(const PresetContext& presets, const uint8_t* record, const uint8_t* title) {
    OV_Parameters& dash = *presets.context.dashboard;
    presets.transportPanel->showTitle(title);
    dash.apply(record);
    if (Fl_Button* mode = dash.stereoMode ? dash.stereoMicsButton : dash.stereoCabsButton) mode->do_callback();
}

}  // namespace

RestoreRun restorePresets(const PresetContext& presets, const uint8_t bank[192]) {
    const FeatureContext& app = presets.context;
    OV_UsbController& usb = *app.usb;
    OV_Parameters& dash = *app.dashboard;
    uint8_t before[protocol::RecordSize];
    std::memcpy(before, dash.params(), sizeof before);
    // Each record goes through the Dashboard, which clamps it and composes its image.
    uint8_t composed[protocol::PresetSlots][protocol::RecordSize] = {};
    auto compose = [&dash, &composed](int index, const uint8_t* bankRecord, uint8_t* record, uint8_t* image) {
        dash.apply(bankRecord);
        std::memcpy(record, dash.params(), protocol::RecordSize);
        if (index >= 0 && index < protocol::PresetSlots) std::memcpy(composed[index], record, protocol::RecordSize);
        std::memcpy(image, dash.image(), protocol::ImageSize);
    };
    auto progress = [&usb](int) {
        showProgress(usb.progress, 100, "w o r k i n g ...", blue);
        pause(restorePause);
    };
    presettransfer::PedalPresetLink link(usb.link);
    RestoreRun run;
    run.outcome = presettransfer::restoreBank(link, bank, compose, progress);

    // The Dashboard shows the last preset composed, which need not be the
    // selected one: show the selected preset as the pedal now holds it. A
    // bank read back that differs says what the pedal holds; else a preset
    // the run stored and verified holds the bank's record as composed (apply
    // gives the same again) and its title; any other is read back.
    const int selected = presets.transportPanel->selectedPreset;
    const size_t titles = protocol::PresetSlots * protocol::RecordSize;
    // What the pedal's presets now hold, for the edited mark: what the bank
    // read back says, else what the run stored and verified.
    if (DashboardSteps* steps = app.steps) {
        if (run.outcome.kind == presettransfer::Outcome::ReadAllMismatch) {
            for (int i = 0; i < protocol::PresetSlots; ++i)
                steps->pedalHolds(i, usb.reply() + protocol::RecordSize * i,
                                  reinterpret_cast<const char*>(usb.reply() + titles + protocol::TitleSize * i));
        } else {
            for (int i = 0; i < run.outcome.overwritten && i < protocol::PresetSlots; ++i)
                steps->pedalHolds(i, composed[i], reinterpret_cast<const char*>(bank + titles + protocol::TitleSize * i));
            if (run.outcome.damagedCopy()) steps->pedalDamaged(run.outcome.preset);
        }
    }
    if (run.outcome.kind == presettransfer::Outcome::ReadAllMismatch) {
        uint8_t held[protocol::BankSize];
        std::memcpy(held, usb.reply(), sizeof held);
        showPreset(presets, held + protocol::RecordSize * selected, held + titles + protocol::TitleSize * selected);
    } else if (selected < run.outcome.overwritten) {
        showPreset(presets, bank + protocol::RecordSize * selected, bank + titles + protocol::TitleSize * selected);
    } else if (usb.readPreset(selected)) {
        uint8_t reply[protocol::RecordSize + protocol::TitleSize];
        std::memcpy(reply, usb.reply(), sizeof reply);
        showPreset(presets, reply, reply + protocol::RecordSize);
        // Read back: the preset holds what the Dashboard now shows.
        if (app.steps) app.steps->pedalHolds(selected, dash.params(), presets.transportPanel->title);
    } else {
        dash.apply(before);                 // the pedal is gone: the sound the user had
        run.selectedShown = false;
    }
    // The local preset bar no longer names what the Dashboard plays.
    if (presets.presetPanel) presets.presetPanel->clearSelection();
    if (app.steps) app.steps->dashboardReplaced();
    return run;
}

void transport_cb(Fl_Widget* w, void* data) {
    PresetContext& presets = *static_cast<PresetContext*>(data);
    OV_TransportPanel& panel = *static_cast<OV_TransportPanel*>(w);
    if (panel.mode == OV_TransportPanel::Select) {
        showProgress(presets.context.usb->progress, 0, "r e a d y", blue);
        // A new title is an undo step; another preset selected is another
        // comparison for the edited mark.
        if (presets.context.steps) presets.context.steps->dashboardReplaced();
        panel.top_window()->redraw();
        return;
    }
    // Everything else that could start an exchange is held while the pedal
    // is busy; afterwards each control gets back the state it had, so a
    // prompt that keeps the Dashboard inactive stays in charge.
    ExchangeGuard guard(presets.context, &panel);
    Run run{presets, panel, guard};
    switch (panel.mode) {
    case OV_TransportPanel::Read: doRead(run); break;
    case OV_TransportPanel::Write: doWrite(run); break;
    case OV_TransportPanel::Backup: doBackup(run); break;
    case OV_TransportPanel::Restore: doRestore(run); break;
    default: break;
    }
}
