// The toolkit-free link: what a program without a window relies on (device
// list, choice of pedal, quiet diagnostics, the idle step, results with their
// text).
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "link/FakeFtdi.h"
#include "link/PedalLink.h"

namespace {

using Bytes = std::vector<uint8_t>;

class FakeLinkTest : public ::testing::Test {
protected:
    FakeLinkTest() : scope(fake) {
        fake.devices = {{"Kestrova Drevani", "FT000001"}};
        link.selectSerial("FT000001");
    }
    ftdi::FakeFtdi fake;
    ftdi::ScopedBackend scope;
    PedalLink link;
};

}  // namespace

// Diagnostics go to the sink with the text standard output gets by default;
// the idle step runs while a reply is awaited, never during the fixed pause.
TEST_F(FakeLinkTest, SinkGetsTheStdoutTextAndTheIdleStepRunsWhileWaiting) {
    Bytes bank(192, 0x3C);
    fake.responder = [bank](const Bytes& w) { return w[0] == protocol::ReadAll ? bank : Bytes(); };
    fake.replyDelay = 0.05;

    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(link.readAll().ok());
    std::string printed = ::testing::internal::GetCapturedStdout();

    std::string sunk;
    int idles = 0;
    std::vector<float> progress;
    link.setSink([&sunk](const char* text) { sunk += text; });
    link.setIdleStep([&idles] { ++idles; });
    link.setProgress([&progress](float p, const char*) { progress.push_back(p); });
    ::testing::internal::CaptureStdout();
    LinkResult r = link.readAll();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r.text.empty());
    EXPECT_EQ(sunk, printed);
    EXPECT_FALSE(sunk.empty());
    EXPECT_GT(idles, 0);
    EXPECT_EQ(progress, (std::vector<float>{15, 45, 75}));
    EXPECT_EQ(Bytes(link.reply(), link.reply() + 192), bank);

    idles = 0;
    link.pause(0.02);
    EXPECT_EQ(idles, 0);
}

// Every failure has a non-zero code and a text saying what failed.
TEST_F(FakeLinkTest, ResultsCarryTheirCodeAndText) {
    link.setSink(PedalLink::quiet());
    LinkResult timeout = link.getOneByte(protocol::GetStatus);     // nobody answers
    EXPECT_EQ(timeout.code, PedalLink::NothingArrived);
    EXPECT_NE(timeout.text.find("timed out"), std::string::npos) << timeout.text;

    fake.writeLimit = 10;
    Bytes image(512, 7);
    LinkResult shortWrite = link.writePreview(image.data());
    EXPECT_EQ(shortWrite.code, 10);
    EXPECT_NE(shortWrite.text.find("10 of 512"), std::string::npos) << shortWrite.text;
    fake.writeLimit = -1;

    fake.openStatus = FT_DEVICE_NOT_FOUND;
    LinkResult missing = link.readPreset(2);
    EXPECT_EQ(missing.code, FT_DEVICE_NOT_FOUND);
    EXPECT_NE(missing.text.find(statusText(FT_DEVICE_NOT_FOUND)), std::string::npos) << missing.text;
    EXPECT_EQ(link.lastResult().code, missing.code);

    EXPECT_EQ(link.storePreset(8, image.data(), image.data(), image.data()).code, FT_INVALID_PARAMETER);
    EXPECT_FALSE(link.selectSerial(""));
}
