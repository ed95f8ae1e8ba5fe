#include "link/OV_UsbController.h"

#include <FL/Fl.H>

OV_UsbController::OV_UsbController(int x, int y, int w, int h, const char* label)
    : Fl_Group(x, y, w, h, label), progress(nullptr), timer(link.timer), handle(link.handle),
      status(link.status), byteCount(link.byteCount), presetAddress(link.presetAddress),
      serialNumber(link.serialNumber), deviceCount(link.deviceCount) {
    progress = new Fl_Progress(632, 485, 180, 24, "- - -");
    progress->minimum(0);
    progress->maximum(100);
    progress->color(0x88888800);
    progress->selection_color(progressBlue);
    progress->labelcolor(FL_WHITE);
    progress->labelfont(0);
    end();
    link.setIdleStep([] { Fl::check(); });
    link.setProgress([this](float value, const char* label) { showProgress(value, label); });
}

OV_UsbController::~OV_UsbController() {
    link.setProgress(nullptr);
    remove(progress);
    delete progress;
}

void OV_UsbController::showProgress(float value, const char* label) {
    progress->value(value);
    if (label) progress->label(label);
    progress->redraw();
    if (label) redraw();
}

void OV_UsbController::enlargeProgress(int x) {
    progress->resize(x, 490, 440, 45);
    progress->labelfont(1);
    progress->labelsize(18);
}

void OV_UsbController::normalProgress() {
    progress->resize(632, 485, 180, 24);
    progress->labelfont(0);
    progress->labelsize(14);
}
