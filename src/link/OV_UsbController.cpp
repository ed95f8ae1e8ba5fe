#include "link/OV_UsbController.h"

#include <FL/Fl.H>
#include <time.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

const char* const pedalDescription = "Kestrova Drevani";
const int pollSliceMs = 5;      // longest block on the device between two event checks
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

// The diagnostic texts of one reading operation.
struct OV_UsbController::ReplyTexts {
    const char* writeFailed;
    const char* writeOk;
    const char* timeout;
    const char* readFailed;
    const char* readOk;
};

OV_UsbController::OV_UsbController(int x, int y, int w, int h, const char* label)
    : Fl_Group(x, y, w, h, label), progress(nullptr), timer(new int64_t[2]{0, 0}), handle(nullptr),
      status(0), byteCount(0), buffer{}, presetAddress{}, serialNumber{}, deviceCount(0) {
    progress = new Fl_Progress(632, 485, 180, 24, "- - -");
    progress->minimum(0);
    progress->maximum(100);
    progress->color(0x88888800);
    progress->selection_color(progressBlue);
    progress->labelcolor(FL_WHITE);
    progress->labelfont(0);
    end();
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

OV_UsbController::~OV_UsbController() {
    delete[] timer;
    remove(progress);
    delete progress;
}

void OV_UsbController::closeDevice() {
    if (handle) FT_Close(handle);
    handle = nullptr;
}

bool OV_UsbController::openBySerial(bool quietError) {
    closeDevice();
    status = FT_OpenEx(serialNumber[0], FT_OPEN_BY_SERIAL_NUMBER, &handle);
    if (status == FT_OK && !handle) status = FT_INVALID_HANDLE;
    if (status != FT_OK) {
        handle = nullptr;
        deviceCount = 0;
        if (quietError)
            std::printf("Device FAILED to open. \n");
        else
            std::printf("Device FAILED to open, error code : %d \n\n", static_cast<int>(status));
        return false;
    }
    std::printf("Device opened. \n");
    return true;
}

bool OV_UsbController::purge() {
    status = FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX);
    return status == FT_OK;
}

int OV_UsbController::resultOf(FT_STATUS st, uint32_t moved) const {
    if (st != FT_OK) return static_cast<int>(st);
    return moved > 0 ? static_cast<int>(moved) : NothingMoved;
}

int OV_UsbController::writeAll(const void* data, uint32_t n, const char* failedText, const char* countText) {
    byteCount = 0;
    DWORD written = 0;
    status = FT_Write(handle, const_cast<void*>(data), n, &written);
    byteCount = written;
    if (status == FT_OK && byteCount == n) return 0;
    int result = resultOf(status, byteCount);
    std::printf(failedText, static_cast<int>(status));
    std::printf(countText, static_cast<int>(byteCount));
    purge();
    closeDevice();
    return result;
}

void OV_UsbController::setProgress(float value) {
    progress->value(value);
    progress->redraw();
}

void OV_UsbController::pause(double seconds) {
    timer[0] = monotonicMs();
    long ms = static_cast<long>(seconds * 1000.0 + 0.999);
    restMs(ms);
    timer[1] = monotonicMs();
}

bool OV_UsbController::waitForReply(uint32_t wanted, int limitSeconds, uint32_t& queued) {
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
        Fl::check();
        ftdi::waitForData(handle, pollSliceMs);
    }
}

bool OV_UsbController::openByDescription() {
    closeDevice();
    status = FT_OpenEx(const_cast<char*>(pedalDescription), FT_OPEN_BY_DESCRIPTION, &handle);
    if (status == FT_OK && !handle) status = FT_INVALID_HANDLE;
    if (status != FT_OK) {
        handle = nullptr;
        std::printf("FT_OpenEx (open by description) FAILED. Error code %d\n", static_cast<int>(status));
        return false;
    }
    std::printf("FT_OpenEx (open by description) successful. \n");
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
                std::printf("USB Parameters, Timeouts, and Baud-rate setups successful. \n");
            else
                std::printf("USB Parameters, Timeouts, and Baud-rate setups FAILED. \n");
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
    return true;
}

bool OV_UsbController::readReply(uint8_t command, uint32_t size, const ReplyTexts& texts, bool showProgress) {
    if (!openBySerial(false)) return false;
    if (showProgress) setProgress(15);

    buffer[0] = command;
    DWORD written = 0;
    status = FT_Write(handle, buffer, 1, &written);
    byteCount = written;
    if (status != FT_OK) {
        std::printf(texts.writeFailed, static_cast<int>(status));
        purge();
        closeDevice();
        return false;
    }
    std::printf(texts.writeOk, static_cast<int>(byteCount));
    if (showProgress) setProgress(45);

    uint32_t queued = 0;
    if (!waitForReply(size, 1, queued)) {
        std::printf("%s", texts.timeout);
        std::printf("Number of bytes received : %d \n\n", static_cast<int>(queued));
        purge();
        closeDevice();
        return false;
    }

    byteCount = 0;
    DWORD got = 0;
    status = FT_Read(handle, buffer, size, &got);
    byteCount = got;
    bool ok = status == FT_OK && byteCount == size;
    if (!ok) {
        std::printf(texts.readFailed, static_cast<int>(status));
        std::printf("Number of bytes read : %d \n\n", static_cast<int>(byteCount));
    } else {
        std::printf(texts.readOk, static_cast<int>(size));
        if (showProgress) setProgress(75);
    }
    bool purged = purge();
    if (!purged) std::printf("Purging buffers FAILED.\n\n");
    closeDevice();
    return ok && purged;
}

bool OV_UsbController::readAll() {
    static const ReplyTexts texts = {
        "Write ReadAll command FAILED, error code : %d\n\n",
        "Write ReadAll command sucessful (%d bytes written).\n",
        "ReadAll TIMEOUT. \n\n",
        "ReadAll FAILED, error code : %d \n\n",
        "ReadAll successful (%d bytes read).\n\n",
    };
    return readReply(0x40, 192, texts, true);
}

bool OV_UsbController::readPreset(int index) {
    static const ReplyTexts texts = {
        "Write preset address FAILED, error code : %d\n\n",
        "Write preset address successful (%d bytes written).\n",
        "Read parameters TIMEOUT. \n\n",
        "Read parameters FAILED, error code : %d \n\n",
        "Read parameters successful (%d bytes read).\n\n",
    };
    if (index < 0 || index > 7) return false;
    return readReply(presetAddress[index], 24, texts, true);
}

bool OV_UsbController::getOneByte(uint8_t command) {
    static const ReplyTexts texts = {
        "Write 'GetOneByte' command FAILED, error code : %d\n\n",
        "Write 'GetOneByte' command successful (%d bytes written).\n",
        "Get One Byte TIMEOUT. \n\n",
        "Get One Byte FAILED, error code : %d \n\n",
        "Get One Byte successful (%d bytes read).\n\n",
    };
    return readReply(command, 1, texts, false);
}

int OV_UsbController::storePreset(int index, const uint8_t* params, const uint8_t* title, const uint8_t* image) {
    if (index < 0 || index > 7) return FT_INVALID_PARAMETER;
    if (!openBySerial(false)) return static_cast<int>(status);
    progress->value(5);
    progress->label("w o r k i n g ...");
    progress->redraw();
    redraw();

    buffer[0] = presetAddress[index] | 0x10;
    std::memcpy(buffer + 1, params, 12);
    std::memcpy(buffer + 13, title, 12);
    int failed = writeAll(buffer, 25, "Sending parameters data FAILED, error code : %d \n", getWrittenText);
    if (failed) return failed;
    std::printf("Sending parameters & title data successful (%d bytes written).\n", 25);
    setProgress(25);

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
        Fl::check();
        restMs(2);
    }
    if (pending > 0) {
        std::printf("Waiting for pedal to receive transmitted parameters & title data TIMEOUT. \n\n");
        std::printf("Number of transmitted bytes get read : %d \n\n", 25 - static_cast<int>(pending));
        purge();
        closeDevice();
        return StoreTimeout;
    }

    pause(0.1);     // the pedal settles before the image; no events meanwhile

    failed = writeAll(image, 512, "Write Data (Store) FAILED, error code : %d \n", writtenText);
    if (failed) return failed;
    std::printf("Write Data (Store) successful (%d bytes written).\n", 512);
    setProgress(50);

    uint32_t queued = 0;
    if (!waitForReply(512, 2, queued)) {
        std::printf("Read Back (verification) TIMEOUT. \n\n");
        std::printf("Number of bytes received : %d \n\n", static_cast<int>(queued));
        purge();
        closeDevice();
        return StoreTimeout;
    }

    byteCount = 0;
    DWORD got = 0;
    status = FT_Read(handle, buffer, 512, &got);
    byteCount = got;
    if (status == FT_OK && byteCount == 512) {
        std::printf("Read Back successful (%d bytes read).\n\n", 512);
        setProgress(75);
        closeDevice();
        return 0;
    }
    int result = resultOf(status, byteCount);
    std::printf("Read Back FAILED, error code : %d \n", static_cast<int>(status));
    std::printf("Number of bytes read : %d \n\n", static_cast<int>(byteCount));
    closeDevice();
    return result;
}

int OV_UsbController::writePreview(const uint8_t* image) {
    if (!openBySerial(true)) return static_cast<int>(status);
    int failed = writeAll(image, 512, "Write Data (Preview) FAILED, error code : %d \n", writtenText);
    if (failed) return failed;
    std::printf("Write Data (Preview) successful (%d bytes written).\n", 512);
    std::printf("Verification is not done.\n\n");
    closeDevice();
    return 0;
}

int OV_UsbController::oneByte(uint8_t command, uint8_t value) {
    if (!openBySerial(false)) return static_cast<int>(status);
    buffer[0] = command;
    buffer[1] = value;
    int failed = writeAll(buffer, 2, "Write 'OneByte' command FAILED, error code : %d \n", getWrittenText);
    if (failed) return failed;
    std::printf("Write 'OneByte' command sucessful (%d bytes written).\n", 2);
    closeDevice();
    return 0;
}

int OV_UsbController::writePage(unsigned address, const uint8_t* page) {
    if (!openBySerial(false)) return static_cast<int>(status);
    buffer[0] = 0xA0;
    buffer[1] = static_cast<uint8_t>(address & 0xFF);
    buffer[2] = static_cast<uint8_t>((address >> 8) & 0xFF);
    std::memcpy(buffer + 3, page, 64);
    int failed = writeAll(buffer, 67, "Sending page data FAILED, error code : %d \n", getWrittenText);
    if (failed) return failed;
    std::printf("Sending page data successful (%d bytes written).\n", 67);

    uint32_t queued = 0;
    if (!waitForReply(64, 1, queued)) {
        std::printf("Reading back verification status TIMEOUT. \n\n");
        std::printf("Number of bytes received : %d \n\n", static_cast<int>(queued));
        purge();
        closeDevice();
        return queued > 0 ? static_cast<int>(queued) : NothingArrived;
    }

    byteCount = 0;
    DWORD got = 0;
    status = FT_Read(handle, buffer, 64, &got);
    byteCount = got;
    if (status == FT_OK && byteCount == 64) {
        std::printf("Reading back page data successful (%d bytes read).\n\n", 64);
        closeDevice();
        return 0;
    }
    int result = resultOf(status, byteCount);
    std::printf("Reading back page data FAILED, error code : %d \n", static_cast<int>(status));
    std::printf("Number of bytes read : %d \n\n", static_cast<int>(byteCount));
    closeDevice();
    return result;
}

OV_UsbController::SendOutcome OV_UsbController::sendOneMessage(uint8_t value) {
    if (!openBySerial(false)) return NotOpened;
    buffer[0] = value;
    if (writeAll(buffer, 1, "Write 'Send One Message' command FAILED, error code : %d \n", getWrittenText))
        return NotWritten;
    std::printf("Write 'Send One Message' command sucessful (%d bytes written).\n", 1);
    closeDevice();
    return Written;
}
