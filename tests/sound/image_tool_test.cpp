// The orvella-image command-line tool, run as a user would.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/wait.h>

#include "tests/sound/EngineChecks.h"

using namespace sound;

namespace {

struct ToolRun {
    int status;
    std::string out;
};

ToolRun run(const std::string& args)
{
    std::string command = std::string(ORVELLA_IMAGE_TOOL) + " " + args + " 2>/dev/null";
    ToolRun r{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) r.out.append(buffer, n);
    int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

const char* const defaultHex = "2103171F1FC8C800647D3232";

}  // namespace

TEST(ImageTool, WritesTheEnginesImageForABlock)
{
    PatternBin bin;
    SoundModel model(bin.dir());
    ToolRun r = run("--bin " + bin.dir() + " " + defaultHex);
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.out.size(), 512u);
    EXPECT_EQ(0, std::memcmp(r.out.data(), model.image(), 512));

    const uint8_t block[ParamCount] = {0x8E, 61, 47, 10, 20, 30, 170, 40, 60, 33, 80, 20};
    model.apply(block);
    r = run("--bin " + bin.dir() + " '8E 3D 2F 0A 14 1E AA 28 3C 21 50 14'");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(0, std::memcmp(r.out.data(), model.image(), 512));
}

TEST(ImageTool, HexWordsSoloAndOutputFile)
{
    PatternBin bin;
    ToolRun r = run("--bin " + bin.dir() + " --hex " + defaultHex);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, 9), "014012D2 ");
    EXPECT_EQ(r.out.size(), 128u * 9);
    EXPECT_EQ(r.out.substr(r.out.size() - 9), "00000011\n");

    SoundModel model(bin.dir());
    model.setSolo(RightSide, true);
    std::string file = bin.dir() + "/image.bin";
    r = run("--bin " + bin.dir() + " --solo right -o " + file + " " + defaultHex);
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.empty());
    FILE* f = std::fopen(file.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    uint8_t image[600];
    size_t n = std::fread(image, 1, sizeof image, f);
    std::fclose(f);
    ASSERT_EQ(n, 512u);
    EXPECT_EQ(firstDifference(image, model.image()), -1);
}

TEST(ImageTool, RefusesBadInput)
{
    PatternBin bin;
    EXPECT_EQ(run("--bin " + bin.dir() + " 2103171F1FC8C800647D32").status, 2);     // 11 bytes
    EXPECT_EQ(run("--bin " + bin.dir() + " 2103171F1FC8C800647D32ZZ").status, 2);
    EXPECT_EQ(run(defaultHex).status, 2);                                            // no --bin
    EXPECT_EQ(run(std::string(defaultHex) + " --bin").status, 2);                    // --bin without a folder
    EXPECT_EQ(run("--bin " + bin.dir() + " --solo middle " + defaultHex).status, 2);
    EXPECT_EQ(run("--bin " + bin.dir() + " --solo left 2903171F1FC8C800647D3232").status, 2);  // Stereo Mics
    bin.shorten(SmCoreFile, 1);
    ToolRun r = run("--bin " + bin.dir() + " " + defaultHex);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());
}
