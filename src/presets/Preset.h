// One preset as a pedal holds it: a 12-byte parameter record and its 12-byte
// title, checked where it is made. Plain C++ (library orvella_preset_files,
// which needs only the sound model): what any program that takes a preset
// from a file, a command line or saved state includes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace presetfiles {

constexpr size_t BlockSize = 12;           // parameter record
constexpr size_t TitleSize = 12;           // space-padded, no terminator

// The pedal stores a title as 12 single bytes: printable ASCII is all it
// (and the title field) takes.
inline bool isTitleChar(unsigned char c) { return c >= 0x20 && c <= 0x7e; }
// Why a text typed for a title cannot be stored as it stands, or nullptr when
// it can: it must hold printable ASCII only and at most 12 characters
// (counted as characters, so a UTF-8 text is not measured in bytes).
const char* titleProblem(const std::string& text);

// A record and title a pedal can take as they are: every record byte in the
// range the sound model gives it (a speaker byte names a speaker), every
// title byte printable ASCII. Nothing else can be made one, so whatever
// holds a Preset holds one that is sent, stored and shown unchanged.
class Preset {
public:
    // The one door: the preset, or nothing and `why` says what stops it
    // ("its left speaker is 250, which names no speaker").
    static std::optional<Preset> check(const uint8_t record[BlockSize], const uint8_t title[TitleSize],
                                       std::string& why);
    // The same with the title typed as text (titleProblem's rule), padded with spaces.
    static std::optional<Preset> check(const uint8_t record[BlockSize], const std::string& title, std::string& why);

    // The Dashboard's starting sound, titled "Untitled".
    Preset();

    const uint8_t* record() const { return record_.data(); }
    const uint8_t* title() const { return title_.data(); }
    bool operator==(const Preset& other) const { return record_ == other.record_ && title_ == other.title_; }

private:
    std::array<uint8_t, BlockSize> record_;
    std::array<uint8_t, TitleSize> title_;
};

}  // namespace presetfiles
