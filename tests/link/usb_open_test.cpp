// Enumeration and the opening frame of every transaction.
#include "tests/link/LinkFixture.h"

TEST_F(LinkTest, TwoPedalsFillBothSlotsAndOnlyTheOpenOneIsSetUp) {
    fake.devices = {{"Kestrova Drevani", "AAA111"}, {"Kestrova Drevani", "BBB222"}};
    std::memset(usb.serialNumber, 'x', sizeof usb.serialNumber);
    capture();
    ASSERT_TRUE(usb.openByDescription());
    EXPECT_EQ(captured(),
              "FT_OpenEx (open by description) successful. \n"
              "USB Parameters, Timeouts, and Baud-rate setups successful. \n"
              "USB Parameters, Timeouts, and Baud-rate setups FAILED. \n");
    EXPECT_EQ(usb.deviceCount, 2u);
    EXPECT_STREQ(usb.serialNumber[0], "AAA111");
    EXPECT_STREQ(usb.serialNumber[1], "BBB222");
    EXPECT_EQ(usb.handle, nullptr);
    EXPECT_EQ(fake.openCount(), 0);
}

TEST_F(LinkTest, OtherDevicesTakeSlotsButGetNoSetup) {
    fake.devices = {{"Some Other Bridge", "OTHER1"}, {"Kestrova Drevani", "PEDAL1"}, {"Third", "THIRD1"}};
    uint8_t addresses[8];
    std::memcpy(addresses, usb.presetAddress, 8);
    capture();
    ASSERT_TRUE(usb.openByDescription());
    EXPECT_EQ(captured(),
              "FT_OpenEx (open by description) successful. \n"
              "USB Parameters, Timeouts, and Baud-rate setups successful. \n");
    EXPECT_EQ(usb.deviceCount, 3u);
    EXPECT_STREQ(usb.serialNumber[0], "OTHER1");
    EXPECT_STREQ(usb.serialNumber[1], "PEDAL1");
    EXPECT_EQ(0, std::memcmp(addresses, usb.presetAddress, 8));   // nothing past the slots written
    EXPECT_EQ(fake.openCount(), 0);                               // the opened pedal was closed
}

TEST_F(LinkTest, NoPedalLeavesSlotsAndCountAlone) {
    fake.devices.clear();
    std::strcpy(usb.serialNumber[1], "KEEP2");
    usb.deviceCount = 2;
    capture();
    EXPECT_FALSE(usb.openByDescription());
    EXPECT_EQ(captured(), "FT_OpenEx (open by description) FAILED. Error code 2\n");
    EXPECT_STREQ(usb.serialNumber[0], "FT000001");
    EXPECT_STREQ(usb.serialNumber[1], "KEEP2");
    EXPECT_EQ(usb.deviceCount, 2u);
}

TEST_F(LinkTest, LongSerialNumberIsCutToElevenCharacters) {
    fake.devices = {{"Kestrova Drevani", "ABCDEFGHIJKLMNO"}};
    capture();
    ASSERT_TRUE(usb.openByDescription());
    captured();
    EXPECT_STREQ(usb.serialNumber[0], "ABCDEFGHIJK");
    EXPECT_EQ(usb.serialNumber[1][0], '\0');
}

TEST_F(LinkTest, FailedSetupPrintsTheFailedLine) {
    fake.setupStatus = FT_IO_ERROR;
    capture();
    EXPECT_TRUE(usb.openByDescription());
    EXPECT_NE(captured().find("setups FAILED. \n"), std::string::npos);
}

TEST_F(LinkTest, FailedOpenZeroesTheDeviceCountInEveryOperation) {
    fake.openStatus = FT_DEVICE_NOT_FOUND;
    uint8_t image[512] = {1};
    uint8_t page[64] = {};
    capture();
    usb.deviceCount = 2;
    EXPECT_FALSE(usb.readAll());
    EXPECT_EQ(usb.deviceCount, 0u);
    usb.deviceCount = 2;
    EXPECT_EQ(usb.storePreset(0, image, image, image), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(usb.deviceCount, 0u);
    usb.deviceCount = 2;
    EXPECT_EQ(usb.writePreview(image), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(usb.deviceCount, 0u);
    EXPECT_EQ(usb.oneByte(0x30, 1), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(usb.writePage(0, page), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(usb.sendOneMessage(0xFF), OV_UsbController::NotOpened);
    std::string out = captured();
    EXPECT_EQ(out.find("Device FAILED to open, error code : 2 \n\n"), 0u);
    EXPECT_NE(out.find("Device FAILED to open. \n"), std::string::npos);   // the preview's own line
    EXPECT_TRUE(fake.writes.empty());
}

TEST_F(LinkTest, TransactionsOpenSlotZeroAndLeaveNothingOpen) {
    std::strcpy(usb.serialNumber[0], "OTHER");
    fake.devices = {{"Kestrova Drevani", "FT000001"}, {"Kestrova Drevani", "OTHER"}};
    answer(0x20, {0x5A});
    capture();
    ASSERT_TRUE(usb.getOneByte(0x20));
    captured();
    EXPECT_EQ(usb.reply()[0], 0x5A);
    EXPECT_EQ(fake.openCount(), 0);
    EXPECT_EQ(usb.handle, nullptr);
}

TEST_F(LinkTest, ProgressBarStartsAsTheWindowShowsIt) {
    EXPECT_STREQ(usb.progress->label(), "- - -");
    EXPECT_EQ(usb.progress->x(), 632);
    EXPECT_EQ(usb.progress->y(), 485);
    EXPECT_EQ(usb.progress->maximum(), 100.f);
    EXPECT_EQ(usb.progress->color(), 0x88888800u);
    EXPECT_EQ(usb.progress->selection_color(), 0x4444ff00u);
    EXPECT_EQ(usb.progress->labelcolor(), FL_WHITE);
}
