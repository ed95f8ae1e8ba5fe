// The pedal's command parser and state file, without a pseudo-terminal.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "pedal/FactoryImages.h"
#include "pedal/PedalProtocol.h"
#include "pedal/PedalState.h"
#include "sound/SoundModel.h"

namespace {

using Bytes = std::vector<uint8_t>;

class ProtocolTest : public ::testing::Test {
protected:
    ProtocolTest() : protocol(state) { state.setFactory(nullptr); }
    std::vector<PedalCommand> feed(const Bytes& b) {
        std::vector<PedalCommand> done;
        protocol.feed(b.data(), b.size(), done);
        return done;
    }
    PedalState state;
    PedalProtocol protocol;
};

TEST_F(ProtocolTest, StoreHeaderThenImageIsEchoedAndKept) {
    Bytes header = {0x16};
    for (int i = 0; i < 12; ++i) header.push_back(static_cast<uint8_t>(i));
    for (char c : std::string("My Preset   ")) header.push_back(static_cast<uint8_t>(c));
    auto done = feed(header);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].name, "store-header");
    EXPECT_TRUE(done[0].reply.empty());
    Bytes image(512, 0x33);
    image[0] = 0x40;    // even a command byte is image data once a header came
    done = feed(image);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].name, "store-image");
    EXPECT_EQ(done[0].reply, image);
    EXPECT_EQ(0, std::memcmp(state.presets[3].title, "My Preset   ", 12));
    EXPECT_EQ(state.presets[3].image[1], 0x33);
    done = feed({0x06});
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(Bytes(done[0].reply.begin(), done[0].reply.begin() + 12), Bytes(header.begin() + 1, header.begin() + 13));
}

TEST_F(ProtocolTest, PreviewIsRecognisedByItsFirstByteAndSplitAnywhere) {
    Bytes image(512, 0x5A);
    image[0] = 0x01;
    EXPECT_TRUE(feed(Bytes(image.begin(), image.begin() + 100)).empty());
    EXPECT_TRUE(protocol.midCommand());
    auto done = feed(Bytes(image.begin() + 100, image.end()));
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].name, "preview");
    EXPECT_TRUE(done[0].reply.empty());
    EXPECT_EQ(0, std::memcmp(state.playing, image.data(), 512));
}

TEST_F(ProtocolTest, BankHoldsRecordsThenTitles) {
    auto done = feed({0x40, 0x20, 0x30, 0x09, 0x20});
    ASSERT_EQ(done.size(), 4u);
    ASSERT_EQ(done[0].reply.size(), 192u);
    EXPECT_EQ(done[0].reply[12], state.presets[1].params[0]);
    EXPECT_EQ(0, std::memcmp(&done[0].reply[96 + 12 * 7], "Preset 8    ", 12));
    EXPECT_EQ(done[1].reply, Bytes{0x00});
    EXPECT_EQ(done[3].reply, Bytes{0x09});
}

TEST_F(ProtocolTest, UpdateModeTakesPagesVersionAndResume) {
    state.updateMode = true;
    state.firmwareVersion = 0x23;
    Bytes page = {0xA0, 0x40, 0x00};
    for (int i = 0; i < 64; ++i) page.push_back(static_cast<uint8_t>(i));
    auto done = feed({0x50, 0x40});
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[0].reply, Bytes{0x23});
    EXPECT_EQ(done[1].name, "ignored");     // no bank while updating
    done = feed(page);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].reply, Bytes(page.begin() + 3, page.end()));
    done = feed({0xB0, 0x24, 0xFF, 0x50});
    ASSERT_EQ(done.size(), 3u);
    EXPECT_EQ(done[2].reply, Bytes{0xA4});
    EXPECT_EQ(state.pagesReceived, 1u);
}

TEST(PedalStateTest, SurvivesASaveAndRejectsForeignFiles) {
    char dir[] = "/tmp/orvella-state-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    std::string path = std::string(dir) + "/p.state", error;
    PedalState a;
    a.setFactory(nullptr);
    a.globalConfig = 0x5C;
    a.oscillatorBurned = 150;
    a.presets[7].image[511] = 0xEE;
    ASSERT_TRUE(a.save(path, error)) << error;
    PedalState b;
    ASSERT_TRUE(b.load(path, error)) << error;
    EXPECT_EQ(b.globalConfig, 0x5C);
    EXPECT_EQ(b.oscillatorBurned, 150);
    EXPECT_EQ(b.presets[7].image[511], 0xEE);
    EXPECT_EQ(access((path + ".tmp").c_str(), F_OK), -1);
    FILE* f = std::fopen(path.c_str(), "r+b");
    ASSERT_TRUE(f);
    ASSERT_EQ(ftruncate(fileno(f), 100), 0);
    std::fclose(f);
    EXPECT_FALSE(b.load(path, error));
    EXPECT_NE(error.find("not a pedal state file"), std::string::npos);
    uint8_t bank[192];
    EXPECT_FALSE(readBankFile(path, bank, error));
    std::remove(path.c_str());
    rmdir(dir);
}

TEST(PedalStateTest, FactoryPresetsPlayTheProgramsTheirBlocksCompose) {
    const std::string bin = std::string(ORVELLA_SOURCE_DIR) + "/data/bin";
    uint8_t bank[192];
    std::string error;
    ASSERT_TRUE(readBankFile(bin + "/factoryset.fap", bank, error)) << error;
    PedalState state;
    state.setFactory(bank);
    ASSERT_TRUE(composeFactoryImages(state, folderOf(bin + "/factoryset.fap"), error)) << error;
    SoundModel model(bin);
    for (int i = 0; i < 8; ++i) {
        model.apply(bank + 12 * i);
        EXPECT_EQ(std::memcmp(state.presets[i].image, model.image(), 512), 0) << "preset " << i + 1;
    }
    EXPECT_EQ(std::memcmp(state.playing, state.presets[0].image, 512), 0);

    // Without core files the presets keep the images they had.
    PedalState empty;
    empty.setFactory(bank);
    uint8_t before[512];
    std::memcpy(before, empty.presets[3].image, 512);
    EXPECT_FALSE(composeFactoryImages(empty, "/nonexistent", error));
    EXPECT_EQ(std::memcmp(empty.presets[3].image, before, 512), 0);
    EXPECT_EQ(folderOf("factoryset.fap"), ".");
}

}  // namespace
