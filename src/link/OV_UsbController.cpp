#include "link/OV_UsbController.h"

#include <FL/Fl_Window.H>

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
    coverBar();
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

// The window redraws an uncovered area (a closed menu or message) only in the
// children whose own rectangle it touches: the group takes the bar's place,
// so the bar is always redrawn whole instead of being cut by the background.
void OV_UsbController::coverBar() {
    // Where the bar was is drawn anew too, so nothing of it stays behind.
    if (Fl_Window* win = window()) win->damage(FL_DAMAGE_ALL, x(), y(), w(), h());
    Fl_Widget::resize(progress->x(), progress->y(), progress->w(), progress->h());
    progress->redraw();
}

void OV_UsbController::enlargeProgress(int x) {
    progress->resize(x, 490, 440, 45);
    progress->labelfont(1);
    progress->labelsize(18);
    coverBar();
}

void OV_UsbController::normalProgress() {
    progress->resize(632, 485, 180, 24);
    progress->labelfont(0);
    progress->labelsize(14);
    coverBar();
}
