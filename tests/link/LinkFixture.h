// A link wired to the fake backend, with one pedal attached and stdout captured.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/support/link/FakeBackend.h"
#include "link/OV_UsbController.h"

// Google Test prints a failure on standard output at once; while a test
// captures standard output (the link's diagnostics) the text would go into
// the capture and be lost. Failures made meanwhile go to standard error too.
class FailuresWhileCapturing : public ::testing::EmptyTestEventListener {
public:
    static inline bool capturing = false;
    void OnTestPartResult(const ::testing::TestPartResult& result) override {
        if (!capturing || !result.failed()) return;
        std::fprintf(stderr, "%s:%d: Failure (while standard output was captured)\n%s\n",
                     result.file_name() ? result.file_name() : "unknown file", result.line_number(),
                     result.message());
    }
};

class LinkTest : public ::testing::Test {
protected:
    using Bytes = serialport::FakeBackend::Bytes;

    LinkTest() : scope(fake), usb(415, 445, 200, 24) {
        static bool listening = false;
        if (!listening) {
            ::testing::UnitTest::GetInstance()->listeners().Append(new FailuresWhileCapturing);
            listening = true;
        }
        fake.devices = {{"Kestrova Drevani", "FT000001"}};
        for (int i = 0; i < 8; ++i) usb.presetAddress[i] = static_cast<uint8_t>(2 * i);
        std::strcpy(usb.serialNumber[0], "FT000001");
        usb.deviceCount = 1;
    }

    // Answers every write whose first byte is `command` with `reply`.
    void answer(uint8_t command, Bytes reply) {
        fake.responder = [command, reply](const Bytes& w) { return w[0] == command ? reply : Bytes(); };
    }
    // Echoes every 512-byte write, as the pedal does with a stored image.
    void echoImages() {
        fake.responder = [](const Bytes& w) { return w.size() == 512 ? w : Bytes(); };
    }

    void capture() {
        ::testing::internal::CaptureStdout();
        FailuresWhileCapturing::capturing = true;
    }
    std::string captured() {
        FailuresWhileCapturing::capturing = false;
        return ::testing::internal::GetCapturedStdout();
    }
    // A test that stopped at a fatal failure gives standard output back here.
    void TearDown() override {
        if (FailuresWhileCapturing::capturing) captured();
    }

    static double seconds(std::chrono::steady_clock::time_point since) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
    }
    static Bytes pattern(size_t n, uint8_t seed) {
        Bytes b(n);
        for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + 7 * i);
        return b;
    }

    serialport::FakeBackend fake;
    serialport::ScopedBackend scope;
    OV_UsbController usb;
};
