// The window's view of the pedal link: the toolkit-free PedalLink (one
// synchronous transaction per operation; see link/PedalLink.h for the result
// codes, the waits and the diagnostics) plus the progress bar that every
// pedal operation uses.
//
// Result codes of the writing operations: 0 when every step succeeded, else
//  - the non-zero FT_STATUS of the port call that failed;
//  - when the port said FT_OK but moved fewer bytes than asked, the number
//    of bytes moved, or NothingMoved when that number is zero;
//  - 100 (StoreTimeout) when storePreset timed out (transmit drain or read-back);
//  - for a writePage time-out, the number of bytes that had arrived, or
//    NothingArrived when none had.
// A failure therefore never yields 0.
//
// Waits count time on a monotonic clock: a limit of L seconds ends after more
// than L and at most L + 1 seconds; while waiting the toolkit handles events
// (Fl::check, the idle step this view gives its link) between short blocking
// polls on the device, so no core spins. `timer` holds the start and the
// latest reading of that clock in milliseconds.
#pragma once

#include <FL/Fl_Group.H>
#include <FL/Fl_Progress.H>
#include <cstdint>

#include "link/PedalLink.h"

class OV_UsbController : public Fl_Group {
public:
    // The three outcomes of sendOneMessage.
    using SendOutcome = PedalLink::SendOutcome;
    static constexpr SendOutcome NotOpened = PedalLink::NotOpened;
    static constexpr SendOutcome NotWritten = PedalLink::NotWritten;
    static constexpr SendOutcome Written = PedalLink::Written;
    // Non-zero results for failures that moved no byte at all.
    enum {
        StoreTimeout = PedalLink::StoreTimeout,
        NothingMoved = PedalLink::NothingMoved,
        NothingArrived = PedalLink::NothingArrived
    };

    OV_UsbController(int x, int y, int w, int h, const char* label = nullptr);
    ~OV_UsbController() override;

    bool openByDescription() { return link.openByDescription().ok(); }
    bool readAll() { return link.readAll().ok(); }
    bool readPreset(int index) { return link.readPreset(index).ok(); }
    int storePreset(int index, const uint8_t* params, const uint8_t* title, const uint8_t* image) {
        return link.storePreset(index, params, title, image).code;
    }
    int writePreview(const uint8_t* image) { return link.writePreview(image).code; }
    bool getOneByte(uint8_t command) { return link.getOneByte(command).ok(); }
    int oneByte(uint8_t command, uint8_t value) { return link.oneByte(command, value).code; }
    int writePage(unsigned address, const uint8_t* page) { return link.writePage(address, page).code; }
    SendOutcome sendOneMessage(uint8_t value) { return link.sendOneMessage(value); }

    // Waits at least `seconds` without handling events and without spinning
    // (the settling pause before a first read); recorded in `timer`.
    void pause(double seconds) { link.pause(seconds); }

    // The last reply read: 192 bytes after readAll, 24 after readPreset, 1
    // after getOneByte, the 512-byte echo after storePreset, 64 after writePage.
    const uint8_t* reply() const { return link.reply(); }

    // The progress bar's fill colours for a good and a failed outcome.
    static constexpr Fl_Color progressBlue = 0x4444ff00;
    static constexpr Fl_Color progressRed = 0x80000000;
    // Long transfers show the bar enlarged at (x, 490, 440, 45) in a large
    // bold label; normalProgress puts it back in its place.
    void enlargeProgress(int x);
    void normalProgress();

    PedalLink link;                 // the protocol, without the toolkit
    Fl_Progress* progress;
    // The link's state, under the names the window has always used.
    int64_t* const timer;           // start, now (monotonic milliseconds)
    serialport::Port*& handle;
    FT_STATUS& status;
    uint32_t& byteCount;
    uint8_t (&presetAddress)[protocol::PresetSlots];
    char (&serialNumber)[2][12];
    uint32_t& deviceCount;

private:
    void showProgress(float value, const char* label);
    void coverBar();                // the group takes the bar's rectangle (see the .cpp)
};
