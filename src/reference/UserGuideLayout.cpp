#include "reference/UserGuideLayout.h"

#include <cstring>

#include "base/platform.h"

namespace userguide {

namespace {
const char* const blank = " ";
const char* const rule = "~~~~~~~~~~~~~~~";
}  // namespace

const Topic topics[TopicCount] = {
    {blank, -1},
    {" - Basic Setup", 0},
    {blank, -1},
    {" - Introduction", 450},
    {blank, -1},
    {" - F.A.Q", 880},
    {rule, -1},
    {" - MODES :", 1330},
    {"    > Stereo Cabs", 1410},
    {"    > Stereo Mics", 2210},
    {rule, -1},
    {" - Speakers", 3100},
    {blank, -1},
    {" - Cabinet", 3550},
    {blank, -1},
    {" - Mic Position", 4000},
    {blank, -1},
    {" - Volume", 4450},
    {blank, -1},
    {" - Blend : S-Cab", 4900},
    {"            : S-Mic", 5350},
    {blank, -1},
    {" - Delay", 5800},
    {blank, -1},
    {" - Room Emulation", 6250},
    {rule, -1},
    {" - 'SOLO' function", 7100},
    {"    > usage 1", 7135},
    {"    > usage 2", 7485},
    {rule, -1},
    {" - Local Preset", 7935},
    {"    > option 1", 8135},
    {"    > option 2", 8315},
    {"    > preset sharing", 8705},
};

const char* windowsFileFormat(int n) { return n == 0 ? "%s/ug_setup_windows_(615x377).png" : nullptr; }

const char* fileFormat(int n) {
    if (platform::isWindows())
        if (const char* own = windowsFileFormat(n)) return own;
    return pictures[n].fileFormat;
}

bool isSpacer(const char* text) { return std::strcmp(text, blank) == 0 || std::strcmp(text, rule) == 0; }

#define PIC(file, x, y, w, h, iw, ih) {file, x, y, w, h, y, h, iw, ih}

const Picture pictures[PictureCount] = {
    {"%s/ug_setup_(615x377).png", 180, 0 + 110, 615, 377, 0 + 90, 397, 615, 377},
    PIC("%s/ug_intro_(513x369).png", 230, 450 + 110, 513, 369, 513, 369),
    PIC("%s/ug_faq_(612x369).png", 180, 880 + 110, 612, 369, 612, 369),
    PIC("%s/ug_scab_(566x381).png", 200, 1330 + 100, 566, 381, 566, 381),
    PIC("%s/ug_scab_pic_(410x140).png", 280, 1330 + 315, 410, 140, 410, 140),
    PIC("%s/ug_scab_dgr_(566x350).png", 278, 1330 + 480, 410, 350, 566, 350),
    PIC("%s/ug_smic_(566x382).png", 200, 2210 + 100, 566, 382, 566, 382),
    PIC("%s/ug_smic_pic_(410x245).png", 280, 2210 + 225, 410, 245, 410, 245),
    PIC("%s/ug_smic_dgr_(566x350).png", 201, 2210 + 480, 566, 350, 566, 350),
    PIC("%s/ug_speakers_(475x372).png", 240, 3100 + 110, 475, 372, 475, 372),
    PIC("%s/ug_cab_(479x270).png", 240, 3550 + 110, 479, 270, 479, 270),
    PIC("%s/ug_cab_pic_(390x48).png", 325, 3550 + 190, 301, 39, 390, 48),
    PIC("%s/ug_mic_pic_(410x338).jpg", 265, 4000 + 120, 410, 338, 410, 338),
    PIC("%s/ug_volume_(516x366).png", 220, 4450 + 120, 516, 366, 516, 366),
    PIC("%s/ug_volume_pic_(279x58).png", 335, 4450 + 235, 279, 58, 279, 58),
    PIC("%s/ug_blend_scab_(565x369).png", 200, 4900 + 105, 565, 369, 565, 369),
    PIC("%s/ug_blend_smic_(566x358).png", 200, 5350 + 105, 566, 358, 566, 358),
    PIC("%s/ug_delay_(566x383).png", 200, 5800 + 105, 566, 383, 566, 383),
    PIC("%s/ug_delay_pic (519x56).png", 225, 5800 + 340, 519, 56, 519, 56),
    PIC("%s/ug_room_1_(566x385).png", 200, 6250 + 105, 566, 385, 566, 385),
    PIC("%s/ug_room_2_(566x368).png", 200, 6250 + 490, 566, 368, 566, 368),
    PIC("%s/ug_solo_1_(565x385).png", 200, 7100 + 105, 565, 385, 565, 385),
    PIC("%s/ug_solo_pic1_(158x116).png", 265, 7100 + 270, 158, 116, 158, 116),
    PIC("%s/ug_solo_pic2_(159x116).png", 515, 7100 + 270, 159, 116, 159, 116),
    PIC("%s/ug_solo_2_(566x376).png", 200, 7485 + 105, 566, 376, 566, 376),
    PIC("%s/ug_solo_pic3_(402x186).png", 270, 7485 + 115, 402, 186, 402, 186),
    PIC("%s/ug_local_preset_1_(566x384).png", 195, 7935 + 105, 566, 384, 566, 384),
    PIC("%s/ug_local_preset_pic_(347x31).png", 280, 7935 + 225, 347, 31, 347, 31),
    PIC("%s/ug_local_preset_2_(566x368).png", 195, 8315 + 109, 566, 368, 566, 368),
    PIC("%s/ug_local_preset_3_(566x376).png", 195, 8705 + 88, 566, 376, 566, 376),
};

#undef PIC

}  // namespace userguide
