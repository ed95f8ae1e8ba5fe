#include "shell/fonts.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>

#include "base/platform.h"

void useLayoutFonts() {
    // The toolkit's font names carry the style in their first character:
    // ' ' plain, 'B' bold, 'I' italic, 'P' bold italic.
    if (platform::preferFontFamily("Liberation Sans")) {
        Fl::set_font(FL_HELVETICA, " Liberation Sans");
        Fl::set_font(FL_HELVETICA_BOLD, "BLiberation Sans");
        Fl::set_font(FL_HELVETICA_ITALIC, "ILiberation Sans");
        Fl::set_font(FL_HELVETICA_BOLD_ITALIC, "PLiberation Sans");
    }
    if (platform::preferFontFamily("Liberation Mono")) {
        Fl::set_font(FL_COURIER, " Liberation Mono");
        Fl::set_font(FL_COURIER_BOLD, "BLiberation Mono");
        Fl::set_font(FL_COURIER_ITALIC, "ILiberation Mono");
        Fl::set_font(FL_COURIER_BOLD_ITALIC, "PLiberation Mono");
    }
    platform::drawTextAsMeasured();
}
