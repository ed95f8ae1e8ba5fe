// The preset subsystem's files: exact bytes, refusals, and writes that never
// leave a half-written or lost file behind.
#include "presets/PresetFiles.h"

#include "sound/Params.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <optional>
#include <string>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace sound;

using namespace presetfiles;

namespace {

class TempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/presetfiles-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string file(const std::string& name) const { return dir + "/" + name; }
    void put(const std::string& path, const std::string& bytes) {
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    std::string get(const std::string& path) {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(files::readFile(path, bytes));
        return std::string(bytes.begin(), bytes.end());
    }
    int entries() const {
        int n = 0;
        DIR* d = opendir(dir.c_str());
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') ++n;
        closedir(d);
        return n;
    }
    std::string dir;
};

const uint8_t params[12] = {0x21, 3, 23, 31, 31, 200, 200, 0, 100, 125, 50, 50};
const uint8_t title[12] = {'C', 'l', 'e', 'a', 'n', ' ', ' ', ' ', ' ', ' ', ' ', ' '};

}  // namespace

TEST(PresetNames, BackupNameCarriesMonthDayYear) {
    std::tm date{};
    date.tm_year = 2024 - 1900;
    date.tm_mon = 5;
    date.tm_mday = 4;
    EXPECT_EQ(backupPath("C:", date), "C:/Kestrova/Orvella/presets/Drevani_Backup_06-04-2024.bkp");
}

TEST(PresetNames, RefusesNamesThatCannotBeSafeFileNames) {
    EXPECT_EQ(nameProblem("Clean"), nullptr);
    EXPECT_EQ(nameProblem("Fat Lead v2.1 (bass)"), nullptr);
    EXPECT_EQ(nameProblem(std::string(38, 'x')), nullptr);
    for (const char* bad : {"", ".", "..", "../evil", "a/b", "a\\b", "c:x", "what?", "a*", "say \"hi\"", "<x>", "a|b",
                            "tab\there", "line\nbreak"})
        EXPECT_NE(nameProblem(bad), nullptr) << bad;
    EXPECT_NE(nameProblem(std::string(39, 'x')), nullptr);
}

TEST(PresetTitle, PadsAndCutsToTwelve) {
    uint8_t t[12];
    padTitle("Clean", t);
    EXPECT_EQ(std::string(t, t + 12), "Clean       ");
    padTitle("A very long title", t);
    EXPECT_EQ(std::string(t, t + 12), "A very long ");
    padTitle("", t);
    EXPECT_EQ(std::string(t, t + 12), std::string(12, ' '));
}

// A title typed as text (the command line's --title) passes the same door:
// at most 12 characters, 12 included, of printable ASCII, padded with spaces.
TEST(PresetTitle, TextTitlesOfTwelvePrintableCharactersAtMost) {
    const struct {
        std::string text, stored;       // stored: "" when refused
    } cases[] = {
        {"TwelveChars!", "TwelveChars!"}, {"", std::string(12, ' ')},      {"Clean", "Clean       "},
        {"Thirteen char", ""},            {"Caf\xC3\xA9", ""},             {"Caf\xE9", ""},
        {"Bell\a", ""},
    };
    for (const auto& c : cases) {
        std::string why;
        std::optional<Preset> preset = Preset::check(defaultParams, c.text, why);
        ASSERT_EQ(preset.has_value(), !c.stored.empty()) << c.text << ": " << why;
        EXPECT_EQ(why.empty(), preset.has_value()) << c.text;
        if (preset) {
            EXPECT_EQ(std::string(preset->title(), preset->title() + 12), c.stored);
        }
    }
}

TEST(SoloFolding, SilentSideTakesTheSoloedCabinet) {
    uint8_t left[12] = {FlagLeftOpen | FlagStereoMics, 5, 40, 10, 50};
    foldSolo(left, true, false);
    EXPECT_EQ(left[Flags], FlagLeftOpen | FlagRightOpen | FlagStereoMics);
    EXPECT_EQ(left[Speaker_R], 5);
    EXPECT_EQ(left[Mic_R], 10);

    uint8_t right[12] = {FlagLeftOpen, 5, 40, 10, 50};
    foldSolo(right, false, true);
    EXPECT_EQ(right[Flags], 0);             // right is sealed, so the left becomes sealed
    EXPECT_EQ(right[Speaker_L], 40);
    EXPECT_EQ(right[Mic_L], 50);

    uint8_t none[12] = {FlagLeftOpen, 5, 40, 10, 50};
    uint8_t copy[12];
    std::memcpy(copy, none, 12);
    foldSolo(none, false, false);
    EXPECT_EQ(0, std::memcmp(none, copy, 12));
}

TEST(LopFormat, ReadsBackWhatItWrites) {
    LocalPreset preset;
    ASSERT_EQ(decodeLop(encodeLop(std::string(38, 'n'), params, title), preset), LopStatus::Ok);
    EXPECT_EQ(preset.name, std::string(38, 'n'));
    EXPECT_EQ(0, std::memcmp(preset.preset.record(), params, 12));
    EXPECT_EQ(0, std::memcmp(preset.preset.title(), title, 12));
}

TEST(LopFormat, RefusesFilesThatCannotHoldBlockAndTitle) {
    std::vector<uint8_t> bytes = encodeLop("Clean", params, title);
    LocalPreset preset;
    bytes.pop_back();
    EXPECT_EQ(decodeLop(bytes, preset), LopStatus::TooShort);
    EXPECT_EQ(preset.preset, Preset());     // nothing taken from a refused file
    EXPECT_EQ(decodeLop(std::vector<uint8_t>(), preset), LopStatus::NoName);
    EXPECT_EQ(decodeLop(std::vector<uint8_t>(60, 'x'), preset), LopStatus::NoName);   // no line end in 39
    EXPECT_EQ(decodeLop(encodeLop("../../etc/x", params, title), preset), LopStatus::BadName);
    EXPECT_EQ(decodeLop(encodeLop("", params, title), preset), LopStatus::BadName);
    std::string why;
    EXPECT_EQ(decodeLop(encodeLop("Bell", params, reinterpret_cast<const uint8_t*>("Bell\a       ")), preset, &why),
              LopStatus::BadPreset);
    EXPECT_EQ(why, "its title holds the control byte 0x07 at character 5");
    std::string name;
    EXPECT_TRUE(lopName(encodeLop("Solo", params, title), name));
    EXPECT_EQ(name, "Solo");
}

TEST_F(TempFolder, AtomicWriteReplacesOnlyWhenComplete) {
    std::string path = file("Drevani_Backup.bkp");
    put(path, "good old backup");
    {
        files::AtomicFile f(path);
        ASSERT_TRUE(f.isOpen());
        ASSERT_TRUE(f.write("half", 4));
        // Destroyed without commit: the read failed half way.
    }
    EXPECT_EQ(get(path), "good old backup");
    EXPECT_EQ(entries(), 1);                // no temporary file left

    ASSERT_TRUE(files::writeFileAtomically(path, "new", 3));
    EXPECT_EQ(get(path), "new");
    EXPECT_EQ(entries(), 1);
}

// A disk that fills up half way, in a write and in the final flush: the
// file-size limit makes the system refuse bytes beyond it, as a full disk does.
TEST_F(TempFolder, AtomicWriteThatFailsHalfWayKeepsTheOldFileAndNoTemporary) {
    std::string path = file("presets.lst");
    put(path, "old list\n");
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string big(100000, 'x'), buffered(3000, 'y');    // beyond the limit in a write, and at the flush
    int bigError = 0, flushError = 0, listError = 0;
    bool bigOk = files::writeFileAtomically(path, big.data(), big.size(), &bigError);
    bool flushOk = files::writeFileAtomically(path, buffered.data(), buffered.size(), &flushError);
    bool listOk = writeList(path, std::vector<std::string>(300, "/a/long/enough/path/to/a/preset.lop"), &listError);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(bigOk);
    EXPECT_FALSE(flushOk);
    EXPECT_FALSE(listOk);
    EXPECT_EQ(bigError, EFBIG);
    EXPECT_EQ(flushError, EFBIG);
    EXPECT_EQ(listError, EFBIG);
    EXPECT_EQ(get(path), "old list\n");
    EXPECT_EQ(entries(), 1);
}

TEST_F(TempFolder, AtomicWriteReportsAFolderItCannotWrite) {
    int error = 0;
    EXPECT_FALSE(files::writeFileAtomically(file("missing/sub/x.lop"), "x", 1, &error));
    EXPECT_EQ(error, ENOENT);
    files::AtomicFile f(file("missing/x"));
    EXPECT_FALSE(f.isOpen());
    EXPECT_FALSE(f.write("x", 1));
    EXPECT_FALSE(f.commit());
}

// The file a path leads to is the one replaced: links stay links (chains,
// relative, dangling), the replaced file keeps its mode and, for root, its
// owner; a loop or a folder is refused; a signal handler's clean-up leaves
// no temporary file, and the interrupted write then creates nothing.
TEST_F(TempFolder, AtomicWriteReplacesTheFileALinkNamesAndKeepsItsMode) {
    put(file("real.lop"), "old");
    ASSERT_EQ(chmod(file("real.lop").c_str(), 0640), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(file("real.lop").c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(symlink("real.lop", file("b").c_str()), 0);
    ASSERT_EQ(symlink(file("b").c_str(), file("a").c_str()), 0);
    ASSERT_TRUE(files::writeFileAtomically(file("a"), "new", 3));
    struct stat st;
    for (const char* link : {"a", "b"}) {
        ASSERT_EQ(lstat(file(link).c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << link;
    }
    ASSERT_EQ(stat(file("real.lop").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, 65534u);
    }
    EXPECT_EQ(get(file("real.lop")), "new");

    ASSERT_EQ(symlink("later.lop", file("dangling").c_str()), 0);
    ASSERT_TRUE(files::writeFileAtomically(file("dangling"), "made", 4));
    EXPECT_EQ(get(file("later.lop")), "made");

    ASSERT_EQ(symlink("y", file("x").c_str()), 0);
    ASSERT_EQ(symlink("x", file("y").c_str()), 0);
    int error = 0;
    EXPECT_FALSE(files::writeFileAtomically(file("x"), "z", 1, &error));
    EXPECT_EQ(error, ELOOP);
    ASSERT_EQ(mkdir(file("folder").c_str(), 0755), 0);
    EXPECT_FALSE(files::writeFileAtomically(file("folder"), "z", 1, &error));
    EXPECT_EQ(error, EISDIR);

    int before = entries();
    files::AtomicFile interrupted(file("cut.bkp"));
    ASSERT_TRUE(interrupted.write("half", 4));
    EXPECT_EQ(entries(), before + 1);
    files::removeTemporaryFiles();
    EXPECT_EQ(entries(), before);
    EXPECT_FALSE(interrupted.commit());
    EXPECT_EQ(entries(), before);
}

TEST_F(TempFolder, ListReadsWritesAndAppends) {
    std::string list = file("presets.lst");
    EXPECT_TRUE(readList(list).empty());
    ASSERT_TRUE(appendToList(list, "/h/a.lop"));
    ASSERT_TRUE(appendToList(list, "/h/b.lop"));
    EXPECT_EQ(get(list), "/h/a.lop\n/h/b.lop\n");

    put(list, "/h/a.lop\r\n\n/h/b.lop");    // written elsewhere: CR LF, blank line, no final line end
    EXPECT_EQ(readList(list), (std::vector<std::string>{"/h/a.lop", "/h/b.lop"}));
    ASSERT_TRUE(appendToList(list, "/h/c.lop"));
    EXPECT_EQ(readList(list).back(), "/h/c.lop");
    EXPECT_EQ(readList(list).size(), 3u);

    ASSERT_TRUE(writeList(list, {}));
    EXPECT_EQ(get(list), "");
}

TEST_F(TempFolder, ReadingStopsAtTheLimit) {
    put(file("big.lop"), std::string(MaxLopSize + 1, 'x'));
    std::vector<uint8_t> bytes;
    int error = 0;
    EXPECT_FALSE(files::readFile(file("big.lop"), bytes, &error, MaxLopSize));
    EXPECT_EQ(error, EFBIG);
    put(file("fits.lop"), std::string(MaxLopSize, 'x'));
    EXPECT_TRUE(files::readFile(file("fits.lop"), bytes, &error, MaxLopSize));
    EXPECT_FALSE(files::readFile(dir, bytes, &error));         // a folder is no file
}

TEST_F(TempFolder, SameFileResolvesLinksAndDots) {
    put(file("a.lop"), "a");
    put(file("b.lop"), "b");
    ASSERT_EQ(symlink(file("a.lop").c_str(), file("link.lop").c_str()), 0);
    EXPECT_TRUE(files::sameFile(file("a.lop"), dir + "/./a.lop"));
    EXPECT_TRUE(files::sameFile(file("link.lop"), file("a.lop")));
    EXPECT_TRUE(files::sameFile(dir + "//../" + dir.substr(5) + "/a.lop", file("a.lop")));
    EXPECT_FALSE(files::sameFile(file("a.lop"), file("b.lop")));
    EXPECT_FALSE(files::sameFile(file("a.lop"), file("missing.lop")));
}

TEST_F(TempFolder, BankMustBeExactly192Bytes) {
    uint8_t bank[BankSize];
    std::memset(bank, 0xEE, sizeof bank);
    long size = 0;
    int error = 0;
    for (size_t n : {0ul, 191ul, 193ul}) {
        put(file("x.bkp"), std::string(n, 'a'));
        EXPECT_EQ(readBank(file("x.bkp"), bank, &size, &error), BankStatus::WrongSize);
        EXPECT_EQ(size, static_cast<long>(n));
        EXPECT_EQ(bank[0], 0xEE);           // never partly filled
    }
    std::string good(192, '\0');
    for (size_t i = 0; i < good.size(); ++i) good[i] = static_cast<char>(i);
    put(file("x.bkp"), good);
    ASSERT_EQ(readBank(file("x.bkp"), bank, &size, &error), BankStatus::Ok);
    EXPECT_EQ(bank[191], 191);
    put(file("x.bkp"), std::string(5000, 'a'));
    EXPECT_EQ(readBank(file("x.bkp"), bank, &size, &error), BankStatus::WrongSize);
    EXPECT_EQ(size, 5000);
    EXPECT_EQ(readBank(file("none.bkp"), bank, &size, &error), BankStatus::CannotOpen);
    EXPECT_EQ(error, ENOENT);
}

// A bank goes to a pedal exactly when Apply would take every record as it is
// (no byte clamped, no speaker byte mapped) and every title is printable ASCII;
// the first offending preset is the one named.
TEST(BankCheck, AcceptsExactlyWhatApplyLeavesUnchanged) {
    std::srand(13);
    uint8_t bank[BankSize];
    int refused = 0;
    for (int round = 0; round < 4000; ++round) {
        for (int i = 0; i < 8; ++i) {
            uint8_t* r = bank + 12 * i;
            std::memcpy(r, defaultParams, 12);
            r[Flags] = static_cast<uint8_t>(std::rand() % 256);
            r[Delay] = static_cast<uint8_t>(std::rand() % (paramMax(Delay, r[Flags]) + 1));
            if (std::rand() % 8 == 0) {
                // Mostly near a limit: on it, or just past it.
                int index = 1 + std::rand() % (ParamCount - 1);
                int top = paramMax(index, r[Flags]);
                int pick = std::rand() % 4;
                r[index] = static_cast<uint8_t>(pick == 0 ? std::rand() % 256 : std::min(255, top + pick - 2));
            }
            for (int c = 0; c < 12; ++c) bank[96 + 12 * i + c] = static_cast<uint8_t>(0x20 + std::rand() % 0x5F);
        }
        // Now and then a byte just outside printable ASCII, or anywhere outside it.
        const uint8_t outside[] = {0x1F, 0x7F, 0x80, 0xE9, 0xFF, static_cast<uint8_t>(std::rand() % 0x20)};
        if (std::rand() % 8 == 0) bank[96 + std::rand() % 96] = outside[std::rand() % 6];

        int expected = -1;
        for (int i = 0; i < 8 && expected < 0; ++i) {
            uint8_t clean[12];
            sanitizeParams(bank + 12 * i, clean);
            bool titleOk = true;
            for (int c = 0; c < 12; ++c) titleOk = titleOk && bank[96 + 12 * i + c] >= 0x20 && bank[96 + 12 * i + c] < 0x7F;
            if (std::memcmp(clean, bank + 12 * i, 12) != 0 || !titleOk) expected = i;
        }
        BankProblem problem = checkBank(bank);
        ASSERT_EQ(problem.preset, expected) << problem.why;
        EXPECT_EQ(problem.why.empty(), expected < 0);
        refused += expected >= 0;
    }
    EXPECT_GT(refused, 1000);       // both outcomes well exercised
    EXPECT_LT(refused, 3000);
}
