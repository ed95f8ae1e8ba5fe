// The USB link to the pedal: one synchronous transaction per operation
// (open by serial number, write, wait for the reply, read, purge, close),
// and the window's progress bar that every pedal operation uses.
#pragma once

#include <FL/Fl_Group.H>
#include <FL/Fl_Progress.H>
#include <cstdint>

#include "link/ftdi.h"

class OV_UsbController : public Fl_Group {
public:
    // The three outcomes of sendOneMessage.
    enum SendOutcome { NotOpened = 0, NotWritten = 1, Written = 2 };

    OV_UsbController(int x, int y, int w, int h, const char* label = nullptr);
    ~OV_UsbController() override;

    bool openByDescription();
    bool readAll();
    bool readPreset(int index);
    int storePreset(int index, const uint8_t* params, const uint8_t* title, const uint8_t* image);
    int writePreview(const uint8_t* image);
    bool getOneByte(uint8_t command);
    int oneByte(uint8_t command, uint8_t value);
    int writePage(unsigned address, const uint8_t* page);
    SendOutcome sendOneMessage(uint8_t value);

    Fl_Progress* progress;
    int64_t* timer;                 // start, now
    FT_HANDLE handle;
    FT_STATUS status;
    uint32_t byteCount;
    uint8_t buffer[512];
    uint8_t presetAddress[8];
    char serialNumber[2][12];
    uint32_t deviceCount;
};
