// The generated run-time data: complete for the editor, and the factory bank
// and speaker table consistent with what the editor accepts.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "tests/dsp/Measure.h"

#include "tools/dsp/DataGenerator.h"
#include "tools/dsp/FactoryBank.h"
#include "tools/dsp/SpeakerDesign.h"
#include "sound/SoundModel.h"
#include "sound/Speakers.h"

TEST(Data, TheEditorFindsEveryCoreFileComplete) {
    SoundModel model(DSP_BIN_DIR);
    EXPECT_TRUE(model.coreFilesOk());
    const uint8_t* image = model.image();
    EXPECT_EQ(image[0], 0x01);
    EXPECT_EQ(image[1], 0x40);
    EXPECT_EQ(image[2], 0x12);
    EXPECT_EQ(image[3], 0xD2);
}

TEST(Data, FactoryBankHoldsEightValidPresets) {
    std::string text, error;
    ASSERT_TRUE(datagen::readText(std::string(DSP_BIN_DIR) + "/factoryset.fap", text, error)) << error;
    ASSERT_EQ(text.size(), 192u);
    SoundModel model(DSP_BIN_DIR);
    for (int p = 0; p < 8; ++p) {
        const uint8_t* block = reinterpret_cast<const uint8_t*>(text.data()) + 12 * p;
        EXPECT_TRUE(isSelectableSpeaker(block[1])) << p;
        EXPECT_TRUE(isSelectableSpeaker(block[2])) << p;
        // Applying the block keeps it as it is: nothing had to be clamped or mapped.
        model.apply(block);
        for (int i = 0; i < 12; ++i) EXPECT_EQ(model.params()[i], block[i]) << "preset " << p << " byte " << i;
        const std::string title = text.substr(96 + 12 * p, 12);
        EXPECT_NE(title[0], ' ') << p;
    }
}

TEST(Data, FactoryTextIsCheckedFieldByField) {
    std::vector<factory::Preset> presets;
    std::string error;
    const std::string good =
        "\"T\" Flags=0x21 Speaker_L=3 Speaker_R=23 Mic_L=31 Mic_R=31 Volume_L=200 Volume_R=200 "
        "Blend_L=0 Blend_R=100 Delay=125 Time=50 Depth=50\n";
    std::string eight;
    for (int i = 0; i < 8; ++i) eight += good;
    ASSERT_TRUE(factory::parse(eight, presets, error)) << error;
    EXPECT_FALSE(factory::parse(good, presets, error));
    EXPECT_NE(error.find("8 needed"), std::string::npos);
    std::string bad = eight;
    bad.replace(bad.find("Speaker_L=3"), 11, "Speaker_L=4");     // a submenu entry, not a speaker
    EXPECT_FALSE(factory::parse(bad, presets, error));
    bad = eight;
    bad.replace(bad.find("\"T\""), 3, "\"Thirteen chars\"");
    EXPECT_FALSE(factory::parse(bad, presets, error));
    bad = eight;
    bad.replace(bad.find(" Depth=50"), 9, "");
    EXPECT_FALSE(factory::parse(bad, presets, error));
    EXPECT_NE(error.find("missing field Depth"), std::string::npos);
    bad = eight;
    bad.replace(bad.find("Volume_L=200"), 12, "Volume_L=201");
    EXPECT_FALSE(factory::parse(bad, presets, error));
}

TEST(Data, SpeakerTableCoversEverySetAndRejectsHalfTables) {
    std::string text, error;
    ASSERT_TRUE(datagen::readText(std::string(DSP_SOURCE_DIR) + "/speakers.txt", text, error));
    std::vector<speakers::Speaker> all;
    ASSERT_TRUE(speakers::loadTable(text, all, error)) << error;
    EXPECT_EQ(all.size(), 73u);   // 30 sealed + 30 opened/ported + 13 gears and misc
    const std::string line = "gms 0 \"X\" | HP 100 0.7 | FLAT | FLAT | FLAT | FLAT\n";
    EXPECT_FALSE(speakers::loadTable(line, all, error));
    EXPECT_NE(error.find("has 0 records"), std::string::npos);
    EXPECT_FALSE(speakers::loadTable("gms 0 \"X\" | XX 100 0.7 | FLAT | FLAT | FLAT | FLAT\n", all, error));
    EXPECT_NE(error.find("unknown section type"), std::string::npos);
    EXPECT_FALSE(speakers::loadTable("gms 0 \"X\" | HP 100 | FLAT | FLAT | FLAT | FLAT\n", all, error));
}

TEST(Data, GeneratorStopsOnAMissingSource) {
    const ScratchDir out;
    std::string error;
    EXPECT_FALSE(datagen::generate(out.path() + "/no-such-folder", out.path(), error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(out.path()));
}

TEST(Data, AFaultyLastSourceLeavesTheOutputAsItWas) {
    // A copy of the sources whose factory text (read last) is broken: the
    // programs and speaker sets read before it must not be written either.
    const ScratchDir src, out;
    namespace fs = std::filesystem;
    for (const auto& entry : fs::directory_iterator(DSP_SOURCE_DIR))
        fs::copy_file(entry.path(), fs::path(src.path()) / entry.path().filename());
    std::FILE* f = std::fopen((src.path() + "/factory.txt").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("\"Only one\" Flags=0x21\n", f);
    std::fclose(f);
    std::string error;
    EXPECT_FALSE(datagen::generate(src.path(), out.path(), error));
    EXPECT_NE(error.find("factory presets"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_empty(out.path()));

    // The real sources generate every file.
    ASSERT_TRUE(datagen::generate(DSP_SOURCE_DIR, out.path(), error)) << error;
    EXPECT_EQ(std::distance(fs::directory_iterator(out.path()), fs::directory_iterator()), 9);
}
