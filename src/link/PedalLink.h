// The pedal link without a toolkit: one synchronous transaction per operation
// (open by serial number, write, wait for the reply, read, purge, close).
// The window's OV_UsbController puts its progress bar over one; a
// command-line program uses one directly.
//
// Result codes (LinkResult::code): 0 when every step succeeded, else
//  - the non-zero FT_STATUS of the port call that failed;
//  - when the port said FT_OK but moved fewer bytes than asked, the number
//    of bytes moved, or NothingMoved when that number is zero;
//  - StoreTimeout (100) when storePreset timed out (transmit drain or read-back);
//  - for a time-out waiting for a reply, the number of bytes that had arrived,
//    or NothingArrived when none had.
// A failure therefore never yields 0. LinkResult::text says in words what
// failed and why; it is empty on success.
//
// Waits count time on a monotonic clock: a limit of L seconds ends after more
// than L and at most L + 1 seconds. Between short blocking polls on the
// device (at most 5 ms) the link runs the idle step, if one is set (the
// window handles its events there); no core spins. `timer` holds the start
// and the latest reading of that clock in milliseconds.
//
// Diagnostics (one line per step, as the editor has always printed them) go
// to the sink, standard output unless another is set; a quiet sink drops them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/SerialPort.h"
#include "link/Protocol.h"

struct LinkResult {
    int code = 0;
    std::string text;       // what failed and why; empty on success
    bool ok() const { return code == 0; }
};

// One device the serial port backend lists.
struct PedalInfo {
    std::string serial;
    std::string description;
    std::string port;       // /dev/ttyUSBn or the virtual pedal's pseudo-terminal; may be empty
    bool isPedal() const;   // its description is the pedal's
};

class PedalLink {
public:
    // The three outcomes of sendOneMessage.
    enum SendOutcome { NotOpened = 0, NotWritten = 1, Written = 2 };
    // Non-zero results for failures that moved no byte at all.
    enum { StoreTimeout = 100, NothingMoved = 1000, NothingArrived = 1001 };

    // Runs between two polls of a wait (for instance the toolkit's event check).
    using IdleStep = std::function<void()>;
    // Receives each diagnostic text, newlines included.
    using Sink = std::function<void(const char* text)>;
    // Progress of an operation in percent; `label` is nullptr when it stays.
    using Progress = std::function<void(float percent, const char* label)>;

    static const char* const pedalDescription;     // "Kestrova Drevani"

    PedalLink();
    ~PedalLink();
    PedalLink(const PedalLink&) = delete;
    PedalLink& operator=(const PedalLink&) = delete;

    void setIdleStep(IdleStep step) { idle_ = std::move(step); }
    void setSink(Sink sink) { sink_ = std::move(sink); }
    void setProgress(Progress progress) { progress_ = std::move(progress); }
    static void stdoutSink(const char* text);     // the default sink
    static Sink quiet();                        // a sink that drops everything

    // Every device the serial port backend lists now, in its order; nothing is opened.
    static std::vector<PedalInfo> listDevices();
    // Makes `serial` (cut to 11 characters) the device every operation opens.
    // False for an empty serial number.
    bool selectSerial(const std::string& serial);

    // Finds the pedal by description, fills serialNumber/deviceCount from the
    // device list and sets up the pedal's port (USB parameters, time-outs,
    // baud rate, purge). Leaves no device open.
    LinkResult openByDescription();
    LinkResult readAll();                       // reply(): 192 bytes
    LinkResult readPreset(int index);           // reply(): record + title (24 bytes)
    LinkResult getOneByte(uint8_t command);     // reply(): 1 byte
    // Stores preset `index` (0..7); reply() then holds the 512 bytes echoed.
    LinkResult storePreset(int index, const uint8_t* params, const uint8_t* title, const uint8_t* image);
    // Whether the last storePreset wrote at least one byte of its header to
    // the pedal. False when it failed before that (the device could not be
    // opened, or the header write moved nothing): the preset is untouched.
    // True for any later failure: the pedal may have stored part or all of it.
    bool storeReachedPedal() const { return storeReached_; }
    LinkResult writePreview(const uint8_t* image);
    LinkResult oneByte(uint8_t command, uint8_t value);
    // Sends one 64-byte page; reply() then holds the 64 bytes read back.
    LinkResult writePage(unsigned address, const uint8_t* page);
    SendOutcome sendOneMessage(uint8_t value);

    // Waits at least `seconds` without running the idle step and without
    // spinning (the settling pause before a first read); recorded in `timer`.
    void pause(double seconds);

    // While kept (counted: each true needs a false), the pedals this link
    // opens stay reserved for this program between transactions, so a run of
    // several (a restore) is never interleaved with another program's; a
    // second program's open fails with "the pedal is in use by another
    // program (pid N)". Without it a pedal is reserved only during each
    // transaction.
    static void keepClaim(bool keep);

    // A reply that timed out may still come. Until lateReplyMs after such a
    // time-out, the next transaction first waits for the late bytes (or the
    // end of that time) and drops them, so they never answer its command;
    // lateReplyPending() says whether that time has not passed yet, and
    // awaitLateReply() waits it out (a program about to end, so that the
    // next one does not meet the late bytes either).
    enum { LateReplyMs = 2000 };
    bool lateReplyPending() const;
    void awaitLateReply();

    // The last reply read (its size depends on the operation; 512 bytes kept).
    const uint8_t* reply() const { return buffer_; }
    const LinkResult& lastResult() const { return last_; }
    // Why the last failed open failed beyond its status ("the pedal is in use
    // by another program (pid 4242)", a permission the user lacks), or empty.
    const std::string& openProblem() const { return openProblem_; }

    int64_t timer[2];               // start, now (monotonic milliseconds)
    serialport::Port* handle;       // the open port during a transaction, else nullptr
    FT_STATUS status;
    uint32_t byteCount;
    // Command byte of each preset slot (the read form; a store adds StorePreset).
    uint8_t presetAddress[protocol::PresetSlots];
    // Filled in list order by openByDescription (a third device and beyond
    // are not kept). A serial number longer than 11 characters is cut to its
    // first 11, always NUL-terminated; the serial-driver backend opens the
    // device by that cut form too.
    char serialNumber[2][12];
    uint32_t deviceCount;

private:
    struct ReplyTexts;
    void say(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void report(float percent, const char* label = nullptr);
    LinkResult& done(int code, std::string text = std::string());
    LinkResult& failedStatus(const char* what);
    LinkResult& failedCount(const char* what, uint32_t moved, uint32_t wanted, const char* verb);
    void closeDevice();
    // Opens the device `key` names into port_/handle; false with status
    // (and openProblem_ when the backend gave a reason) on failure.
    bool openPort(const char* key, bool byDescription);
    bool openBySerial(bool quietError);
    bool purge();
    int resultOf(FT_STATUS st, uint32_t moved) const;
    // Writes n bytes in one call; true when all of them went. Otherwise prints
    // failedText (given the status) and countText (given the bytes moved),
    // purges, closes the device and sets the failure as the last result.
    bool writeAll(const void* data, uint32_t n, const char* what, const char* failedText, const char* countText);
    bool waitForReply(uint32_t wanted, int limitSeconds, uint32_t& queued);
    // Waits up to limitSeconds for a reply of `size` bytes and reads it into
    // the buffer; true when all of it was read. A time-out sets timeoutCode
    // (0: the bytes that had arrived, or NothingArrived) with "<what> timed
    // out: ...", prints timeoutText, purges and closes the device. A failed
    // read sets the failure and prints readFailedText (given the status), but
    // leaves the device open.
    bool receive(uint32_t size, int limitSeconds, const char* what, int timeoutCode, const char* timeoutText,
                 const char* readFailedText);
    LinkResult readReply(uint8_t command, uint32_t size, const ReplyTexts& texts, bool showProgress);

    // Drops the bytes of a late reply (see lateReplyPending) on the open device.
    void settle();
    // "<what> failed: " and the backend's reason, or the status in words.
    LinkResult& failedOpen(const char* what);

    std::unique_ptr<serialport::Port> port_;
    uint8_t buffer_[protocol::ImageSize];
    int64_t lateUntil_ = 0;
    std::string openProblem_;         // monotonic ms; 0: no late reply expected
    LinkResult last_;
    bool storeReached_ = false;
    IdleStep idle_;
    Sink sink_;
    Progress progress_;
};

// The text of a port status ("device not found", ...).
const char* statusText(FT_STATUS status);
