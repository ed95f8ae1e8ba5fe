#include "link/OV_UsbController.h"

OV_UsbController::OV_UsbController(int x, int y, int w, int h, const char* label)
    : Fl_Group(x, y, w, h, label), progress(nullptr), timer(new int64_t[2]{0, 0}), handle(nullptr),
      status(0), byteCount(0), buffer{}, presetAddress{}, serialNumber{}, deviceCount(0) {
    progress = new Fl_Progress(632, 485, 180, 24, "- - -");
    end();
}

OV_UsbController::~OV_UsbController() { delete[] timer; }
