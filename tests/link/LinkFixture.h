// A link wired to the fake backend, with one pedal attached and stdout captured.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "link/FakeFtdi.h"
#include "link/OV_UsbController.h"

class LinkTest : public ::testing::Test {
protected:
    using Bytes = ftdi::FakeFtdi::Bytes;

    LinkTest() : scope(fake), usb(415, 445, 200, 24) {
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

    void capture() { ::testing::internal::CaptureStdout(); }
    std::string captured() { return ::testing::internal::GetCapturedStdout(); }

    static double seconds(std::chrono::steady_clock::time_point since) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
    }
    static Bytes pattern(size_t n, uint8_t seed) {
        Bytes b(n);
        for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + 7 * i);
        return b;
    }

    ftdi::FakeFtdi fake;
    ftdi::ScopedBackend scope;
    OV_UsbController usb;
};
