#include "presets/PresetFiles.h"

#include "base/files.h"

#include "sound/Params.h"
#include "sound/Speakers.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <optional>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace presetfiles {

std::string presetFolder(const std::string& homeDrive) { return files::presetFolder(homeDrive); }

std::string presetPath(const std::string& homeDrive, const std::string& name) {
    return presetFolder(homeDrive) + name + ".lop";
}

std::string listPath(const std::string& homeDrive) { return presetFolder(homeDrive) + "presets.lst"; }

std::string backupPath(const std::string& homeDrive, const std::tm& date) {
    char name[64];
    std::snprintf(name, sizeof name, "Drevani_Backup_%02d-%02d-%d.bkp", date.tm_mon + 1, date.tm_mday,
                  date.tm_year + 1900);
    return presetFolder(homeDrive) + name;
}

const char* titleProblem(const std::string& text) {
    size_t characters = 0;
    bool plain = true;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) ++characters;   // a UTF-8 continuation byte adds no character
        if (!isTitleChar(c)) plain = false;
    }
    if (!plain) return "a title holds printable ASCII only (letters, digits, punctuation and spaces)";
    if (characters > TitleSize) return "a title holds at most 12 characters";
    return nullptr;
}

void padTitle(const char* text, uint8_t title[TitleSize]) {
    size_t i = 0;
    for (; text && text[i] && i < TitleSize; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        title[i] = isTitleChar(c) ? c : '?';
    }
    for (; i < TitleSize; ++i) title[i] = ' ';
}

void showableTitle(const uint8_t title[TitleSize], char out[TitleSize]) {
    for (size_t i = 0; i < TitleSize; ++i) out[i] = isTitleChar(title[i]) ? static_cast<char>(title[i]) : '?';
}

void foldSolo(uint8_t record[BlockSize], bool leftSolo, bool rightSolo) {
    if (leftSolo || rightSolo) ::foldSolo(record, leftSolo ? 0 : 1, record);
}

const char* nameProblem(const std::string& name) {
    if (name.find_first_not_of(' ') == std::string::npos) return "The preset name is empty.";
    if (name.size() > MaxNameLength) return "The preset name is longer than 38 characters.";
    if (name == "." || name == "..") return "The preset name cannot be \".\" or \"..\".";
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) return "The preset name contains a control character.";
        // Refused by one file system or another: preset files travel between users.
        if (std::strchr("/\\:*?\"<>|", c)) return "The preset name cannot contain any of  / \\ : * ? \" < > |";
    }
    return nullptr;
}

std::vector<uint8_t> encodeLop(const std::string& name, const uint8_t params[BlockSize],
                               const uint8_t title[TitleSize]) {
    std::vector<uint8_t> bytes(name.begin(), name.end());
    bytes.push_back('\n');
    bytes.insert(bytes.end(), params, params + BlockSize);
    bytes.insert(bytes.end(), title, title + TitleSize);
    return bytes;
}

bool lopName(const std::vector<uint8_t>& bytes, std::string& name) {
    size_t limit = std::min(bytes.size(), MaxNameLength + 1);
    for (size_t i = 0; i < limit; ++i)
        if (bytes[i] == '\n') {
            name.assign(bytes.begin(), bytes.begin() + static_cast<long>(i));
            return true;
        }
    return false;
}

LopStatus decodeLop(const std::vector<uint8_t>& bytes, LocalPreset& out, std::string* why) {
    std::string name;
    if (!lopName(bytes, name)) {
        // A name line that goes on past the longest name is no short file.
        bool lineEnds = std::find(bytes.begin(), bytes.end(), '\n') != bytes.end();
        return lineEnds ? LopStatus::LongName : LopStatus::NoName;
    }
    if (nameProblem(name)) return LopStatus::BadName;
    size_t start = name.size() + 1;
    if (bytes.size() < start + BlockSize + TitleSize) return LopStatus::TooShort;
    std::string problem;
    std::optional<Preset> preset = Preset::check(&bytes[start], &bytes[start + BlockSize], problem);
    if (!preset) {
        if (why) *why = problem;
        return LopStatus::BadPreset;
    }
    out.name = name;
    out.preset = *preset;
    return LopStatus::Ok;
}

std::vector<std::string> readList(const std::string& path) {
    std::vector<std::string> lines;
    std::vector<uint8_t> bytes;
    if (!files::readFile(path, bytes)) return lines;
    std::string line;
    for (uint8_t b : bytes) {
        if (b == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) lines.push_back(line);
            line.clear();
        } else {
            line.push_back(static_cast<char>(b));
        }
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
    return lines;
}

bool writeList(const std::string& path, const std::vector<std::string>& lines, int* err) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return files::writeFileAtomically(path, text.data(), text.size(), err);
}

bool appendToList(const std::string& path, const std::string& line, int* err) {
    // Rewriting the whole list keeps the old one intact if anything fails;
    // the list holds a few hundred short lines at most.
    // A list that exists but cannot be read is left alone rather than
    // replaced by one holding only the new line.
    std::vector<uint8_t> bytes;
    int readError = 0;
    if (!files::readFile(path, bytes, &readError) && readError != ENOENT) {
        if (err) *err = readError;
        return false;
    }
    if (!bytes.empty() && bytes.back() != '\n') bytes.push_back('\n');
    bytes.insert(bytes.end(), line.begin(), line.end());
    bytes.push_back('\n');
    return files::writeFileAtomically(path, bytes.data(), bytes.size(), err);
}

BankStatus readBank(const std::string& path, uint8_t bank[BankSize], long* size, int* err) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        if (err) *err = errno;
        return BankStatus::CannotOpen;
    }
    // One byte more than a bank tells a long file from a bank; its size comes from the end.
    uint8_t bytes[BankSize + 1];
    size_t n = std::fread(bytes, 1, sizeof bytes, f);
    bool readError = std::ferror(f) != 0;
    if (readError && err) *err = errno ? errno : EIO;
    long total = static_cast<long>(n);
    if (n > BankSize && std::fseek(f, 0, SEEK_END) == 0) total = std::ftell(f);
    std::fclose(f);
    if (readError) return BankStatus::CannotOpen;
    if (size) *size = total;
    if (n != BankSize) return BankStatus::WrongSize;
    std::memcpy(bank, bytes, BankSize);
    return BankStatus::Ok;
}

namespace {

using namespace sound;

const char* const fieldNames[ParamCount] = {"flags",        "left speaker", "right speaker", "left microphone",
                                            "right microphone", "left volume", "right volume", "left blend",
                                            "right blend",  "delay",        "room time",     "room depth"};

std::string recordProblem(const uint8_t* record) {
    char why[96];
    for (int i = 0; i < ParamCount; ++i) {
        int value = record[i];
        if ((i == Speaker_L || i == Speaker_R) && !isSelectableSpeaker(value)) {
            std::snprintf(why, sizeof why, "its %s is %d, which names no speaker", fieldNames[i], value);
            return why;
        }
        int top = paramMax(i, record[Flags]);
        if (value > top) {
            std::snprintf(why, sizeof why, "its %s is %d, above %d%s", fieldNames[i], value, top,
                          i == Delay && (record[Flags] & FlagUltraShort) ? " (ultra-short range)" : "");
            return why;
        }
    }
    return std::string();
}

}  // namespace

Preset::Preset() {
    std::copy(defaultParams, defaultParams + BlockSize, record_.begin());
    const char untitled[] = "Untitled    ";
    std::copy(untitled, untitled + TitleSize, title_.begin());
}

std::optional<Preset> Preset::check(const uint8_t record[BlockSize], const uint8_t title[TitleSize],
                                    std::string& why) {
    why = recordProblem(record);
    for (size_t c = 0; why.empty() && c < TitleSize; ++c) {
        if (isTitleChar(title[c])) continue;
        char text[80];
        std::snprintf(text, sizeof text, "its title holds the %s byte 0x%02X at character %zu",
                      title[c] < 0x20 || title[c] == 0x7F ? "control" : "non-ASCII", title[c], c + 1);
        why = text;
    }
    if (!why.empty()) return std::nullopt;
    Preset preset;
    std::copy(record, record + BlockSize, preset.record_.begin());
    std::copy(title, title + TitleSize, preset.title_.begin());
    return preset;
}

std::optional<Preset> Preset::check(const uint8_t record[BlockSize], const std::string& title, std::string& why) {
    if (const char* problem = titleProblem(title)) {
        why = std::string("its title: ") + problem;
        return std::nullopt;
    }
    uint8_t padded[TitleSize];
    padTitle(title.c_str(), padded);
    return check(record, padded, why);
}

BankProblem checkBank(const uint8_t bank[BankSize]) {
    BankProblem problem;
    for (int i = 0; i < 8; ++i) {
        if (!Preset::check(bank + BlockSize * i, bank + 8 * BlockSize + TitleSize * i, problem.why)) {
            problem.preset = i;
            return problem;
        }
    }
    return problem;
}

}  // namespace presetfiles
