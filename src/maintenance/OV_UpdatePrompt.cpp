#include "maintenance/OV_UpdatePrompt.h"

#include "base/dialogs.h"
#include "base/platform.h"
#include "base/support_texts.h"
#include "context/exchange_guard.h"
#include "context/status_writer.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "link/OV_UsbController.h"
#include "maintenance/FirmwarePackage.h"
#include "maintenance/FirmwareTransfer.h"

namespace {

const Fl_Color kBlue = OV_UsbController::progressBlue;
const Fl_Color kRed = OV_UsbController::progressRed;

const char* const kFileErrorAlert =
    "A problem is encountered while trying to access the firmware file.\n\n"
    "  The file maybe corrupted or is being used by another program.";
const char* const kTransferFailedAlert =
    "USB communication problem has been detected.\n\n"
    "  Power down the pedal and close down this software, then try again.\n\n"
    " " SUPPORT_LINE;
const char* const kVerifyFailedAlert =
    "Firmware Update process has been aborted due to detected errors. Please try again.\n\n"
    "> Power down the pedal and close down this software, then try again.\n\n"
    "> " SUPPORT_LINE;
const char* const kCompleteMessage =
    "Firmware update complete.\n\n"
    " You may now restart you pedal or exit this session to continue with normal "
    "operation of your pedal.";
const char* const kCancelAlert =
    " You've chosen to cancel the firmware update process.\n\n"
    " Update session will now exit and you can now continue with normal operation of your pedal.";
const char* const kResumeFailedAlert =
    " USB communication problem is detected.\n\n"
    " Please recycle the power supplied to the pedal then click 'Connect'.";

void updateButton_cb(Fl_Widget*, void* prompt) { static_cast<OV_UpdatePrompt*>(prompt)->updatePressed(); }
void cancelButton_cb(Fl_Widget*, void* prompt) { static_cast<OV_UpdatePrompt*>(prompt)->cancelPressed(); }
void browseButton_cb(Fl_Widget*, void* prompt) { static_cast<OV_UpdatePrompt*>(prompt)->browsePressed(); }

// Through the shell's registry when there is one, so a control another
// prompt holds gets the state when that prompt closes.
void setActive(const FeatureContext& context, Fl_Widget* control, bool active) {
    if (context.exchanges)
        context.exchanges->setActive(control, active);
    else if (active)
        control->activate();
    else
        control->deactivate();
}

}  // namespace

void updatePrompt_cb(Fl_Widget* widget, void*) { static_cast<OV_UpdatePrompt*>(widget)->runAction(); }

OV_UpdatePrompt::OV_UpdatePrompt(const FeatureContext& context, const WindowControls& controls, int x, int y, int w,
                                 int h, const char* label)
    : OV_UpdatePrompt(x, y, w, h, label) {
    this->context = context;
    this->controls = controls;
    holdWhileShown(context.exchanges, controls.usable);
    callback(updatePrompt_cb);
}

OV_UpdatePrompt::OV_UpdatePrompt(int x, int y, int w, int h, const char* label)
    : HeldPrompt(x, y, w, h, label) {
    updateButton = new Fl_Toggle_Button(x + 55, y + 320, 100, 25, "Update Now");
    updateButton->labelfont(0);
    updateButton->labelsize(13);
    updateButton->callback(updateButton_cb, this);
    updateButton->deactivate();

    cancelButton = new Fl_Toggle_Button(x + 200, y + 320, 100, 25, "Cancel");
    cancelButton->labelfont(0);
    cancelButton->labelsize(13);
    cancelButton->callback(cancelButton_cb, this);

    browseButton = new Fl_Button(x + 95, y + 85, 170, 25, "Browse Firmware File");
    browseButton->labelfont(0);
    browseButton->labelsize(13);
    browseButton->callback(browseButton_cb, this);

    char path[64];
    snprintf(path, sizeof path, "%s/update_icon_(140x123).png", "img");
    icon = new Fl_PNG_Image(path);
    iconBox = new Fl_Box(x + 110, y + 150, 140, 123);
    iconBox->box(FL_NO_BOX);
    if (!icon->fail()) iconBox->image(icon);   // a missing picture draws nothing

    pedalVersionBox = new Fl_Box(x + 53, y + 48, 100, 25);
    pedalVersionBox->labelfont(1);
    pedalVersionBox->labelsize(13);
    pedalVersionBox->label(pedalVersionText);

    fileVersionBox = new Fl_Box(x + 255, y + 85, 100, 25);
    fileVersionBox->labelfont(1);
    fileVersionBox->labelsize(20);
    fileVersionBox->labelcolor(216);
    fileVersionBox->label(fileVersionText);

    firmwareChooser = new Fl_Native_File_Chooser(Fl_Native_File_Chooser::BROWSE_FILE);
    firmwareChooser->title("Browse Firmware (.fdt)");
    firmwareChooser->filter("*.fdt");
    firmwareChooser->directory(downloadFolder().c_str());

    notesBuffer = new Fl_Text_Buffer(0, 1024);
    notesDisplay = new Fl_Text_Display(x + 25, y + 120, w - 50, 190);
    notesDisplay->buffer(notesBuffer);
    notesDisplay->box(FL_PLASTIC_DOWN_BOX);
    notesDisplay->color(fl_color_average(fl_color_average(50, FL_WHITE, 0.67f), FL_WHITE, 0.67f));
    notesDisplay->textsize(13);
    notesDisplay->scrollbar_width(10);
    notesDisplay->wrap_mode(Fl_Text_Display::WRAP_AT_PIXEL, w - 25);
    notesDisplay->hide();
    end();
}

// The display detaches from its buffer when it goes, so the children go first.
OV_UpdatePrompt::~OV_UpdatePrompt() {
    clear();
    delete notesBuffer;
    delete firmwareChooser;
    delete icon;
}

void OV_UpdatePrompt::draw() {
    Fl_Group::draw();
    fl_color(0x1e141400);
    fl_line_style(FL_SOLID, 8);
    fl_rect(x() + 10, y() + 10, 340, 350);
    fl_line_style(0);
    fl_font(1, 16);
    fl_draw("-  FIRMWARE UPDATE  -", x() + 85, y() + 35);
    // The pedal's version reads between the two texts, centred in its box.
    fl_font(pedalVersionBox->labelfont(), pedalVersionBox->labelsize());
    int versionLeft = pedalVersionBox->x() + (pedalVersionBox->w() - int(fl_width(pedalVersionText))) / 2;
    const char* sentence = "is currently installed in your pedal.";
    int size = std::min(fittingSize("Firmware", x() + 28, versionLeft - 4),
                        fittingSize(sentence, x() + 130, x() + 344));
    fl_font(0, size);
    fl_draw("Firmware", x() + 28, y() + 65);
    fl_draw(sentence, x() + 130, y() + 65);
}

// Fonts wider than the ones this layout was made for would run a text into
// its neighbour or the outline: the size, 13 or smaller (9 at least), at
// which the text starting at left ends before right.
int OV_UpdatePrompt::fittingSize(const char* text, int left, int right) {
    int size = 13;
    fl_font(0, size);
    while (size > 9 && left + fl_width(text) > right) fl_font(0, --size);
    return size;
}

std::string OV_UpdatePrompt::downloadFolder() {
    std::string profile = platform::env("USERPROFILE");
    std::string usual = profile + (platform::envSet("LOCALAPPDATA") ? "/Downloads" : "/My Documents/Downloads");
    if (platform::folderExists(usual)) return usual;
    // Where the usual folder is missing, the other form or the profile itself.
    std::string other = profile + (platform::envSet("LOCALAPPDATA") ? "/My Documents/Downloads" : "/Downloads");
    if (platform::folderExists(other)) return other;
    return profile.empty() ? usual : profile;
}

bool OV_UpdatePrompt::open() {
    if (!holdWindow()) {
        waiting_ = true;
        return false;
    }
    waiting_ = false;
    show();
    return true;
}

void OV_UpdatePrompt::close() {
    waiting_ = false;
    hide();
}

void OV_UpdatePrompt::updatePressed() {
    if (sending) return;
    do_callback();
    updateButton->value(0);
}

void OV_UpdatePrompt::cancelPressed() {
    if (sending) {
        cancelButton->value(0);
        return;
    }
    do_callback();
}

void OV_UpdatePrompt::browsePressed() {
    if (sending) return;
    do_callback();
}

void OV_UpdatePrompt::runAction() {
    if (sending || !context.usb) return;   // a transfer is running further down the stack
    // Sending pages and the resume message hold every other control, Connect,
    // Menu and Quit included; Browse talks to no pedal.
    bool sendPages = updateButton->value() != 0;
    bool leave = !sendPages && cancelButton->value() != 0;
    ExchangeGuard run(context, this,
                      sendPages || leave ? ExchangeGuard::Hold::Controls : ExchangeGuard::Hold::Nothing);
    if (sendPages)
        run.count(updateNow(run));
    else if (leave)
        run.count(cancelSession(run));
    else
        run.count(browse(run));
    context.usb->normalProgress();
}

int OV_UpdatePrompt::browse(ExchangeGuard& run) {
    firmwareChooser->directory(downloadFolder().c_str());
    std::vector<std::string> picked;
    errno = 0;
    int shown = dialogs::showChooser(*firmwareChooser, picked);
    if (shown == 1) return 0;
    if (shown != 0 || picked.empty()) return fileError(run, errno);

    firmware::Package package;
    int error = 0;
    firmware::ReadStatus read = firmware::readPackage(picked[0], "r", false, package, error);
    // A file with nothing to send (no lines at all, or nothing after its
    // notes) is no firmware package, whatever its first character reads as.
    if (read == firmware::ReadStatus::NoVersion || (read == firmware::ReadStatus::Ok && package.payloadSize == 0))
        return refuseEmpty(run);
    if (read != firmware::ReadStatus::Ok) return fileError(run, error);
    // Any file has a first character and bytes after its second line: only
    // one that follows the format is taken for a package.
    std::string malformed = firmware::formatProblem(package);
    if (!malformed.empty()) return refuseMalformed(run, malformed);

    iconBox->hide();
    notesBuffer->text("");
    notesDisplay->show();
    snprintf(fileVersionText, sizeof fileVersionText, "%s", firmware::versionText(package.version).c_str());
    fileVersionBox->label(fileVersionText);
    notesBuffer->append(package.notes.c_str());

    if (package.payloadSize > firmware::kMaxPayload) {
        chosenPath.clear();
        refuseOversize(run, package.payloadSize);
        return 1;
    }
    chosenPath = picked[0];
    run.outcome(0, nullptr, kBlue);   // no earlier file error stays on show
    context.log->logStatus("Firmware package file ready.");
    updateButton->activate();
    cancelButton->label("Cancel");
    return 1;
}

int OV_UpdatePrompt::fileError(ExchangeGuard& run, int error) {
    dialogs::alert("%s", kFileErrorAlert);
    run.outcome(100, "File error", kRed);
    context.log->logStatus("Failed to open firmware package file - Error code : %d.", error);
    updateButton->deactivate();
    return 1;
}

void OV_UpdatePrompt::forgetFile() {
    chosenPath.clear();
    // Nothing of the refused file stays on show as if it were ready.
    notesBuffer->text("");
    notesDisplay->hide();
    iconBox->show();
    fileVersionText[0] = '\0';
    fileVersionBox->label(fileVersionText);
    redraw();
}

int OV_UpdatePrompt::refuseMalformed(ExchangeGuard& run, const std::string& why) {
    forgetFile();
    dialogs::alert("This file is not a firmware package for the pedal: %s.\n\n"
                   "  Please check that you have chosen the right firmware file.",
                   why.c_str());
    run.outcome(100, "File error", kRed);
    context.log->logStatus("> Firmware package refused - %s.", why.c_str());
    updateButton->deactivate();
    return 1;
}

int OV_UpdatePrompt::refuseEmpty(ExchangeGuard& run) {
    forgetFile();
    dialogs::alert("This file holds no firmware for the pedal: nothing follows its version line and "
                   "release notes.\n\n  Please check that you have chosen the right firmware file.");
    run.outcome(100, "File error", kRed);
    context.log->logStatus("> Firmware package refused - no payload.");
    updateButton->deactivate();
    return 1;
}

void OV_UpdatePrompt::refuseOversize(ExchangeGuard& run, long payloadSize) {
    dialogs::alert("This firmware package is too large for the pedal: it holds %ld bytes of firmware, "
                   "and at most %ld bytes can be sent.\n\n"
                   "  Please check that you have chosen the right firmware file.",
                   payloadSize, firmware::kMaxPayload);
    run.outcome(100, "File too large", kRed);
    context.log->logStatus("> Firmware package refused - more than %ld bytes of firmware.", firmware::kMaxPayload);
    updateButton->deactivate();
}

int OV_UpdatePrompt::updateNow(ExchangeGuard& run) {
    // Nothing else may start a pedal exchange while pages are sent (the guard
    // holds the other controls); the link's waits let the toolkit handle
    // clicks meanwhile.
    sending = true;
    updateButton->deactivate();
    cancelButton->deactivate();
    browseButton->deactivate();
    bool allowRetry = true;
    int lines = 0;

    firmware::Package package;
    int error = 0;
    firmware::ReadStatus read = firmware::readPackage(chosenPath, "rb", true, package, error);
    if (read == firmware::ReadStatus::NoVersion || (read == firmware::ReadStatus::Ok && package.payloadSize == 0)) {
        // Emptied since it was browsed: nothing to send.
        lines = refuseEmpty(run);
        allowRetry = false;
    } else if (read != firmware::ReadStatus::Ok) {
        // The package is gone or changed since it was browsed: send nothing.
        lines = fileError(run, error);
        allowRetry = false;
    } else if (!firmware::formatProblem(package).empty()) {
        // Replaced since it was browsed by a file that is no package.
        lines = refuseMalformed(run, firmware::formatProblem(package));
        allowRetry = false;
    } else if (package.payloadSize > firmware::kMaxPayload) {
        refuseOversize(run, package.payloadSize);
        lines = 1;
        allowRetry = false;
    } else if (!package.payload.empty()) {
        context.usb->enlargeProgress(90);
        firmware::PedalPageLink link(context.usb->link);
        firmware::Outcome outcome =
            firmware::sendFirmware(link, package.payload, package.version, [&run](float percent) {
                char label[16];
                snprintf(label, sizeof label, "%3.0f%%", percent);
                run.outcome(percent, label, kBlue);
            });
        switch (outcome.kind) {
        case firmware::Outcome::Complete:
            run.outcome(100, "100%", kBlue);
            // The pedal now holds the package's version.
            snprintf(pedalVersionText, sizeof pedalVersionText, "%s",
                     firmware::versionText(package.version).c_str());
            pedalVersionBox->label(pedalVersionText);
            redraw();
            dialogs::message("%s", kCompleteMessage);
            context.log->logStatus("Firmware update complete.");
            cancelButton->label("Exit Session");
            allowRetry = false;
            lines = 1;
            break;
        case firmware::Outcome::TransferFailed:
            dialogs::alert("%s", kTransferFailedAlert);
            run.outcome(100, "Update failed", kRed);
            context.log->logStatus("> Firmware update operation failed. Please try again.");
            lines = 1;
            break;
        case firmware::Outcome::VerifyFailed:
            dialogs::alert("%s", kVerifyFailedAlert);
            context.log->logStatus("> Update aborted due to errors. Please try again.");
            run.outcome(100, "Update aborted", kRed);
            lines = 1;
            break;
        case firmware::Outcome::TooLarge:   // measured above; kept for completeness
            refuseOversize(run, package.payloadSize);
            allowRetry = false;
            lines = 1;
            break;
        case firmware::Outcome::Empty:
            break;
        }
    }

    browseButton->activate();
    cancelButton->activate();
    if (allowRetry) updateButton->activate();
    sending = false;
    return lines;
}

int OV_UpdatePrompt::cancelSession(ExchangeGuard& run) {
    if (strcmp(cancelButton->label(), "Cancel") == 0) {
        dialogs::alert("%s", kCancelAlert);
        context.log->logStatus("Firmware update cancelled by user.");
    } else {
        context.log->logStatus("Normal operation resumes.");
    }
    // The held controls get back the state they had before the session (the
    // run's guard keeps them until the message is out); none is activated
    // here, so what another hold or the connect run decided stands.
    close();
    run.outcome(0, nullptr, kBlue);

    if (context.usb->sendOneMessage(protocol::Resume) == OV_UsbController::NotWritten) {
        if (controls.transport) setActive(context, controls.transport, false);
        dialogs::alert("%s", kResumeFailedAlert);
    }
    cancelButton->value(0);
    return 1;
}
