#include "link/PedalLink.h"

#include <time.h>

#include <algorithm>
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
      buffer_{}, sink_(stdoutSink) {
    for (int i = 0; i < PresetSlots; ++i) presetAddress[i] = readPresetCommand(i);
}

PedalLink::~PedalLink() { closeDevice(); }

void PedalLink::keepClaim(bool keep) { serialport::backend().claim(keep); }

bool PedalLink::openPort(const char* key, bool byDescription) {
    closeDevice();
    status = serialport::backend().open(key, byDescription, port_, openProblem_);
    if (status == FT_OK && !port_) status = FT_INVALID_HANDLE;
    if (status != FT_OK) port_.reset();
    handle = port_.get();
    return handle != nullptr;
}

LinkResult& PedalLink::failedOpen(const char* what) {
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
    if (openPort(serialNumber[0], false)) {
        settle();
        closeDevice();
    } else {
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
    uint32_t seen = 0;
    for (;;) {
        uint32_t q = 0, tx = 0;
        if (handle->queues(q, tx) != FT_OK) break;
        int64_t now = monotonicMs();
        if (q != seen) {
            seen = q;
            lastSeen = now;
        }
        if (now >= lateUntil_ || (seen > 0 && now - lastSeen >= quietMs)) break;
        if (idle_) idle_();
        handle->waitForData(pollSliceMs);
    }
    if (seen > 0) handle->purge(true, false);
    lateUntil_ = 0;
}

void PedalLink::stdoutSink(const char* text) { std::fputs(text, stdout); }

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
    // As many characters as the pedal's USB strings hold.
    for (const serialport::Device& d : serialport::backend().list())
        found.push_back({d.serial.substr(0, 15), d.description.substr(0, 63), d.port});
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
    port_.reset();
    handle = nullptr;
}

bool PedalLink::openBySerial(bool quietError) {
    if (!openPort(serialNumber[0], false)) {
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
    status = handle->purge(true, true);
    return status == FT_OK;
}

int PedalLink::resultOf(FT_STATUS st, uint32_t moved) const {
    if (st != FT_OK) return static_cast<int>(st);
    return moved > 0 ? static_cast<int>(moved) : NothingMoved;
}

bool PedalLink::writeAll(const void* data, uint32_t n, const char* what, const char* failedText,
                         const char* countText) {
    byteCount = 0;
    uint32_t written = 0;
    status = handle->write(static_cast<const uint8_t*>(data), n, written);
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
        uint32_t q = 0, tx = 0;
        status = handle->queues(q, tx);
        if (status == FT_OK) queued = q;
        if (queued >= wanted) return true;
        timer[1] = monotonicMs();
        if (timer[1] - timer[0] > limitMs) {
            // A reply complete right at the limit is still taken.
            status = handle->queues(q, tx);
            if (status == FT_OK) queued = q;
            return queued >= wanted;
        }
        if (idle_) idle_();
        handle->waitForData(pollSliceMs);
    }
}

bool PedalLink::receive(uint32_t size, int limitSeconds, const char* what, int timeoutCode, const char* timeoutText,
                        const char* readFailedText) {
    uint32_t queued = 0;
    if (!waitForReply(size, limitSeconds, queued)) {
        int code = timeoutCode ? timeoutCode : queued > 0 ? static_cast<int>(queued) : NothingArrived;
        // A bridge that kept the command in its transmit queue never gave
        // the pedal anything to answer: say so, rather than blame the reply.
        uint32_t rx = 0, tx = 0;
        FT_STATUS st = handle->queues(rx, tx);
        if (st == FT_OK && tx > 0 && queued == 0) {
            done(code, std::string(what) + " failed: the pedal took nothing (" + std::to_string(tx) +
                           (tx == 1 ? " byte" : " bytes") + " still waiting to be sent)");
        } else {
            done(code, std::string(what) + " timed out: " + std::to_string(queued) + " of " + std::to_string(size) +
                           " bytes received");
            lateUntil_ = monotonicMs() + LateReplyMs;
            handle->noteLateReply(LateReplyMs);
        }
        say("%s", timeoutText);
        say("Number of bytes received : %d \n\n", static_cast<int>(queued));
        purge();
        closeDevice();
        return false;
    }

    byteCount = 0;
    uint32_t got = 0;
    status = handle->read(buffer_, size, got);
    byteCount = got;
    if (status == FT_OK && byteCount == size) return true;
    failedCount(what, byteCount, size, "read");
    say(readFailedText, static_cast<int>(status));
    say("Number of bytes read : %d \n\n", static_cast<int>(byteCount));
    return false;
}

LinkResult PedalLink::openByDescription() {
    if (!openPort(pedalDescription, true)) {
        say("FT_OpenEx (open by description) FAILED. Error code %d\n", static_cast<int>(status));
        failedOpen("Finding the pedal");
        if (!openProblem_.empty()) say("%s.\n", openProblem_.c_str());
        return last_;
    }
    openProblem_.clear();
    say("FT_OpenEx (open by description) successful. \n");
    const serialport::Device opened = handle->device();

    std::vector<serialport::Device> devices = serialport::backend().list();
    status = FT_OK;
    deviceCount = static_cast<uint32_t>(devices.size());
    for (size_t i = 0; i < devices.size(); ++i) {
        const serialport::Device& d = devices[i];
        // Only two slots exist; a longer serial number is cut to the 11
        // characters a slot holds, always NUL-terminated.
        if (i < 2) {
            size_t n = std::min(d.serial.size(), sizeof serialNumber[i] - 1);
            std::memcpy(serialNumber[i], d.serial.data(), n);
            serialNumber[i][n] = 0;
        }
        if (d.description != pedalDescription) continue;
        // Only the pedal opened is set up; another one listed is not open.
        const bool isOpened = handle && d.serial == opened.serial && d.port == opened.port &&
                              d.description == opened.description;
        const FT_STATUS notOpen = FT_INVALID_HANDLE;
        FT_STATUS setup = isOpened ? handle->setup(115200, 500, 1000) : notOpen;
        status = isOpened ? handle->purge(true, true) : notOpen;
        if (setup == FT_OK && status == FT_OK)
            say("USB Parameters, Timeouts, and Baud-rate setups successful. \n");
        else
            say("USB Parameters, Timeouts, and Baud-rate setups FAILED. \n");
        if (isOpened) closeDevice();
    }
    closeDevice();
    return done(0);
}

LinkResult PedalLink::readReply(uint8_t command, uint32_t size, const ReplyTexts& texts, bool showProgress) {
    if (!openBySerial(false)) return last_;
    if (showProgress) report(15);

    buffer_[0] = command;
    uint32_t written = 0;
    status = handle->write(buffer_, 1, written);
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
    uint32_t pending = 1;
    timer[0] = monotonicMs();
    timer[1] = 0;
    for (;;) {
        uint32_t rx = 0, tx = 0;
        status = handle->queues(rx, tx);
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
