// The toolkit-free link: what a program without a window relies on (device
// list, choice of pedal, quiet diagnostics, the idle step, results with their
// text), and the preset transfer over it against virtual pedals.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/pedal/TestPedal.h"
#include "tests/support/link/FakeBackend.h"
#include "link/PedalLink.h"
#include "maintenance/FirmwareTransfer.h"
#include "presets/PresetTransfer.h"

namespace {

using Bytes = std::vector<uint8_t>;

class FakeLinkTest : public ::testing::Test {
protected:
    FakeLinkTest() : scope(fake) {
        fake.devices = {{"Kestrova Drevani", "FT000001"}};
        link.selectSerial("FT000001");
    }
    serialport::FakeBackend fake;
    serialport::ScopedBackend scope;
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

// What a command-line librarian does: list the pedals, pick one by serial
// number, restore a bank with the verified transfer, all without a word on
// standard output; the store retried once after a corrupted echo.
TEST(PedalLinkEndToEnd, ListPickAndRestoreQuietly) {
    testpedal::PedalFolder folder;
    testpedal::PedalOptions first, second;
    first.serial = "VP000001";
    second.serial = "VP000002";
    second.faults = {"corrupt-echo"};
    testpedal::VirtualPedal one(folder, first), two(folder, second);
    std::string error;
    ASSERT_TRUE(one.start(&error)) << error;
    ASSERT_TRUE(two.start(&error)) << error;

    std::vector<PedalInfo> found = PedalLink::listDevices();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].serial, "VP000001");
    EXPECT_EQ(found[1].serial, "VP000002");
    for (const PedalInfo& p : found) {
        EXPECT_TRUE(p.isPedal());
        EXPECT_EQ(p.port.rfind("/dev/", 0), 0u) << p.port;
    }

    uint8_t bank[192];
    for (int i = 0; i < 192; ++i) bank[i] = static_cast<uint8_t>(i < 96 ? i % 50 : 'a' + i % 26);
    auto compose = [](int index, const uint8_t* rec, uint8_t* record, uint8_t* image) {
        std::memcpy(record, rec, 12);
        for (int i = 0; i < 512; ++i) image[i] = static_cast<uint8_t>(index + 3 * i);
    };
    int done = 0;
    std::string notes;

    ::testing::internal::CaptureStdout();
    PedalLink link;
    link.setSink(PedalLink::quiet());
    ASSERT_TRUE(link.selectSerial(found[1].serial));
    presettransfer::PedalPresetLink presets(link);
    presettransfer::Outcome o = presettransfer::restoreBank(
        presets, bank, compose, [&done](int n) { done = n; }, [&notes](const char* t) { notes += t; });
    LinkResult status = link.getOneByte(protocol::GetStatus);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

    ASSERT_TRUE(o.ok()) << o.text();
    EXPECT_EQ(done, 8);
    EXPECT_EQ(notes, "--> Auto-retry triggered.\n");
    ASSERT_TRUE(status.ok()) << status.text;
    EXPECT_TRUE(link.reply()[0] & protocol::StatusRunning);

    PedalState state;
    ASSERT_TRUE(two.state(state));
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(0, std::memcmp(state.presets[i].params, bank + 12 * i, 12)) << i;
        EXPECT_EQ(0, std::memcmp(state.presets[i].title, bank + 96 + 12 * i, 12)) << i;
        EXPECT_EQ(state.presets[i].image[1], static_cast<uint8_t>(i + 3)) << i;
    }
    EXPECT_TRUE(one.commands().empty());
}

// The firmware update without the toolkit: pages verified, version sent, resume.
TEST(PedalLinkEndToEnd, UpdatesAPedalWaitingForFirmware) {
    testpedal::PedalFolder folder;
    testpedal::PedalOptions options;
    options.updateMode = true;
    testpedal::VirtualPedal pedal(folder, options);
    std::string error;
    ASSERT_TRUE(pedal.start(&error)) << error;

    PedalLink link;
    link.setSink(PedalLink::quiet());
    std::vector<PedalInfo> found = PedalLink::listDevices();
    ASSERT_EQ(found.size(), 1u);
    ASSERT_TRUE(link.selectSerial(found[0].serial));
    ASSERT_TRUE(link.getOneByte(protocol::GetStatus).ok());
    EXPECT_FALSE(link.reply()[0] & protocol::StatusRunning);

    std::vector<uint8_t> payload(64 * 5 + 10);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 13);
    firmware::PedalPageLink pages(link);
    std::vector<float> shares;
    firmware::Outcome o = firmware::sendFirmware(pages, payload, 0x23, [&shares](float p) { shares.push_back(p); });
    EXPECT_EQ(o.kind, firmware::Outcome::Complete);
    EXPECT_EQ(o.pagesVerified, 6);
    EXPECT_EQ(shares.size(), 6u);
    EXPECT_EQ(link.sendOneMessage(protocol::Resume), PedalLink::Written);

    pedal.waitForCommands(9);     // status, six pages, version, resume
    PedalState state;
    ASSERT_TRUE(pedal.state(state));
    EXPECT_EQ(state.pagesReceived, 6);
    EXPECT_EQ(state.firmwareVersion, 0x23);
    EXPECT_FALSE(state.updateMode);
}

// A reply that arrives after its time-out, within one program (the editor):
// the next command waits for it and drops it instead of taking it for its own.
TEST(PedalLinkEndToEnd, ALateReplyIsDroppedNotTakenForTheNextOne) {
    testpedal::PedalFolder folder;
    testpedal::VirtualPedal pedal(folder);
    std::string error;
    ASSERT_TRUE(pedal.start(&error)) << error;
    PedalLink link;
    link.setSink(PedalLink::quiet());
    ASSERT_TRUE(link.selectSerial(pedal.serial()));
    ASSERT_TRUE(link.getOneByte(protocol::GetStatus).ok());
    const uint8_t status = link.reply()[0];
    ASSERT_TRUE(link.oneByte(protocol::SetConfig, 0x9A).ok());

    ASSERT_TRUE(pedal.setFaults({"slow-reply=1.5"}));
    LinkResult late = link.getOneByte(protocol::GetConfig);
    EXPECT_FALSE(late.ok());
    EXPECT_TRUE(link.lateReplyPending());
    // Cleared without waiting for the pedal, which still sleeps over its reply.
    std::FILE* faults = std::fopen((pedal.registration() + ".faults").c_str(), "w");
    ASSERT_NE(faults, nullptr);
    std::fclose(faults);
    LinkResult next = link.getOneByte(protocol::GetStatus);
    ASSERT_TRUE(next.ok()) << next.text;
    EXPECT_EQ(link.reply()[0], status);
    ASSERT_TRUE(link.getOneByte(protocol::GetConfig).ok());
    EXPECT_EQ(link.reply()[0], 0x9A);
}
