// The files of the preset subsystem, byte for byte, and the safe ways to
// write them: the 192-byte preset bank of a backup, the ".lop" local preset,
// the "presets.lst" library list, and preset-name checks. No toolkit here.
#pragma once

#include "base/files.h"
#include "presets/Preset.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace presetfiles {


constexpr size_t BankSize = 192;           // 8 records, then 8 titles
constexpr size_t MaxNameLength = 38;       // read back as one line of at most 39 characters

// Folder and file names under the HOMEDRIVE folder.
std::string presetFolder(const std::string& homeDrive);      // ".../Kestrova/Orvella/presets/"
std::string presetPath(const std::string& homeDrive, const std::string& name);
std::string listPath(const std::string& homeDrive);
std::string backupPath(const std::string& homeDrive, const std::tm& date);

// Title of 12 characters: the first 12 of text, padded with spaces; a byte
// that is no title character becomes '?'.
void padTitle(const char* text, uint8_t title[TitleSize]);
// The title as the field shows it: each byte that is no title character
// (from a pedal or a file) as '?', so a stray or cut multi-byte character
// never reaches the display. out holds TitleSize characters, no terminator.
void showableTitle(const uint8_t title[TitleSize], char out[TitleSize]);

// Makes the silent side of a soloed record take the soloed side's
// cabinet bit, speaker and microphone (the left solo wins over the right).
void foldSolo(uint8_t record[BlockSize], bool leftSolo, bool rightSolo);

// Why a name cannot be a preset name, or nullptr when it can: it becomes a
// file name inside the preset folder, so it must never leave that folder.
const char* nameProblem(const std::string& name);

// A local preset as stored in a ".lop" file.
struct LocalPreset {
    std::string name;
    Preset preset;
};
std::vector<uint8_t> encodeLop(const std::string& name, const uint8_t params[BlockSize],
                               const uint8_t title[TitleSize]);
enum class LopStatus { Ok, NoName, BadName, LongName, TooShort, BadPreset };
// Reads the name line, the block and the title; refuses bytes that cannot
// hold them, and a record or title that Preset::check refuses (BadPreset,
// with its reason in `why`).
LopStatus decodeLop(const std::vector<uint8_t>& bytes, LocalPreset& out, std::string* why = nullptr);
// The name line alone (what the library list shows): false when there is none.
bool lopName(const std::vector<uint8_t>& bytes, std::string& name);

constexpr size_t MaxLopSize = 4096;         // far above any preset file; stops a stray pick early

// "presets.lst": one path per line. Reading drops line ends and empty lines.
std::vector<std::string> readList(const std::string& path);
bool writeList(const std::string& path, const std::vector<std::string>& lines, int* err = nullptr);
bool appendToList(const std::string& path, const std::string& line, int* err = nullptr);

// A backup file must hold exactly one preset bank.
enum class BankStatus { Ok, CannotOpen, WrongSize };
BankStatus readBank(const std::string& path, uint8_t bank[BankSize], long* size, int* err);

// What stops a bank (a backup, the factory master) from going to a pedal:
// the first preset (0..7) that Preset::check refuses, and why ("its left
// microphone is 99, above 62"). A bank that passes is sent as it is; one
// that does not is refused before anything is sent.
struct BankProblem {
    int preset = -1;        // -1: none
    std::string why;
    explicit operator bool() const { return preset >= 0; }
};
BankProblem checkBank(const uint8_t bank[BankSize]);

}  // namespace presetfiles
