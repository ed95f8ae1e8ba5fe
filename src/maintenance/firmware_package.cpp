#include "maintenance/firmware_package.h"

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

}  // namespace

ReadStatus readPackage(const std::string& path, const char* mode, bool withPayload,
                       Package& package, int& error) {
    package = Package();
    error = 0;
    errno = 0;
#ifdef _WIN32
    // Always the bytes: a text-mode stream here would end at a 0x1A byte of
    // the payload and count "\r\n" as one character, so the measured size
    // would not be what is read. Text reading is the CR removal below, the
    // same on every system.
    const std::string openMode = std::strchr(mode, 'b') ? std::string(mode) : std::string(mode) + "b";
    FILE* file = fopen(path.c_str(), openMode.c_str());
#else
    FILE* file = fopen(path.c_str(), mode);
#endif
    if (!file) {
        error = errno;
        return ReadStatus::OpenFailed;
    }
    FileCloser closer{file};

    char line[kLineBuffer];
    if (!fgets(line, sizeof line, file)) {
        error = errno;
        return ferror(file) ? ReadStatus::ReadFailed : ReadStatus::NoVersion;
    }
    package.version = versionByte(static_cast<unsigned char>(line[0]));

    // Read as text, the notes end their lines with "\n" alone, as the C
    // library gives them on the systems packages are written on; a "\r" left
    // in would show as a stray glyph at the end of every note.
    const bool text = strchr(mode, 'b') == nullptr;
    // A missing count line means no notes.
    int noteLines = fgets(line, sizeof line, file) ? atoi(line) : 0;
    for (int i = 0; i < noteLines; ++i) {
        if (!fgets(line, sizeof line, file)) break;   // fewer lines than announced
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
