// The reading operations: readAll, readPreset, getOneByte, and their waits.
#include "tests/link/LinkFixture.h"

using Clock = std::chrono::steady_clock;

TEST_F(LinkTest, ReadAllTakesTheBankAndPurges) {
    Bytes bank = pattern(192, 3);
    answer(0x40, bank);
    capture();
    ASSERT_TRUE(usb.readAll());
    EXPECT_EQ(captured(),
              "Device opened. \n"
              "Write ReadAll command sucessful (1 bytes written).\n"
              "ReadAll successful (192 bytes read).\n\n");
    EXPECT_EQ(Bytes(usb.reply(), usb.reply() + 192), bank);
    EXPECT_EQ(fake.written(), Bytes{0x40});
    EXPECT_EQ(usb.progress->value(), 75.f);
    ASSERT_GE(fake.calls.size(), 2u);
    EXPECT_EQ(fake.calls[fake.calls.size() - 2], "purge");
    EXPECT_EQ(fake.calls.back(), "close");
}

TEST_F(LinkTest, ReadPresetSendsTheAddressOfItsIndex) {
    Bytes record = pattern(24, 9);
    answer(0x06, record);
    capture();
    ASSERT_TRUE(usb.readPreset(3));
    EXPECT_EQ(captured(),
              "Device opened. \n"
              "Write preset address successful (1 bytes written).\n"
              "Read parameters successful (24 bytes read).\n\n");
    EXPECT_EQ(fake.written(), Bytes{0x06});
    EXPECT_EQ(Bytes(usb.reply(), usb.reply() + 24), record);
    EXPECT_FALSE(usb.readPreset(8));    // no such preset: nothing sent
    EXPECT_EQ(fake.writes.size(), 1u);
}

TEST_F(LinkTest, WriteErrorStatusFailsWithoutWaiting) {
    fake.writeStatus = FT_IO_ERROR;
    capture();
    EXPECT_FALSE(usb.getOneByte(0x50));
    EXPECT_EQ(captured(), "Device opened. \nWrite 'GetOneByte' command FAILED, error code : 4\n\n");
    EXPECT_EQ(fake.count("purge"), 1);
    EXPECT_EQ(fake.count("read"), 0);
}

TEST_F(LinkTest, ShortReadWithOkStatusIsAFailure) {
    answer(0x40, pattern(192, 1));
    fake.readLimit = 150;
    capture();
    EXPECT_FALSE(usb.readAll());
    std::string out = captured();
    EXPECT_NE(out.find("ReadAll FAILED, error code : 0 \n\nNumber of bytes read : 150 \n\n"), std::string::npos);
    EXPECT_EQ(fake.count("purge"), 1);
}

TEST_F(LinkTest, ReadErrorStatusIsAFailure) {
    answer(0x50, {0xA5});
    fake.readStatus = FT_IO_ERROR;
    capture();
    EXPECT_FALSE(usb.getOneByte(0x50));
    EXPECT_NE(captured().find("Get One Byte FAILED, error code : 4 \n\nNumber of bytes read : 0 \n\n"),
              std::string::npos);
}

TEST_F(LinkTest, FailedPurgeSpoilsAGoodReply) {
    answer(0x50, {0xA5});
    fake.purgeStatus = FT_IO_ERROR;
    capture();
    EXPECT_FALSE(usb.getOneByte(0x50));
    std::string out = captured();
    EXPECT_NE(out.find("Get One Byte successful (1 bytes read).\n\nPurging buffers FAILED.\n\n"), std::string::npos);
    EXPECT_EQ(usb.reply()[0], 0xA5);
}

TEST_F(LinkTest, TimeOutReportsTheBytesThatCameAfterMoreThanTheLimit) {
    answer(0x06, pattern(24, 0));
    fake.replyCut = 10;
    capture();
    auto start = Clock::now();
    EXPECT_FALSE(usb.readPreset(3));
    double took = seconds(start);
    EXPECT_EQ(captured(),
              "Device opened. \n"
              "Write preset address successful (1 bytes written).\n"
              "Read parameters TIMEOUT. \n\n"
              "Number of bytes received : 10 \n\n");
    EXPECT_GT(took, 1.0);
    EXPECT_LE(took, 2.0);
    EXPECT_EQ(fake.count("read"), 0);
    EXPECT_EQ(fake.count("purge"), 1);
}

TEST_F(LinkTest, LateReplyWithinTheLimitIsRead) {
    answer(0x40, pattern(192, 5));
    fake.replyDelay = 0.95;
    capture();
    EXPECT_TRUE(usb.readAll());
    captured();
}

TEST_F(LinkTest, ReplyCompleteJustAsTheLimitPassesIsRead) {
    // The bytes land at the first queue check made once the clock shows the
    // limit passed: the wait must look once more before calling it a time-out.
    Bytes bank = pattern(192, 8);
    bool sent = false;
    fake.onQueueCheck = [&]() {
        bool late = usb.timer[0] != 0 && usb.timer[1] - usb.timer[0] > 1000;
        if (!late || sent) return Bytes();
        sent = true;
        return bank;
    };
    capture();
    auto start = Clock::now();
    EXPECT_TRUE(usb.readAll());
    EXPECT_GT(seconds(start), 1.0);
    EXPECT_NE(captured().find("ReadAll successful (192 bytes read).\n\n"), std::string::npos);
    EXPECT_EQ(Bytes(usb.reply(), usb.reply() + 192), bank);
}

TEST_F(LinkTest, WaitingDoesNotSpin) {
    answer(0x50, {});
    capture();
    std::clock_t cpu = std::clock();
    EXPECT_FALSE(usb.getOneByte(0x50));
    double used = double(std::clock() - cpu) / CLOCKS_PER_SEC;
    captured();
    EXPECT_LT(used, 0.5);   // a spinning wait would burn the whole second
}
