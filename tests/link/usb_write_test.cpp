// The writing operations: storePreset, writePreview, oneByte, writePage, sendOneMessage.
#include "tests/link/LinkFixture.h"

using Clock = std::chrono::steady_clock;

namespace {
const serialport::FakeBackend::Bytes params = {0x21, 3, 23, 31, 31, 200, 200, 0, 100, 125, 50, 50};
const serialport::FakeBackend::Bytes title = {'C', 'l', 'e', 'a', 'n', ' ', 'A', ' ', ' ', ' ', ' ', ' '};
}  // namespace

TEST_F(LinkTest, StoreSendsHeaderThenImageAndKeepsTheEcho) {
    Bytes image = pattern(512, 1);
    echoImages();
    capture();
    auto start = Clock::now();
    EXPECT_EQ(usb.storePreset(5, params.data(), title.data(), image.data()), 0);
    EXPECT_GE(seconds(start), 0.1);     // the pedal's settling pause
    EXPECT_EQ(captured(),
              "Device opened. \n"
              "Sending parameters & title data successful (25 bytes written).\n"
              "Write Data (Store) successful (512 bytes written).\n"
              "Read Back successful (512 bytes read).\n\n");
    ASSERT_EQ(fake.writes.size(), 2u);
    Bytes header = {0x1A};
    header.insert(header.end(), params.begin(), params.end());
    header.insert(header.end(), title.begin(), title.end());
    EXPECT_EQ(fake.writes[0], header);
    EXPECT_EQ(fake.writes[1], image);
    EXPECT_EQ(Bytes(usb.reply(), usb.reply() + 512), image);
    EXPECT_EQ(usb.progress->value(), 75.f);
    EXPECT_STREQ(usb.progress->label(), "w o r k i n g ...");
    EXPECT_EQ(fake.count("purge"), 0);      // a good store closes without purging
}

TEST_F(LinkTest, StoreWithoutEchoReturns100AfterTwoSeconds) {
    Bytes image = pattern(512, 2);
    capture();
    auto start = Clock::now();
    EXPECT_EQ(usb.storePreset(0, params.data(), title.data(), image.data()), 100);
    double took = seconds(start);
    std::string out = captured();
    EXPECT_NE(out.find("Read Back (verification) TIMEOUT. \n\nNumber of bytes received : 0 \n\n"), std::string::npos);
    EXPECT_GT(took, 2.0);
    EXPECT_LE(took, 3.2);
    EXPECT_EQ(fake.writes[0][0], 0x10);
    EXPECT_TRUE(usb.link.storeReachedPedal());      // the pedal may have stored it
}

TEST_F(LinkTest, StoreWhoseTransmitQueueNeverDrainsReturns100) {
    fake.stuckTx = 5;
    Bytes image = pattern(512, 2);
    capture();
    auto start = Clock::now();
    EXPECT_EQ(usb.storePreset(1, params.data(), title.data(), image.data()), 100);
    double took = seconds(start);
    std::string out = captured();
    EXPECT_NE(out.find("Waiting for pedal to receive transmitted parameters & title data TIMEOUT. \n\n"
                       "Number of transmitted bytes get read : 20 \n\n"),
              std::string::npos);
    EXPECT_GT(took, 1.0);
    EXPECT_LE(took, 2.0);
    EXPECT_EQ(fake.writes.size(), 1u);      // the image is never sent
    EXPECT_EQ(fake.count("purge"), 1);
    EXPECT_TRUE(usb.link.storeReachedPedal());      // but the pedal took part of the header
}

TEST_F(LinkTest, StoreShortWritesReturnTheCountOrANonZeroCode) {
    Bytes image = pattern(512, 2);
    capture();
    fake.writeLimit = 10;
    EXPECT_EQ(usb.storePreset(0, params.data(), title.data(), image.data()), 10);
    EXPECT_TRUE(usb.link.storeReachedPedal());
    fake.writeLimit = 0;
    EXPECT_EQ(usb.storePreset(0, params.data(), title.data(), image.data()), OV_UsbController::NothingMoved);
    EXPECT_FALSE(usb.link.storeReachedPedal());     // nothing moved: the preset is untouched
    fake.writeLimit = -1;
    fake.writeStatus = FT_IO_ERROR;
    EXPECT_EQ(usb.storePreset(0, params.data(), title.data(), image.data()), FT_IO_ERROR);
    std::string out = captured();
    EXPECT_NE(out.find("Sending parameters data FAILED, error code : 0 \nNumber of bytes get written : 10 \n\n"),
              std::string::npos);
}

TEST_F(LinkTest, StoreReadBackFailureClosesWithoutPurge) {
    echoImages();
    fake.readLimit = 300;
    Bytes image = pattern(512, 4);
    capture();
    EXPECT_EQ(usb.storePreset(2, params.data(), title.data(), image.data()), 300);
    EXPECT_NE(captured().find("Read Back FAILED, error code : 0 \nNumber of bytes read : 300 \n\n"), std::string::npos);
    EXPECT_EQ(fake.count("purge"), 0);
}

TEST_F(LinkTest, PreviewSendsTheRawImageAndNeverReads) {
    Bytes image = pattern(512, 1);
    capture();
    EXPECT_EQ(usb.writePreview(image.data()), 0);
    EXPECT_EQ(captured(),
              "Device opened. \n"
              "Write Data (Preview) successful (512 bytes written).\n"
              "Verification is not done.\n\n");
    EXPECT_EQ(fake.written(), image);
    EXPECT_EQ(fake.count("read"), 0);
    fake.writeLimit = 0;
    capture();
    EXPECT_EQ(usb.writePreview(image.data()), OV_UsbController::NothingMoved);
    EXPECT_NE(captured().find("Write Data (Preview) FAILED, error code : 0 \nNumber of bytes written : 0 \n\n"),
              std::string::npos);
}

TEST_F(LinkTest, OneByteSendsCommandAndValue) {
    capture();
    EXPECT_EQ(usb.oneByte(0xD0, 150), 0);
    EXPECT_EQ(captured(), "Device opened. \nWrite 'OneByte' command sucessful (2 bytes written).\n");
    EXPECT_EQ(fake.written(), (Bytes{0xD0, 0x96}));
    fake.writeLimit = 1;
    capture();
    EXPECT_EQ(usb.oneByte(0x30, 7), 1);
    EXPECT_NE(captured().find("Write 'OneByte' command FAILED, error code : 0 \nNumber of bytes get written : 1 \n\n"),
              std::string::npos);
}

TEST_F(LinkTest, WritePageSendsTheAddressLowByteFirst) {
    Bytes page = pattern(64, 11);
    fake.responder = [](const Bytes& w) { return Bytes(w.begin() + 3, w.end()); };
    capture();
    EXPECT_EQ(usb.writePage(0x1234, page.data()), 0);
    EXPECT_EQ(captured(),
              "Device opened. \n"
              "Sending page data successful (67 bytes written).\n"
              "Reading back page data successful (64 bytes read).\n\n");
    ASSERT_EQ(fake.writes.size(), 1u);
    EXPECT_EQ(Bytes(fake.writes[0].begin(), fake.writes[0].begin() + 3), (Bytes{0xA0, 0x34, 0x12}));
    EXPECT_EQ(Bytes(usb.reply(), usb.reply() + 64), page);
}

TEST_F(LinkTest, WritePageTimeOutReturnsWhatArrivedNeverZero) {
    Bytes page = pattern(64, 11);
    capture();
    auto start = Clock::now();
    EXPECT_EQ(usb.writePage(0x40, page.data()), OV_UsbController::NothingArrived);
    EXPECT_GT(seconds(start), 1.0);
    fake.responder = [](const Bytes& w) { return Bytes(w.begin() + 3, w.end()); };
    fake.replyCut = 17;
    EXPECT_EQ(usb.writePage(0x40, page.data()), 17);
    std::string out = captured();
    EXPECT_NE(out.find("Reading back verification status TIMEOUT. \n\nNumber of bytes received : 17 \n\n"),
              std::string::npos);
}

TEST_F(LinkTest, SendOneMessageHasThreeOutcomes) {
    capture();
    EXPECT_EQ(usb.sendOneMessage(0xFF), OV_UsbController::Written);
    fake.writeLimit = 0;
    EXPECT_EQ(usb.sendOneMessage(0xFF), OV_UsbController::NotWritten);
    fake.openStatus = FT_DEVICE_NOT_OPENED;
    EXPECT_EQ(usb.sendOneMessage(0xFF), OV_UsbController::NotOpened);
    std::string out = captured();
    EXPECT_NE(out.find("Write 'Send One Message' command sucessful (1 bytes written).\n"), std::string::npos);
    EXPECT_NE(out.find("Write 'Send One Message' command FAILED, error code : 0 \nNumber of bytes get written : 0 \n\n"),
              std::string::npos);
    EXPECT_EQ(fake.written(), Bytes{0xFF});
}
