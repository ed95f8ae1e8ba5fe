#include "shell/fonts.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>

#ifndef _WIN32
#include <fontconfig/fontconfig.h>

#include <cstring>

namespace {

// Whether fontconfig resolves the family to itself (not to a fallback).
bool haveFamily(const char* family) {
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

}  // namespace
#endif

void useLayoutFonts() {
#ifndef _WIN32
    // The toolkit's Xft names carry the style in their first character:
    // ' ' plain, 'B' bold, 'I' italic, 'P' bold italic.
    if (haveFamily("Liberation Sans")) {
        Fl::set_font(FL_HELVETICA, " Liberation Sans");
        Fl::set_font(FL_HELVETICA_BOLD, "BLiberation Sans");
        Fl::set_font(FL_HELVETICA_ITALIC, "ILiberation Sans");
        Fl::set_font(FL_HELVETICA_BOLD_ITALIC, "PLiberation Sans");
    }
    if (haveFamily("Liberation Mono")) {
        Fl::set_font(FL_COURIER, " Liberation Mono");
        Fl::set_font(FL_COURIER_BOLD, "BLiberation Mono");
        Fl::set_font(FL_COURIER_ITALIC, "ILiberation Mono");
        Fl::set_font(FL_COURIER_BOLD_ITALIC, "PLiberation Mono");
    }
#endif
}
