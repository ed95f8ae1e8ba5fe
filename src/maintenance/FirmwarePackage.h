// The firmware package (.fdt): a version line, a count of release-note lines,
// the notes, then the raw firmware payload to the end of the file.
// Plain C++ so that it can be read and tested without a display.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace firmware {

constexpr unsigned kPageSize = 64;
// Pages are addressed with 16 bits, so 1,024 pages of 64 bytes at most.
constexpr long kMaxPayload = 65536;
// Lines are read with a 100-byte buffer: a longer line counts as several.
constexpr int kLineBuffer = 100;

// The version byte from the first character of the package: '0'..'9' give
// 0..9, characters from ':' on give c - 55 (so 'A' is 10 and '[' is 0x24).
uint8_t versionByte(unsigned char first);

// "V<major>.<minor>" with major = bits 6-4 and minor = bits 3-0.
std::string versionText(uint8_t version);

// Number of 64-byte pages a payload of the given size needs.
long pageCount(long payloadSize);

struct Package {
    uint8_t version = 0;
    std::string notes;              // the note lines, each with its line end
    long payloadSize = 0;           // bytes after the notes
    std::vector<uint8_t> payload;   // only filled when asked for
    // What the reader saw of the format, for formatProblem: whether line 2
    // is a plain decimal count (digits alone, blanks around them allowed),
    // and the first note line (1-based, in 99-character pieces) holding a
    // byte that no text holds, with that byte (0: none).
    bool plainCount = false;
    int badNoteLine = 0;
    int badNoteByte = 0;
};

enum class ReadStatus {
    Ok,
    OpenFailed,   // the file could not be opened (error holds errno)
    NoVersion,    // the file is empty: there is no version line
    ReadFailed,   // a read or seek failed part-way (error holds errno)
};

// Why a package that was read does not follow the format, or "" when it
// does: its first character gives no version (only '0' to '~' do), its
// second line is no plain count of note lines, or a note line holds a control
// byte (other than tab and the line end) or a NUL, as a binary file would.
// An empty or oversized payload is for the caller to judge (see kMaxPayload).
std::string formatProblem(const Package& package);

// Reads the package at path, opened with mode ("r" to show the notes, which
// then end their lines with "\n" even where the file has "\r\n"; "rb" for
// the payload). The payload bytes are loaded only when
// withPayload is set and the payload is at most kMaxPayload bytes;
// payloadSize is always measured.
ReadStatus readPackage(const std::string& path, const char* mode, bool withPayload,
                       Package& package, int& error);
// The same from an open file that can seek (`text`: the notes as with "r").
ReadStatus readPackage(std::FILE* file, bool text, bool withPayload, Package& package, int& error);

}  // namespace firmware
