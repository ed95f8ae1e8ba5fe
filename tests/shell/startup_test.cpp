// Data folders, tone-chart speaker table and the platform layer.
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/gui/TestEnvironment.h"
#include "presets/PresetFiles.h"
#include "base/platform.h"
#include "shell/startup.h"

using gui::TestEnvironment;

namespace {

bool isDir(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

TEST(DataFolders, FirstRunCreatesMakerProgramAndPresetFolders) {
    TestEnvironment env;
    makeDataFolders();
    EXPECT_TRUE(isDir(env.home + "/Kestrova"));
    EXPECT_TRUE(isDir(env.home + "/Kestrova/Orvella"));
    EXPECT_TRUE(isDir(env.home + "/Kestrova/Orvella/presets"));
    // The folder made is the one the local preset library uses.
    EXPECT_TRUE(isDir(presetfiles::presetFolder(env.home)));
    // A second run finds everything present and changes nothing.
    TestEnvironment::writeFile(env.home + "/Kestrova/Orvella/presets/keep.lop", "x");
    makeDataFolders();
    EXPECT_EQ(TestEnvironment::readFile(env.home + "/Kestrova/Orvella/presets/keep.lop"), "x");
}

TEST(DataFolders, OnlyTheMissingLevelsAreCreated) {
    TestEnvironment env;
    ASSERT_EQ(mkdir((env.home + "/Kestrova").c_str(), 0755), 0);
    makeDataFolders();
    EXPECT_TRUE(isDir(env.home + "/Kestrova/Orvella/presets"));

    TestEnvironment env2;
    ASSERT_EQ(mkdir((env2.home + "/Kestrova").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((env2.home + "/Kestrova/Orvella").c_str(), 0755), 0);
    makeDataFolders();
    EXPECT_TRUE(isDir(env2.home + "/Kestrova/Orvella/presets"));
}

TEST(DataFolders, PlainFileInTheWayCountsAsAbsentAndFailsQuietly) {
    TestEnvironment env;
    ASSERT_TRUE(TestEnvironment::writeFile(env.home + "/Kestrova", "not a folder"));
    EXPECT_FALSE(platform::folderExists(env.home + "/Kestrova"));
    makeDataFolders();   // must neither crash nor replace the file
    EXPECT_EQ(TestEnvironment::readFile(env.home + "/Kestrova"), "not a folder");
    EXPECT_FALSE(isDir(env.home + "/Kestrova/Orvella"));

    TestEnvironment env2;
    ASSERT_EQ(mkdir((env2.home + "/Kestrova").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((env2.home + "/Kestrova/Orvella").c_str(), 0755), 0);
    ASSERT_TRUE(TestEnvironment::writeFile(env2.home + "/Kestrova/Orvella/presets", ""));
    makeDataFolders();
    EXPECT_FALSE(isDir(env2.home + "/Kestrova/Orvella/presets"));
}

TEST(Platform, HomeStandsInForUnsetWindowsVariables) {
    TestEnvironment env;
    unsetenv("HOMEDRIVE");
    unsetenv("USERPROFILE");
    std::string home = getenv("HOME") ? getenv("HOME") : "";
    EXPECT_FALSE(platform::envSet("HOMEDRIVE"));
    EXPECT_EQ(platform::env("HOMEDRIVE"), home);
    EXPECT_EQ(platform::env("USERPROFILE"), home);
    // Other variables get no stand-in.
    unsetenv("LOCALAPPDATA");
    EXPECT_EQ(platform::env("LOCALAPPDATA"), "");
}

TEST(Platform, WithoutHomeTheAccountsHomeFolderIsUsedNotTheRoot) {
    TestEnvironment env;
    std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
    unsetenv("HOMEDRIVE");
    unsetenv("USERPROFILE");
    unsetenv("HOME");
    const struct passwd* account = getpwuid(getuid());
    ASSERT_NE(account, nullptr);
    std::string drive = platform::env("HOMEDRIVE");
    std::string profile = platform::env("USERPROFILE");
    setenv("HOME", "", 1);       // set but empty counts as unset too
    std::string driveOfEmptyHome = platform::env("HOMEDRIVE");
    if (!savedHome.empty()) setenv("HOME", savedHome.c_str(), 1);
    else unsetenv("HOME");
    EXPECT_EQ(drive, account->pw_dir);
    EXPECT_EQ(profile, account->pw_dir);
    EXPECT_EQ(driveOfEmptyHome, account->pw_dir);
    EXPECT_FALSE(drive.empty());
    // Set but empty counts as unset.
    setenv("HOMEDRIVE", "", 1);
    setenv("USERPROFILE", "", 1);
    EXPECT_EQ(platform::env("HOMEDRIVE"), getenv("HOME") ? getenv("HOME") : account->pw_dir);
    EXPECT_FALSE(platform::env("USERPROFILE").empty());
}

TEST(Platform, DesktopFolderFallsBackToTheProfileFolder) {
    TestEnvironment env;
    EXPECT_EQ(platform::desktopFolder(), env.desktop);
    ASSERT_EQ(rmdir(env.desktop.c_str()), 0);
    EXPECT_EQ(platform::desktopFolder(), env.home);
}
