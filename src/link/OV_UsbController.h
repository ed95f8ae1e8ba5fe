// The USB link to the pedal: one synchronous transaction per operation
// (open by serial number, write, wait for the reply, read, purge, close),
// and the window's progress bar that every pedal operation uses.
//
// Result codes of the writing operations: 0 when every step succeeded, else
//  - the non-zero FT_STATUS of the library call that failed;
//  - when the library said FT_OK but moved fewer bytes than asked, the number
//    of bytes moved, or NothingMoved when that number is zero;
//  - 100 (StoreTimeout) when storePreset timed out (transmit drain or read-back);
//  - for a writePage time-out, the number of bytes that had arrived, or
//    NothingArrived when none had.
// A failure therefore never yields 0.
//
// Waits count time on a monotonic clock: a limit of L seconds ends after more
// than L and at most L + 1 seconds; while waiting the toolkit handles events
// (Fl::check) between short blocking polls on the device, so no core spins.
// `timer` holds the start and the latest reading of that clock in milliseconds.
#pragma once

#include <FL/Fl_Group.H>
#include <FL/Fl_Progress.H>
#include <cstdint>

#include "link/ftdi.h"

class OV_UsbController : public Fl_Group {
public:
    // The three outcomes of sendOneMessage.
    enum SendOutcome { NotOpened = 0, NotWritten = 1, Written = 2 };
    // Non-zero results for failures that moved no byte at all.
    enum { StoreTimeout = 100, NothingMoved = 1000, NothingArrived = 1001 };

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

    // Waits at least `seconds` without handling events and without spinning
    // (the settling pause before a first read); recorded in `timer`.
    void pause(double seconds);

    // The progress bar's fill colours for a good and a failed outcome.
    static constexpr Fl_Color progressBlue = 0x4444ff00;
    static constexpr Fl_Color progressRed = 0x80000000;
    // Long transfers show the bar enlarged at (x, 490, 440, 45) in a large
    // bold label; normalProgress puts it back in its place.
    void enlargeProgress(int x);
    void normalProgress();

    Fl_Progress* progress;
    int64_t* timer;                 // start, now (monotonic milliseconds)
    FT_HANDLE handle;
    FT_STATUS status;
    uint32_t byteCount;
    uint8_t buffer[512];
    uint8_t presetAddress[8];
    // Filled in list order by openByDescription (a third device and beyond
    // are not kept). A serial number longer than 11 characters is cut to its
    // first 11, always NUL-terminated; the serial-driver backend opens the
    // device by that cut form too.
    char serialNumber[2][12];
    uint32_t deviceCount;

private:
    struct ReplyTexts;
    void closeDevice();
    bool openBySerial(bool quietError);
    bool purge();
    int resultOf(FT_STATUS st, uint32_t moved) const;
    // Writes n bytes in one call; 0 when all of them went. Otherwise prints
    // failedText (given the status) and countText (given the bytes moved),
    // purges, closes the device and returns the non-zero result code.
    int writeAll(const void* data, uint32_t n, const char* failedText, const char* countText);
    bool waitForReply(uint32_t wanted, int limitSeconds, uint32_t& queued);
    bool readReply(uint8_t command, uint32_t size, const ReplyTexts& texts, bool showProgress);
    void setProgress(float value);
};
