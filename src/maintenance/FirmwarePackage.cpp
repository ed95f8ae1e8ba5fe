#include "maintenance/FirmwarePackage.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace firmware {

uint8_t versionByte(unsigned char first) {
    int v = first < ':' ? first - 48 : first - 55;
    return static_cast<uint8_t>(v);
}

std::string versionText(uint8_t version) {
    char text[16];
    snprintf(text, sizeof text, "V%d.%d", (version >> 4) & 7, version & 0x0F);
    return text;
}

long pageCount(long payloadSize) {
    return payloadSize <= 0 ? 0 : (payloadSize + kPageSize - 1) / kPageSize;
}

namespace {

// Closes the file on every way out of readPackage.
struct FileCloser {
    FILE* file;
    ~FileCloser() { if (file) fclose(file); }
};

// Digits alone, blanks around them and the line end allowed; a count no
// package needs (six digits or more) is no count either.
bool isPlainCount(const char* line) {
    const char* p = line;
    while (*p == ' ' || *p == '\t') ++p;
    const char* digits = p;
    while (*p >= '0' && *p <= '9') ++p;
    long n = p - digits;
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
    return n > 0 && n < 6 && *p == '\0';
}

// A byte that a line of text never holds.
bool isTextByte(unsigned char c) { return c >= 0x20 ? c != 0x7F : c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string formatProblem(const Package& package) {
    if (package.version > versionByte('~')) return "its first character gives no version";
    if (!package.plainCount) return "its second line is not a count of release-note lines";
    if (package.badNoteLine > 0) {
        char why[96];
        snprintf(why, sizeof why, "release-note line %d holds the byte 0x%02X, which no text holds",
                 package.badNoteLine, package.badNoteByte);
        return why;
    }
    return std::string();
}

ReadStatus readPackage(const std::string& path, const char* mode, bool withPayload,
                       Package& package, int& error) {
    package = Package();
    error = 0;
    errno = 0;
    // Always the bytes ('b' changes nothing on POSIX systems): a Windows
    // text-mode stream here would end at a 0x1A byte of the payload and count
    // "\r\n" as one character, so the measured size would not be what is
    // read. Text reading is the CR removal below, the same on every system.
    const std::string openMode = std::strchr(mode, 'b') ? std::string(mode) : std::string(mode) + "b";
    FILE* file = fopen(path.c_str(), openMode.c_str());
    if (!file) {
        error = errno;
        return ReadStatus::OpenFailed;
    }
    FileCloser closer{file};
    return readPackage(file, std::strchr(mode, 'b') == nullptr, withPayload, package, error);
}

ReadStatus readPackage(FILE* file, bool text, bool withPayload, Package& package, int& error) {
    package = Package();
    error = 0;
    errno = 0;
    char line[kLineBuffer];
    if (!fgets(line, sizeof line, file)) {
        error = errno;
        return ferror(file) ? ReadStatus::ReadFailed : ReadStatus::NoVersion;
    }
    package.version = versionByte(static_cast<unsigned char>(line[0]));

    // Read as text, the notes end their lines with "\n" alone, as the C
    // library gives them on the systems packages are written on; a "\r" left
    // in would show as a stray glyph at the end of every note.
    // A missing count line means no notes.
    int noteLines = 0;
    if (fgets(line, sizeof line, file)) {
        noteLines = atoi(line);
        package.plainCount = isPlainCount(line);
    }
    for (int i = 0; i < noteLines; ++i) {
        long before = ftell(file);
        if (!fgets(line, sizeof line, file)) break;   // fewer lines than announced
        // A NUL ends the piece early for strlen: the bytes read tell.
        long read = ftell(file) - before;
        size_t length = strlen(line);
        for (size_t k = 0; package.badNoteLine == 0 && k < length; ++k)
            if (!isTextByte(static_cast<unsigned char>(line[k]))) {
                package.badNoteLine = i + 1;
                package.badNoteByte = static_cast<unsigned char>(line[k]);
            }
        if (package.badNoteLine == 0 && before >= 0 && read > static_cast<long>(length)) {
            package.badNoteLine = i + 1;
            package.badNoteByte = 0;
        }
        package.notes += line;
    }
    // Every CR before a line end goes, also one of several ("\r\r\n") and one
    // that ended a 99-character piece of a longer line.
    if (text) {
        std::string notes;
        for (char c : package.notes) {
            if (c == '\n')
                while (!notes.empty() && notes.back() == '\r') notes.pop_back();
            notes += c;
        }
        package.notes.swap(notes);
    }
    if (ferror(file)) {
        error = errno;
        return ReadStatus::ReadFailed;
    }

    long start = ftell(file);
    if (start < 0 || fseek(file, 0, SEEK_END) != 0) {
        error = errno;
        return ReadStatus::ReadFailed;
    }
    long end = ftell(file);
    if (end < start || fseek(file, start, SEEK_SET) != 0) {
        error = errno;
        return ReadStatus::ReadFailed;
    }
    package.payloadSize = end - start;

    if (withPayload && package.payloadSize <= kMaxPayload) {
        package.payload.resize(static_cast<size_t>(package.payloadSize));
        size_t got = package.payload.empty()
                         ? 0 : fread(package.payload.data(), 1, package.payload.size(), file);
        if (got != package.payload.size()) {
            // The file shrank or failed under us: never send a partial payload.
            error = ferror(file) ? errno : EIO;
            package.payload.clear();
            return ReadStatus::ReadFailed;
        }
    }
    return ReadStatus::Ok;
}

}  // namespace firmware
