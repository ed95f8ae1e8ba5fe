#include "sound/Speakers.h"

#include <cstring>

using namespace sound;

const char* const sound::categoryNames[CategoryCount] = {"Guitar", "Bass", "Gears", "Misc"};

namespace {

const char* const guitarLabels[] = {
    " Clst Vintage30/ Clst Vintage30 - 10 inch ", " Clst Vintage30/ Clst Vintage30 - 12 inch ",
    " Jens Vintage C/ Jens Vintage C - 10 inch ", " Jens Vintage C/ Jens Vintage C - 12 inch ",
    " Emin Legend B/ Emin Legend B - 10 inch ", " Emin Legend B/ Emin Legend B - 12 inch ",
    " Clst Vintage60/ Clst Vintage60 - 10 inch ", " Clst Vintage60/ Clst Vintage60 - 12 inch ",
    " Emin Patriots/ Emin Patriots - 10 inch ", " Emin Patriots/ Emin Patriots - 12 inch ",
    "",
    " Clst Cream/ Clst Cream - 10 inch ", " Clst Cream/ Clst Cream - 12 inch ",
    " Clst Vintage10/ Clst Vintage10 - 10 inch ", " Clst Vintage10/ Clst Vintage10 - 12 inch ",
    " Clst Green/ Clst Green - 10 inch ", " Clst Green/ Clst Green - 12 inch ",
    " Fano A60/ Fano A60 - 10 inch ", " Fano A60/ Fano A60 - 12 inch ",
    " Fano A90/ Fano A90 - 10 inch ", " Fano A90/ Fano A90 - 12 inch ",
};

const char* const bassLabels[] = {
    " Clst Pulser/ Clst Pulser - 10 inch ", " Clst Pulser/ Clst Pulser - 15 inch ",
    " Emin Legend BP102/ Emin Legend BP102 - 10 inch ", " Emin Legend BP102/ Emin Legend BP102 - 15 inch ",
    " Emin Legend B810/ Emin Legend B810 - 10 inch ", " Emin Legend B810/ Emin Legend B810 - 15 inch ",
    " Jens Punchy/ Jens Punchy - 10 inch ", " Jens Punchy/ Jens Punchy - 12 inch ",
    " Jens Smooth/ Jens Smooth - 10 inch ", " Jens Smooth/ Jens Smooth - 15 inch ",
};

const char* const gearsLabels[] = {
    " Palm09/ Palm09 - Normal ", " Palm09/ Palm09 - Bright ", " 5-Twin", " Ultra", " Crimson Box",
    " Cabzilla/ Cabzilla - Punchy ", " Cabzilla/ Cabzilla - Bright ",
};

const char* const miscLabels[] = {
    " Full Range Speaker", " Telephone/ Telephone - Type-A ", " Telephone/ Telephone - Type-B ",
    " Telephone/ Telephone - Type-C ", " Megaphone", " Horn",
};

#define COUNT(a) int(sizeof(a) / sizeof(a[0]))
const SpeakerMenuList menus[CategoryCount] = {
    {" G U I T A R", guitarLabels, COUNT(guitarLabels), 0},
    {" B A S S", bassLabels, COUNT(bassLabels), 40},
    {" G E A R S", gearsLabels, COUNT(gearsLabels), 59},
    {" MISCELLANEOUS", miscLabels, COUNT(miscLabels), 69},
};
#undef COUNT

// -1 marks bytes that name no item.
const int recordOf[SpeakerTableSize] = {
    -1, -1, 0, 1, -1, -1, 2, 3, -1, -1,            // 0..9
    4, 5, -1, -1, 6, 7, -1, -1, 8, 9,              // 10..19
    -1, -1, -1, 10, 11, -1, -1, 12, 13, -1,        // 20..29
    -1, 14, 15, -1, -1, 16, 17, -1, -1, 18,        // 30..39
    19, -1, 20, 21, -1, -1, 22, 23, -1, -1,        // 40..49
    24, 25, -1, -1, 26, 27, -1, -1, 28, 29,        // 50..59
    -1, 0, 1, -1, 2, 3, 4, -1, 5, 6,               // 60..69
    7, -1, 8, 9, 10, -1, 11, 12,                   // 70..77
};

}  // namespace

int speakerRecordIndex(int b)
{
    return isSelectableSpeaker(b) ? recordOf[b] : 0;
}

const SpeakerMenuList& speakerMenu(SpeakerCategory category) { return menus[category]; }

int categoryBase(SpeakerCategory category) { return menus[category].base; }

SpeakerCategory speakerCategory(int b)
{
    if (b <= 40) return GuitarCategory;
    if (b <= 59) return BassCategory;
    if (b <= 69) return GearsCategory;
    return MiscCategory;
}

bool isSelectableSpeaker(int b)
{
    return b >= 0 && b < SpeakerTableSize && recordOf[b] >= 0;
}

int categoryDefaultSpeaker(SpeakerCategory category, int side)
{
    switch (category) {
    case GuitarCategory: return side == 0 ? 3 : 23;
    case BassCategory: return 42;
    case GearsCategory: return 61;
    default: return FullRangeSpeaker;
    }
}

int selectableSpeakerOr(int b, int side)
{
    return isSelectableSpeaker(b) ? b : categoryDefaultSpeaker(speakerCategory(b), side);
}

const char* speakerLabel(int b)
{
    if (!isSelectableSpeaker(b)) return nullptr;
    // Walk the category's flattened menu until the byte's position.
    const SpeakerMenuList& menu = menus[speakerCategory(b)];
    int position = 0;  // the header
    const char* open = nullptr;
    size_t openLen = 0;
    for (int i = 0; i < menu.count; ++i) {
        const char* label = menu.labels[i];
        const char* slash = std::strchr(label, '/');
        if (!slash) {
            if (open) { ++position; open = nullptr; }  // end marker of the open submenu
            if (++position == b - menu.base) return label;
            continue;
        }
        size_t len = size_t(slash - label);
        if (!open || len != openLen || std::strncmp(open, label, len) != 0) {
            if (open) ++position;  // end marker
            ++position;            // submenu title
            open = label;
            openLen = len;
        }
        if (++position == b - menu.base) return slash + 1;
    }
    return nullptr;
}

CategoryMemory::CategoryMemory()
{
    for (int side = 0; side < 2; ++side)
        for (int c = 0; c < CategoryCount; ++c)
            position[side][c] = categoryDefaultSpeaker(SpeakerCategory(c), side) - menus[c].base;
}

void CategoryMemory::remember(int side, int b)
{
    if (!isSelectableSpeaker(b)) return;
    SpeakerCategory c = speakerCategory(b);
    position[side][c] = b - menus[c].base;
}

int CategoryMemory::speakerFor(int side, SpeakerCategory category) const
{
    return menus[category].base + position[side][category];
}
