// Speaker numbering: a speaker byte is its category's base plus the position of
// its item in that category's flattened menu (header, then per model a submenu
// title, its items and an end marker; a label without '/' is one plain item).
// This table is shared by the Dashboard (menus), the sound model (coefficient
// records) and the parameter block checks.
#pragma once

#include <cstdint>

namespace sound {

enum SpeakerCategory { GuitarCategory = 0, BassCategory, GearsCategory, MiscCategory, CategoryCount };

// The categories' names, as the Dashboard's category buttons show them:
// "Guitar", "Bass", "Gears", "Misc".
extern const char* const categoryNames[CategoryCount];

// Byte values with a special meaning.
enum : int {
    FullRangeSpeaker = 70,      // flat response; its side's microphone wheel is disabled
    HighestSpeaker = 77,
    SpeakerTableSize = 78,
};

}  // namespace sound

// One category's menu as the Dashboard builds it: the header is added inactive
// with a divider, then every label in order. An empty label is an inactive
// separator entry (Guitar only).
struct SpeakerMenuList {
    const char* header;
    const char* const* labels;
    int count;
    int base;                   // 0, 40, 59, 69
};

const SpeakerMenuList& speakerMenu(sound::SpeakerCategory category);
int categoryBase(sound::SpeakerCategory category);

// Classifies any byte by range: up to 40 Guitar, 41..59 Bass, 60..69 Gears,
// 70 and above Misc.
sound::SpeakerCategory speakerCategory(int speakerByte);

// True for the bytes that name a menu item (not a header, submenu title, end
// marker or separator, and not above 77).
bool isSelectableSpeaker(int speakerByte);

// Record number in the speaker's coefficient set; 0 for unselectable bytes.
int speakerRecordIndex(int speakerByte);

// Bytes above 60 (Gears and Misc) use the gears-and-misc set and have no
// cabinet type; the others use the sealed or opened set by the cabinet bit.
inline bool speakerHasCabinet(int speakerByte) { return speakerByte <= 60; }

// The byte chosen when a side switches to a category it has never used:
// Guitar 3 on the left and 23 on the right, Bass 42, Gears 61, Misc 70.
int categoryDefaultSpeaker(sound::SpeakerCategory category, int side);

// Maps a byte that names no selectable item to its category's default for the side.
int selectableSpeakerOr(int speakerByte, int side);

// The menu label of a selectable byte (the item text after the '/'), or nullptr.
const char* speakerLabel(int speakerByte);

// Per side and per category, the menu position last chosen (the Dashboard's
// category memories). Defaults: Guitar 3 left / 23 right, Bass 2, Gears 2, Misc 1.
struct CategoryMemory {
    int position[2][sound::CategoryCount];

    CategoryMemory();
    // Remembers a selectable byte's position in its category for the side.
    void remember(int side, int speakerByte);
    // The speaker byte to select when the side switches to the category.
    int speakerFor(int side, sound::SpeakerCategory category) const;
};
