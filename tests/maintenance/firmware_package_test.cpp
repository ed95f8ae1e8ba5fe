// The .fdt reader: version byte, note count, 99-character line chunks and
// the payload that follows the notes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "maintenance/FirmwarePackage.h"
#include "tests/maintenance/TempDir.h"

using firmware::Package;
using firmware::ReadStatus;

namespace {

Package read(const std::string& path, bool withPayload, ReadStatus expected = ReadStatus::Ok) {
    Package package;
    int error = -1;
    EXPECT_EQ(firmware::readPackage(path, "rb", withPayload, package, error), expected);
    return package;
}

}  // namespace

TEST(FirmwareVersion, DigitsAndLettersMapToVersionByte) {
    EXPECT_EQ(firmware::versionByte('0'), 0);
    EXPECT_EQ(firmware::versionByte('5'), 5);
    EXPECT_EQ(firmware::versionByte('9'), 9);
    EXPECT_EQ(firmware::versionByte(':'), 3);     // ':' - 55
    EXPECT_EQ(firmware::versionByte('A'), 10);
    EXPECT_EQ(firmware::versionByte('['), 0x24);
    EXPECT_EQ(firmware::versionByte('~'), 71);
}

TEST(FirmwareVersion, TextUsesBitsSixToFourAndThreeToZero) {
    EXPECT_EQ(firmware::versionText(0x24), "V2.4");
    EXPECT_EQ(firmware::versionText(5), "V0.5");
    EXPECT_EQ(firmware::versionText(0x23), "V2.3");
    EXPECT_EQ(firmware::versionText(0xFF), "V7.15");   // bit 7 is not part of the version
}

TEST(FirmwarePackage, PageCountRoundsUp) {
    EXPECT_EQ(firmware::pageCount(0), 0);
    EXPECT_EQ(firmware::pageCount(1), 1);
    EXPECT_EQ(firmware::pageCount(64), 1);
    EXPECT_EQ(firmware::pageCount(65), 2);
    EXPECT_EQ(firmware::pageCount(130), 3);
    EXPECT_EQ(firmware::pageCount(65536), 1024);
    EXPECT_EQ(firmware::pageCount(65537), 1025);
}

TEST(FirmwarePackage, ReadsVersionNotesAndPayload) {
    TempDir dir;
    std::string payload = std::string("\x01\x02\x00\xff\n\r", 6) + std::string(124, 'p');
    std::string path = dir.write("fw.fdt", "[ release 2.4\n2\nFirst note\nSecond note\n" + payload);
    Package package = read(path, true);
    EXPECT_EQ(package.version, 0x24);
    EXPECT_EQ(package.notes, "First note\nSecond note\n");
    EXPECT_EQ(package.payloadSize, 130);
    EXPECT_EQ(std::string(package.payload.begin(), package.payload.end()), payload);
}

TEST(FirmwarePackage, NotesReadAsTextEndTheirLinesWithNewlineAlone) {
    TempDir dir;
    std::string path = dir.write("fw.fdt", "[\r\n2\r\nFirst note\r\nSecond note\r\nPAY\r\nLOAD");
    Package package;
    int error = 0;
    ASSERT_EQ(firmware::readPackage(path, "r", true, package, error), ReadStatus::Ok);
    EXPECT_EQ(package.version, 0x24);
    EXPECT_EQ(package.notes, "First note\nSecond note\n");
    EXPECT_EQ(std::string(package.payload.begin(), package.payload.end()), "PAY\r\nLOAD");

    // Read as bytes, the same lines lead to the same payload, untouched.
    Package bytes = read(path, true);
    EXPECT_EQ(std::string(bytes.payload.begin(), bytes.payload.end()), "PAY\r\nLOAD");
}

// Found by fuzzing: a CR was left in by a doubled CR, and by a long line
// whose 99-character piece ended on it.
TEST(FirmwarePackage, NoCarriageReturnIsLeftBeforeANoteLineEnd) {
    TempDir dir;
    const std::string longLine = std::string(98, 'x') + "\r\n";
    std::string path = dir.write("fw.fdt", "2\n3\nF\r\r\n" + longLine + "tail\r");
    Package package;
    int error = 0;
    ASSERT_EQ(firmware::readPackage(path, "r", false, package, error), ReadStatus::Ok);
    EXPECT_EQ(package.notes, "F\n" + std::string(98, 'x') + "\n");
    EXPECT_EQ(package.payloadSize, 5);
}

TEST(FirmwarePackage, PayloadIsOnlyMeasuredUnlessAskedFor) {
    TempDir dir;
    std::string path = dir.write("fw.fdt", "5\n0\nabcdef");
    Package package = read(path, false);
    EXPECT_EQ(package.version, 5);
    EXPECT_EQ(package.notes, "");
    EXPECT_EQ(package.payloadSize, 6);
    EXPECT_TRUE(package.payload.empty());
}

TEST(FirmwarePackage, LongLinesCountAsSeveralNinetyNineCharacterLines) {
    TempDir dir;
    std::string longNote(150, 'n');
    // Two note lines announced: the 150-character line fills both (99 + 51 with its end).
    std::string path = dir.write("fw.fdt", "1\n2\n" + longNote + "\nPAYLOAD");
    Package package = read(path, true);
    EXPECT_EQ(package.notes, longNote + "\n");
    EXPECT_EQ(std::string(package.payload.begin(), package.payload.end()), "PAYLOAD");

    // A long first line: its second chunk is taken as the note count line.
    std::string path2 = dir.write("fw2.fdt", "7" + std::string(98, 'x') + "3\nnote\nrest");
    Package second = read(path2, true);
    EXPECT_EQ(second.version, 7);
    EXPECT_EQ(second.notes, "note\nrest");
    EXPECT_EQ(second.payloadSize, 0);
}

TEST(FirmwarePackage, NoteCountBeyondTheLinesLeavesNoPayload) {
    TempDir dir;
    std::string path = dir.write("fw.fdt", "1\n9\nonly\ntwo\n");
    Package package = read(path, true);
    EXPECT_EQ(package.notes, "only\ntwo\n");
    EXPECT_EQ(package.payloadSize, 0);
    EXPECT_TRUE(package.payload.empty());
}

TEST(FirmwarePackage, MissingOrNegativeCountMeansNoNotes) {
    TempDir dir;
    Package onlyVersion = read(dir.write("a.fdt", "3"), true);
    EXPECT_EQ(onlyVersion.version, 3);
    EXPECT_EQ(onlyVersion.payloadSize, 0);

    Package negative = read(dir.write("b.fdt", "3\n-4\nXY"), true);
    EXPECT_EQ(negative.notes, "");
    EXPECT_EQ(negative.payloadSize, 2);
}

TEST(FirmwarePackage, OversizedPayloadIsMeasuredButNotLoaded) {
    TempDir dir;
    std::string path = dir.write("big.fdt", "1\n0\n" + std::string(65537, 'z'));
    Package package = read(path, true);
    EXPECT_EQ(package.payloadSize, 65537);
    EXPECT_TRUE(package.payload.empty());

    Package full = read(dir.write("full.fdt", "1\n0\n" + std::string(65536, 'z')), true);
    EXPECT_EQ(full.payloadSize, 65536);
    EXPECT_EQ(full.payload.size(), 65536u);
}

TEST(FirmwarePackage, MissingAndEmptyFilesAreReported) {
    TempDir dir;
    Package package;
    int error = 0;
    EXPECT_EQ(firmware::readPackage(dir.path() + "/absent.fdt", "r", false, package, error),
              ReadStatus::OpenFailed);
    EXPECT_NE(error, 0);
    read(dir.write("empty.fdt", ""), false, ReadStatus::NoVersion);
}

// The format as the reader sees it: only a version character, a plain count
// and text notes make a package; how the payload is judged is the caller's.
TEST(FirmwarePackage, FormatProblemsAreNamed) {
    TempDir dir;
    const std::string payload = "\x01\x02PAYLOAD";
    const struct {
        std::string bytes, problem;
    } cases[] = {
        {"[\n2\nFirst\nSecond\n" + payload, ""},
        {"[\r\n 2 \r\nFirst\tnote\r\nZweite Zeile \xC3\xBC\r\n" + payload, ""},   // tabs, CRs, UTF-8
        {"[\n3 notes\n" + payload, "its second line is not a count of release-note lines"},
        {"[\n123456\n" + payload, "its second line is not a count of release-note lines"},
        {" \n0\n" + payload, "its first character gives no version"},
        {"\x7f\n0\n" + payload, "its first character gives no version"},
        {"[\n2\nok\nbell\x07\n" + payload, "release-note line 2 holds the byte 0x07, which no text holds"},
        {"[\n1\nrub\x7f" "out\n" + payload, "release-note line 1 holds the byte 0x7F, which no text holds"},
        {std::string("[\n1\nnul\0in a note\n", 18) + payload,
         "release-note line 1 holds the byte 0x00, which no text holds"},
        // Only the announced notes must be text: the payload is anything.
        {std::string("[\n1\nnote\n\0\x07\x7f", 12) + payload, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 24));
        for (const char* mode : {"r", "rb"}) {
            Package package;
            int error = 0;
            ASSERT_EQ(firmware::readPackage(dir.write("fw.fdt", c.bytes), mode, true, package, error), ReadStatus::Ok);
            EXPECT_EQ(firmware::formatProblem(package), c.problem);
        }
    }
}
