#include "link/PedalLink.h"

#include <time.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>

using namespace protocol;

namespace {

const int pollSliceMs = 5;      // longest block on the device between two idle steps
// The second line of a failed write's report, in its two wordings.
const char* const writtenText = "Number of bytes written : %d \n\n";
const char* const getWrittenText = "Number of bytes get written : %d \n\n";

int64_t monotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

void restMs(long ms) {
    timespec ts{ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {}
}

}  // namespace

const char* const PedalLink::pedalDescription = "Kestrova Drevani";

const char* statusText(FT_STATUS status) {
    switch (status) {
    case FT_OK: return "ok";
    case FT_INVALID_HANDLE: return "invalid handle";
    case FT_DEVICE_NOT_FOUND: return "device not found";
    case FT_DEVICE_NOT_OPENED: return "device not opened";
    case FT_IO_ERROR: return "input/output error";
    case FT_INSUFFICIENT_RESOURCES: return "insufficient resources";
    case FT_INVALID_PARAMETER: return "invalid parameter";
    case FT_INVALID_BAUD_RATE: return "invalid baud rate";
    default: return "device error";
    }
}

bool PedalInfo::isPedal() const { return description == PedalLink::pedalDescription; }

// The diagnostic texts of one reading operation.
struct PedalLink::ReplyTexts {
    const char* name;
    const char* writeFailed;
    const char* writeOk;
    const char* timeout;
    const char* readFailed;
    const char* readOk;
};

PedalLink::PedalLink()
    : timer{0, 0}, handle(nullptr), status(0), byteCount(0), presetAddress{}, serialNumber{}, deviceCount(0),
      buffer_{}, sink_(toStdout) {
    for (int i = 0; i < PresetSlots; ++i) presetAddress[i] = readPresetCommand(i);
}

PedalLink::~PedalLink() { closeDevice(); }

void PedalLink::keepClaim(bool keep) { ftdi::backend().claim(keep); }

LinkResult& PedalLink::failedOpen(const char* what) {
    openProblem_ = ftdi::backend().openProblem();
    if (openProblem_.empty()) return failedStatus(what);
    return done(static_cast<int>(status), std::string(what) + " failed: " + openProblem_);
}

bool PedalLink::lateReplyPending() const { return lateUntil_ != 0 && monotonicMs() < lateUntil_; }

void PedalLink::awaitLateReply() {
    if (!lateReplyPending()) {
        lateUntil_ = 0;
        return;
    }
    // Watched on the open device, the wait ends soon after the late bytes.
    closeDevice();
    if (FT_OpenEx(serialNumber[0], FT_OPEN_BY_SERIAL_NUMBER, &handle) == FT_OK && handle) {
        settle();
        closeDevice();
    } else {
        handle = nullptr;
        restMs(static_cast<long>(lateUntil_ - monotonicMs()));
    }
    lateUntil_ = 0;
}

void PedalLink::settle() {
    if (!lateReplyPending()) {
        lateUntil_ = 0;
        return;
    }
    // Wait for the late bytes; once some came and the line has been quiet
    // for a moment, the reply is over. Either way they are dropped.
    const int64_t quietMs = 100;
    int64_t lastSeen = 0;
    DWORD seen = 0;
    for (;;) {
        DWORD q = 0;
        if (FT_GetQueueStatus(handle, &q) != FT_OK) break;
        int64_t now = monotonicMs();
        if (q != seen) {
            seen = q;
            lastSeen = now;
        }
        if (now >= lateUntil_ || (seen > 0 && now - lastSeen >= quietMs)) break;
        if (idle_) idle_();
        ftdi::waitForData(handle, pollSliceMs);
    }
    if (seen > 0) FT_Purge(handle, FT_PURGE_RX);
    lateUntil_ = 0;
}

void PedalLink::toStdout(const char* text) { std::fputs(text, stdout); }

PedalLink::Sink PedalLink::quiet() {
    return [](const char*) {};
}

void PedalLink::say(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (sink_) sink_(text);
}

void PedalLink::report(float percent, const char* label) {
    if (progress_) progress_(percent, label);
}

LinkResult& PedalLink::done(int code, std::string text) {
    last_.code = code;
    last_.text = code == 0 ? std::string() : std::move(text);
    return last_;
}

LinkResult& PedalLink::failedStatus(const char* what) {
    return done(static_cast<int>(status), std::string(what) + " failed: " + statusText(status));
}

LinkResult& PedalLink::failedCount(const char* what, uint32_t moved, uint32_t wanted, const char* verb) {
    if (status != FT_OK) return failedStatus(what);
    return done(resultOf(status, moved), std::string(what) + " failed: " + std::to_string(moved) + " of " +
                                             std::to_string(wanted) + " bytes " + verb);
}

std::vector<PedalInfo> PedalLink::listDevices() {
    std::vector<PedalInfo> found;
    DWORD count = 0;
    if (FT_CreateDeviceInfoList(&count) != FT_OK) return found;
    for (DWORD i = 0; i < count; ++i) {
        DWORD flags, type, id, location;
        char serial[ftdi::serialBufferSize] = {0};
        char description[64] = {0};
        FT_HANDLE ignored = nullptr;
        if (FT_GetDeviceInfoDetail(i, &flags, &type, &id, &location, serial, description, &ignored) != FT_OK)
            continue;
        found.push_back({serial, description, ftdi::backend().portName(i)});
    }
    return found;
}

bool PedalLink::selectSerial(const std::string& serial) {
    if (serial.empty()) return false;
    size_t n = serial.size() < sizeof serialNumber[0] - 1 ? serial.size() : sizeof serialNumber[0] - 1;
    std::memcpy(serialNumber[0], serial.data(), n);
    serialNumber[0][n] = 0;
    if (deviceCount == 0) deviceCount = 1;
    return true;
}

void PedalLink::closeDevice() {
    if (handle) FT_Close(handle);
    handle = nullptr;
}

bool PedalLink::openBySerial(bool quietError) {
    closeDevice();
    status = FT_OpenEx(serialNumber[0], FT_OPEN_BY_SERIAL_NUMBER, &handle);
    if (status == FT_OK && !handle) status = FT_INVALID_HANDLE;
    if (status != FT_OK) {
        handle = nullptr;
        deviceCount = 0;
        if (quietError)
            say("Device FAILED to open. \n");
        else
            say("Device FAILED to open, error code : %d \n\n", static_cast<int>(status));
        failedOpen("Opening the pedal");
        if (!openProblem_.empty()) say("%s.\n", openProblem_.c_str());
        return false;
    }
    openProblem_.clear();
    say("Device opened. \n");
    settle();
    return true;
}

bool PedalLink::purge() {
    status = FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX);
    return status == FT_OK;
}

int PedalLink::resultOf(FT_STATUS st, uint32_t moved) const {
    if (st != FT_OK) return static_cast<int>(st);
    return moved > 0 ? static_cast<int>(moved) : NothingMoved;
}

bool PedalLink::writeAll(const void* data, uint32_t n, const char* what, const char* failedText,
                         const char* countText) {
    byteCount = 0;
    DWORD written = 0;
    status = FT_Write(handle, const_cast<void*>(data), n, &written);
    byteCount = written;
    if (status == FT_OK && byteCount == n) return true;
    failedCount(what, byteCount, n, "written");
    say(failedText, static_cast<int>(status));
    say(countText, static_cast<int>(byteCount));
    purge();
    closeDevice();
    return false;
}

void PedalLink::pause(double seconds) {
    timer[0] = monotonicMs();
    long ms = static_cast<long>(seconds * 1000.0 + 0.999);
    restMs(ms);
    timer[1] = monotonicMs();
}

bool PedalLink::waitForReply(uint32_t wanted, int limitSeconds, uint32_t& queued) {
    timer[1] = 0;
    queued = 0;
    timer[0] = monotonicMs();
    const int64_t limitMs = static_cast<int64_t>(limitSeconds) * 1000;
    for (;;) {
        DWORD q = 0;
        status = FT_GetQueueStatus(handle, &q);
        if (status == FT_OK) queued = q;
        if (queued >= wanted) return true;
        timer[1] = monotonicMs();
        if (timer[1] - timer[0] > limitMs) {
            // A reply complete right at the limit is still taken.
            status = FT_GetQueueStatus(handle, &q);
            if (status == FT_OK) queued = q;
            return queued >= wanted;
        }
        if (idle_) idle_();
        ftdi::waitForData(handle, pollSliceMs);
    }
}

bool PedalLink::receive(uint32_t size, int limitSeconds, const char* what, int timeoutCode, const char* timeoutText,
                        const char* readFailedText) {
    uint32_t queued = 0;
    if (!waitForReply(size, limitSeconds, queued)) {
        int code = timeoutCode ? timeoutCode : queued > 0 ? static_cast<int>(queued) : NothingArrived;
        // A bridge that kept the command in its transmit queue never gave
        // the pedal anything to answer: say so, rather than blame the reply.
        DWORD rx = 0, tx = 0, events = 0;
        FT_STATUS st = FT_GetStatus(handle, &rx, &tx, &events);
        if (st == FT_OK && tx > 0 && queued == 0) {
            done(code, std::string(what) + " failed: the pedal took nothing (" + std::to_string(tx) +
                           (tx == 1 ? " byte" : " bytes") + " still waiting to be sent)");
        } else {
            done(code, std::string(what) + " timed out: " + std::to_string(queued) + " of " + std::to_string(size) +
                           " bytes received");
            lateUntil_ = monotonicMs() + LateReplyMs;
            ftdi::backend().noteLateReply(handle, LateReplyMs);
        }
        say("%s", timeoutText);
        say("Number of bytes received : %d \n\n", static_cast<int>(queued));
        purge();
        closeDevice();
        return false;
    }

    byteCount = 0;
    DWORD got = 0;
    status = FT_Read(handle, buffer_, size, &got);
    byteCount = got;
    if (status == FT_OK && byteCount == size) return true;
    failedCount(what, byteCount, size, "read");
    say(readFailedText, static_cast<int>(status));
    say("Number of bytes read : %d \n\n", static_cast<int>(byteCount));
    return false;
}

LinkResult PedalLink::openByDescription() {
    closeDevice();
    status = FT_OpenEx(const_cast<char*>(pedalDescription), FT_OPEN_BY_DESCRIPTION, &handle);
    if (status == FT_OK && !handle) status = FT_INVALID_HANDLE;
    if (status != FT_OK) {
        handle = nullptr;
        say("FT_OpenEx (open by description) FAILED. Error code %d\n", static_cast<int>(status));
        failedOpen("Finding the pedal");
        if (!openProblem_.empty()) say("%s.\n", openProblem_.c_str());
        return last_;
    }
    openProblem_.clear();
    say("FT_OpenEx (open by description) successful. \n");
    FT_HANDLE opened = handle;
    bool openedClosed = false;

    DWORD count = 0;
    status = FT_CreateDeviceInfoList(&count);
    deviceCount = count;
    for (DWORD i = 0; i < deviceCount; ++i) {
        DWORD flags, type, id, location;
        char serial[ftdi::serialBufferSize] = {0};
        char description[64] = {0};
        FT_STATUS st = FT_GetDeviceInfoDetail(i, &flags, &type, &id, &location, serial, description, &handle);
        status = st;
        // Only two slots exist; a longer serial number is cut to the 11
        // characters a slot holds, always NUL-terminated.
        if (i < 2) {
            size_t n = strnlen(serial, sizeof serialNumber[i] - 1);
            std::memcpy(serialNumber[i], serial, n);
            serialNumber[i][n] = 0;
        }
        if (st == FT_OK && std::strcmp(description, pedalDescription) == 0) {
            FT_STATUS a = FT_SetUSBParameters(handle, 512, 0);
            FT_STATUS b = FT_SetTimeouts(handle, 500, 1000);
            FT_STATUS c = FT_SetBaudRate(handle, 115200);
            FT_STATUS d = FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX);
            status = d;
            if (a == FT_OK && b == FT_OK && c == FT_OK && d == FT_OK)
                say("USB Parameters, Timeouts, and Baud-rate setups successful. \n");
            else
                say("USB Parameters, Timeouts, and Baud-rate setups FAILED. \n");
            if (handle) {
                if (handle == opened) openedClosed = true;
                FT_Close(handle);
            }
        }
        handle = nullptr;
    }
    // The device opened by description stays open only when no entry reported
    // it; close it here rather than leave it held until the next transaction.
    if (!openedClosed) FT_Close(opened);
    handle = nullptr;
    return done(0);
}

LinkResult PedalLink::readReply(uint8_t command, uint32_t size, const ReplyTexts& texts, bool showProgress) {
    if (!openBySerial(false)) return last_;
    if (showProgress) report(15);

    buffer_[0] = command;
    DWORD written = 0;
    status = FT_Write(handle, buffer_, 1, &written);
    byteCount = written;
    if (status != FT_OK) {
        failedStatus(texts.name);
        say(texts.writeFailed, static_cast<int>(status));
        purge();
        closeDevice();
        return last_;
    }
    say(texts.writeOk, static_cast<int>(byteCount));
    if (showProgress) report(45);

    bool ok = receive(size, 1, texts.name, 0, texts.timeout, texts.readFailed);
    if (!ok && !handle) return last_;    // timed out: already purged and closed
    if (ok) {
        say(texts.readOk, static_cast<int>(size));
        if (showProgress) report(75);
    }
    bool purged = purge();
    if (!purged) {
        say("Purging buffers FAILED.\n\n");
        if (ok) failedStatus("Purging the buffers");
    }
    closeDevice();
    if (ok && purged) done(0);
    return last_;
}

LinkResult PedalLink::readAll() {
    static const ReplyTexts texts = {
        "Reading all presets",
        "Write ReadAll command FAILED, error code : %d\n\n",
        "Write ReadAll command sucessful (%d bytes written).\n",
        "ReadAll TIMEOUT. \n\n",
        "ReadAll FAILED, error code : %d \n\n",
        "ReadAll successful (%d bytes read).\n\n",
    };
    return readReply(ReadAll, BankSize, texts, true);
}

LinkResult PedalLink::readPreset(int index) {
    static const ReplyTexts texts = {
        "Reading the preset",
        "Write preset address FAILED, error code : %d\n\n",
        "Write preset address successful (%d bytes written).\n",
        "Read parameters TIMEOUT. \n\n",
        "Read parameters FAILED, error code : %d \n\n",
        "Read parameters successful (%d bytes read).\n\n",
    };
    if (index < 0 || index >= PresetSlots) return done(FT_INVALID_PARAMETER, "No preset " + std::to_string(index + 1));
    return readReply(presetAddress[index], PresetReplySize, texts, true);
}

LinkResult PedalLink::getOneByte(uint8_t command) {
    static const ReplyTexts texts = {
        "Reading one byte",
        "Write 'GetOneByte' command FAILED, error code : %d\n\n",
        "Write 'GetOneByte' command successful (%d bytes written).\n",
        "Get One Byte TIMEOUT. \n\n",
        "Get One Byte FAILED, error code : %d \n\n",
        "Get One Byte successful (%d bytes read).\n\n",
    };
    return readReply(command, OneByteReplySize, texts, false);
}

LinkResult PedalLink::storePreset(int index, const uint8_t* params, const uint8_t* title, const uint8_t* image) {
    storeReached_ = false;
    if (index < 0 || index >= PresetSlots) return done(FT_INVALID_PARAMETER, "No preset " + std::to_string(index + 1));
    if (!openBySerial(false)) return last_;
    report(5, "w o r k i n g ...");

    buffer_[0] = presetAddress[index] | StorePreset;
    std::memcpy(buffer_ + 1, params, RecordSize);
    std::memcpy(buffer_ + 1 + RecordSize, title, TitleSize);
    bool headerSent = writeAll(buffer_, StoreHeaderSize, "Sending the record and title",
                               "Sending parameters data FAILED, error code : %d \n", getWrittenText);
    storeReached_ = byteCount > 0;     // even a part of the header may start a store
    if (!headerSent) return last_;
    say("Sending parameters & title data successful (%d bytes written).\n", static_cast<int>(StoreHeaderSize));
    report(25);

    // The pedal must have taken the whole header before the image follows.
    DWORD pending = 1;
    timer[0] = monotonicMs();
    timer[1] = 0;
    for (;;) {
        DWORD rx = 0, tx = 0, events = 0;
        status = FT_GetStatus(handle, &rx, &tx, &events);
        pending = tx;
        if (pending == 0) break;
        timer[1] = monotonicMs();
        if (timer[1] - timer[0] > 1000) break;
        if (idle_) idle_();
        restMs(2);
    }
    if (pending > 0) {
        done(StoreTimeout, "The pedal did not take the record and title in time: " +
                               std::to_string(StoreHeaderSize - pending) + " of 25 bytes taken");
        say("Waiting for pedal to receive transmitted parameters & title data TIMEOUT. \n\n");
        say("Number of transmitted bytes get read : %d \n\n", static_cast<int>(StoreHeaderSize) - static_cast<int>(pending));
        purge();
        closeDevice();
        return last_;
    }

    pause(0.1);     // the pedal settles before the image; no idle step meanwhile

    if (!writeAll(image, ImageSize, "Sending the image", "Write Data (Store) FAILED, error code : %d \n",
                  writtenText))
        return last_;
    say("Write Data (Store) successful (%d bytes written).\n", static_cast<int>(ImageSize));
    report(50);

    bool read = receive(ImageSize, 2, "Reading back the image", StoreTimeout, "Read Back (verification) TIMEOUT. \n\n",
                        "Read Back FAILED, error code : %d \n");
    if (read) {
        say("Read Back successful (%d bytes read).\n\n", static_cast<int>(ImageSize));
        report(75);
    }
    closeDevice();
    return read ? done(0) : last_;
}

LinkResult PedalLink::writePreview(const uint8_t* image) {
    if (!openBySerial(true)) return last_;
    if (!writeAll(image, ImageSize, "Sending the preview", "Write Data (Preview) FAILED, error code : %d \n",
                  writtenText))
        return last_;
    say("Write Data (Preview) successful (%d bytes written).\n", static_cast<int>(ImageSize));
    say("Verification is not done.\n\n");
    closeDevice();
    return done(0);
}

LinkResult PedalLink::oneByte(uint8_t command, uint8_t value) {
    if (!openBySerial(false)) return last_;
    buffer_[0] = command;
    buffer_[1] = value;
    if (!writeAll(buffer_, 2, "Sending the command", "Write 'OneByte' command FAILED, error code : %d \n",
                  getWrittenText))
        return last_;
    say("Write 'OneByte' command sucessful (%d bytes written).\n", 2);
    closeDevice();
    return done(0);
}

LinkResult PedalLink::writePage(unsigned address, const uint8_t* page) {
    if (!openBySerial(false)) return last_;
    buffer_[0] = WritePage;
    buffer_[1] = static_cast<uint8_t>(address & 0xFF);
    buffer_[2] = static_cast<uint8_t>((address >> 8) & 0xFF);
    std::memcpy(buffer_ + 3, page, PageSize);
    if (!writeAll(buffer_, PageMessageSize, "Sending the page", "Sending page data FAILED, error code : %d \n",
                  getWrittenText))
        return last_;
    say("Sending page data successful (%d bytes written).\n", static_cast<int>(PageMessageSize));

    bool read = receive(PageSize, 1, "Reading back the page", 0, "Reading back verification status TIMEOUT. \n\n",
                        "Reading back page data FAILED, error code : %d \n");
    if (read) say("Reading back page data successful (%d bytes read).\n\n", static_cast<int>(PageSize));
    closeDevice();
    return read ? done(0) : last_;
}

PedalLink::SendOutcome PedalLink::sendOneMessage(uint8_t value) {
    if (!openBySerial(false)) return NotOpened;
    buffer_[0] = value;
    if (!writeAll(buffer_, 1, "Sending the message", "Write 'Send One Message' command FAILED, error code : %d \n",
                  getWrittenText))
        return NotWritten;
    say("Write 'Send One Message' command sucessful (%d bytes written).\n", 1);
    closeDevice();
    done(0);
    return Written;
}
