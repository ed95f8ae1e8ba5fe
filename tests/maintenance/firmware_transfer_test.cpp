// The page transfer: addresses, zero padding, echo checks, progress and the
// version command, against a scripted link.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "maintenance/FirmwareTransfer.h"

namespace {

struct Page {
    unsigned address;
    std::vector<uint8_t> bytes;
};

class FakeLink : public firmware::PageLink {
public:
    int writePage(unsigned address, const uint8_t* page) override {
        pages.push_back({address, std::vector<uint8_t>(page, page + 64)});
        memcpy(reply, page, 64);
        int index = static_cast<int>(pages.size()) - 1;
        if (index == corruptAt) reply[17] ^= 0x01;
        return index == failAt ? failCode : 0;
    }
    const uint8_t* echo() const override { return reply; }
    void sendVersion(uint8_t version) override { versions.push_back(version); }

    std::vector<Page> pages;
    std::vector<uint8_t> versions;
    uint8_t reply[64] = {};
    int corruptAt = -1;
    int failAt = -1;
    int failCode = 4;
};

std::vector<uint8_t> pattern(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    return bytes;
}

}  // namespace

TEST(FirmwareTransfer, BadEchoStopsAtOnceWithoutVersion) {
    FakeLink link;
    link.corruptAt = 1;
    firmware::Outcome outcome = firmware::sendFirmware(link, pattern(256), 5, nullptr);
    EXPECT_EQ(outcome.kind, firmware::Outcome::VerifyFailed);
    EXPECT_EQ(outcome.pagesVerified, 1);
    EXPECT_EQ(link.pages.size(), 2u);
    EXPECT_TRUE(link.versions.empty());
}

TEST(FirmwareTransfer, FailedPageStopsAtOnceWithItsCode) {
    FakeLink link;
    link.failAt = 0;
    link.failCode = 17;
    firmware::Outcome outcome = firmware::sendFirmware(link, pattern(200), 5, nullptr);
    EXPECT_EQ(outcome.kind, firmware::Outcome::TransferFailed);
    EXPECT_EQ(outcome.code, 17);
    EXPECT_EQ(link.pages.size(), 1u);
    EXPECT_TRUE(link.versions.empty());
}

TEST(FirmwareTransfer, EmptyPayloadSendsNothing) {
    FakeLink link;
    firmware::Outcome outcome = firmware::sendFirmware(link, {}, 5, nullptr);
    EXPECT_EQ(outcome.kind, firmware::Outcome::Empty);
    EXPECT_TRUE(link.pages.empty());
    EXPECT_TRUE(link.versions.empty());
}

TEST(FirmwareTransfer, FullAddressSpaceIsSentButNeverWrapped) {
    FakeLink link;
    std::vector<float> progress;
    std::vector<uint8_t> payload = pattern(65536);
    firmware::Outcome outcome =
        firmware::sendFirmware(link, payload, 1, [&](float p) { progress.push_back(p); });
    EXPECT_EQ(outcome.kind, firmware::Outcome::Complete);
    ASSERT_EQ(link.pages.size(), 1024u);
    EXPECT_EQ(link.pages.back().address, 0xFFC0u);
    EXPECT_EQ(link.pages.back().bytes, std::vector<uint8_t>(payload.end() - 64, payload.end()));
    ASSERT_EQ(progress.size(), 1024u);
    EXPECT_FLOAT_EQ(progress.back(), 100.0f);

    FakeLink refused;
    outcome = firmware::sendFirmware(refused, pattern(65537), 1, nullptr);
    EXPECT_EQ(outcome.kind, firmware::Outcome::TooLarge);
    EXPECT_TRUE(refused.pages.empty());
    EXPECT_TRUE(refused.versions.empty());
}
