// The platform layer and the file helpers on Windows: UTF-8 names through
// the wide-character calls, replacing files (which a plain rename refuses),
// never-replacing writes, and the folders taken from the environment.
#include "base/files.h"
#include "base/platform.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string unicodeName = "Pr\xc3\xa9r\xc3\xa9glages \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x8e\xb8";   // with a non-BMP character

class WindowsFiles : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        folder = platform::narrow(temp);
        for (char& c : folder) if (c == '\\') c = '/';
        folder += "orvella-platform-" + std::to_string(GetCurrentProcessId()) + "/" + unicodeName;
        ASSERT_TRUE(platform::makeFolders(folder)) << folder;
    }
    void TearDown() override {
        std::wstring parent = platform::widen(folder.substr(0, folder.rfind('/')) + '\0');
        SHFILEOPSTRUCTW op{};
        op.wFunc = FO_DELETE;
        op.pFrom = parent.c_str();
        op.fFlags = FOF_NO_UI;
        SHFileOperationW(&op);
    }
    std::vector<uint8_t> read(const std::string& path) {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(files::readFile(path, bytes)) << path;
        return bytes;
    }
    std::string folder;
};

}  // namespace

TEST(WindowsText, TheManifestMakesUtf8TheCodePageOfNarrowCalls) {
    // fopen and the other narrow calls of the C library take the program's
    // UTF-8 paths only with this code page (Windows 10 1903 and later).
    EXPECT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));
}

TEST(WindowsText, Utf8AndUtf16RoundTrip) {
    EXPECT_EQ(platform::narrow(platform::widen(unicodeName)), unicodeName);
    EXPECT_EQ(platform::widen("\xe6\x97\xa5").size(), 1u);
    EXPECT_EQ(platform::widen("\xf0\x9f\x8e\xb8").size(), 2u);     // a surrogate pair
    EXPECT_EQ(platform::widen("bad \xff byte"), L"");               // invalid UTF-8 names nothing
}

TEST_F(WindowsFiles, FoldersAndFilesWithUnicodeNamesAreWrittenReplacedAndReadBack) {
    EXPECT_TRUE(platform::folderExists(folder));
    std::string path = folder + "/" + unicodeName + ".lop";
    ASSERT_TRUE(files::writeFileAtomically(path, "first", 5));
    // Replacing an existing file: the commit must not fail where rename() would.
    ASSERT_TRUE(files::writeFileAtomically(path, "second!", 7));
    EXPECT_EQ(read(path), (std::vector<uint8_t>{'s', 'e', 'c', 'o', 'n', 'd', '!'}));
    EXPECT_FALSE(platform::folderExists(path));     // a file is not a folder

    // A write that never replaces takes the next free name.
    std::string first, second;
    files::AtomicFile a(path);
    ASSERT_TRUE(a.write("A", 1) && a.commitNew(first));
    files::AtomicFile b(path);
    ASSERT_TRUE(b.write("B", 1) && b.commitNew(second));
    EXPECT_EQ(first, folder + "/" + unicodeName + "_2.lop");
    EXPECT_EQ(second, folder + "/" + unicodeName + "_3.lop");
    EXPECT_EQ(read(path).size(), 7u);
    EXPECT_EQ(read(second), std::vector<uint8_t>{'B'});

    // Windows names are blind to case and to the kind of slash.
    std::string other = path;
    for (char& c : other) if (c == '/') c = '\\';
    for (char& c : other) if (c >= 'a' && c <= 'z') { c = static_cast<char>(c - 'a' + 'A'); break; }
    EXPECT_TRUE(files::sameFile(path, other));
    EXPECT_FALSE(files::sameFile(path, second));
    EXPECT_FALSE(files::sameFile(path, path + ".missing"));
}

TEST_F(WindowsFiles, WorkingFolderAndProgramPathUseForwardSlashes) {
    std::string before = platform::currentFolder();
    ASSERT_TRUE(platform::changeFolder(folder));
    EXPECT_EQ(platform::currentFolder(), folder);
    ASSERT_TRUE(platform::changeFolder(before));

    std::string self = platform::executablePath();
    EXPECT_EQ(self.find('\\'), std::string::npos) << self;
    EXPECT_EQ(self.substr(self.size() - 4), ".exe");
    EXPECT_TRUE(platform::folderExists(self.substr(0, self.rfind('/'))));
}

TEST_F(WindowsFiles, FoldersComeFromTheEnvironmentInUtf8) {
    ASSERT_TRUE(platform::setEnv("USERPROFILE", folder));
    ASSERT_TRUE(platform::setEnv("HOMEDRIVE", folder));
    EXPECT_EQ(platform::env("HOMEDRIVE"), folder);
    // Without a Desktop folder in the profile, the shell's desktop or the profile itself.
    EXPECT_NE(platform::desktopFolder(), folder + "/Desktop");
    ASSERT_TRUE(platform::makeFolder(folder + "/Desktop"));
    EXPECT_EQ(platform::desktopFolder(), folder + "/Desktop");

    // An empty HOMEDRIVE would put the presets at the drive's root: the profile stands in.
    ASSERT_TRUE(platform::setEnv("HOMEDRIVE", ""));
    EXPECT_EQ(platform::env("HOMEDRIVE"), folder);
    EXPECT_TRUE(platform::envSet("USERPROFILE"));
    EXPECT_FALSE(platform::envSet("ORVELLA_SURELY_UNSET_VARIABLE"));
}

TEST_F(WindowsFiles, ShownPathsUseBackslashesAndNameTheSameFile) {
    EXPECT_EQ(platform::shownPath(files::presetFolder("C:") + "Drevani_Backup_06-14-2026.bkp"),
              "C:\\Kestrova\\Orvella\\presets\\Drevani_Backup_06-14-2026.bkp");
    EXPECT_EQ(platform::shownPath("C:\\Users\\me/Desktop/IR.wav"), "C:\\Users\\me\\Desktop\\IR.wav");
    EXPECT_EQ(platform::shownPath("//server/share/a b.lop"), "\\\\server\\share\\a b.lop");
    // What the user reads, typed back, opens the same file (UTF-8 names kept).
    std::string path = folder + "/" + unicodeName + ".lop";
    ASSERT_TRUE(files::writeFileAtomically(path, "x", 1));
    EXPECT_EQ(platform::shownPath(path).find('/'), std::string::npos);
    EXPECT_TRUE(files::sameFile(platform::shownPath(path), path));
}

TEST_F(WindowsFiles, TextFilesEndLinesWithCrLfOnce) {
    std::string path = folder + "/log.log";
    ASSERT_TRUE(files::writeTextFile(path, "\n[10:11:12] :  one\r\n[10:11:12] :  > two\n\nend"));
    std::vector<uint8_t> bytes = read(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "\r\n[10:11:12] :  one\r\n[10:11:12] :  > two\r\n\r\nend");
}
