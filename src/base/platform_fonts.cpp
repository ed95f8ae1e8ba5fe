// The platform's side of the layout fonts (shell/fonts.cpp): whether a face
// family is there to be named, and text drawn as wide as it is measured.
#include "base/platform.h"

#ifndef _WIN32
#include <fontconfig/fontconfig.h>

#include <cstring>

namespace platform {

bool preferFontFamily(const char* family) {
    // Whether fontconfig resolves the family to itself (not to a fallback).
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
    if (!pattern) return false;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    bool found = false;
    FcChar8* name = nullptr;
    if (match && FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch)
        found = std::strcmp(reinterpret_cast<const char*>(name), family) == 0;
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return found;
}

void drawTextAsMeasured() {}

}  // namespace platform
#else
#include <FL/Enumerations.H>
#include <FL/Fl_Device.H>
#include <FL/fl_utf8.h>
#include <FL/x.H>

#include <vector>

namespace {

// GDI measures a text in whole pixels per letter (fl_width adds those up),
// but may draw the letters elsewhere: Wine places them by the font's
// unrounded advances, up to a few pixels further right by the end of a
// line. The status log clears the rest of each line from the measured end
// of its text and wraps by measured widths, so the last letters of its lines
// were cut. This driver puts every letter at its measured advance: what is
// drawn is exactly as wide as what is measured.
class MeasuredTextDriver : public Fl_GDI_Graphics_Driver {
public:
    using Fl_GDI_Graphics_Driver::draw;
    void draw(const char* str, int n, int x, int y) override {
        text_.clear();
        advances_.clear();
        if (!font_descriptor()) font(FL_HELVETICA, FL_NORMAL_SIZE);
        const char* end = str + n;
        for (const char* p = str; p < end;) {
            int length = 0;
            unsigned ucs = fl_utf8decode(p, end, &length);
            p += length > 0 ? length : 1;
            unsigned short units[4];
            unsigned count = fl_ucs_to_Utf16(ucs, units, 4);
            int advance = fl_nonspacing(ucs) ? 0 : int(width(ucs));
            for (unsigned i = 0; i < count; ++i) {
                text_.push_back(units[i]);
                advances_.push_back(i == 0 ? advance : 0);
            }
        }
        // An empty draw selects the font into the device context (its handle
        // is the toolkit's own); the letters then go where they were measured.
        Fl_GDI_Graphics_Driver::draw(str, 0, x, y);
        COLORREF old = SetTextColor(fl_gc, fl_RGB());
        ExtTextOutW(fl_gc, x, y, 0, nullptr, text_.data(), static_cast<UINT>(text_.size()), advances_.data());
        SetTextColor(fl_gc, old);
    }

private:
    std::vector<wchar_t> text_;
    std::vector<INT> advances_;
};

}  // namespace

namespace platform {

bool preferFontFamily(const char*) { return false; }

void drawTextAsMeasured() {
    static MeasuredTextDriver driver;
    Fl_Display_Device* display = Fl_Display_Device::display_device();
    if (display->driver() != &driver) {
        display->driver(&driver);
        display->set_current();
    }
}

}  // namespace platform
#endif
