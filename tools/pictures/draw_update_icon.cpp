// Draws the firmware update prompt's icon: a chip receiving a download arrow.
// Usage: orvella-draw-update-icon <output folder>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "base/program_info.h"
#include "tools/pictures/picture_tools.h"

using pictures::roundedRect;

namespace {

const int kWidth = 140;
const int kHeight = 123;

void drawChip(cairo_t* cr) {
    const double x = 30, y = 52, w = 80, h = 58;
    // Pins on the long sides.
    cairo_set_source_rgb(cr, 0.62, 0.62, 0.64);
    for (int i = 0; i < 6; ++i) {
        double px = x + 9 + i * 12.4;
        cairo_rectangle(cr, px, y - 7, 5, 8);
        cairo_rectangle(cr, px, y + h - 1, 5, 8);
    }
    cairo_fill(cr);
    // Body with a soft top-down shade.
    cairo_pattern_t* shade = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgb(shade, 0, 0.24, 0.19, 0.17);
    cairo_pattern_add_color_stop_rgb(shade, 1, 0.12, 0.08, 0.08);
    roundedRect(cr, x, y, w, h, 6);
    cairo_set_source(cr, shade);
    cairo_fill(cr);
    cairo_pattern_destroy(shade);
    // Orientation dot and a label strip.
    cairo_set_source_rgb(cr, 0.92, 0.76, 0.0);
    cairo_arc(cr, x + 10, y + h - 10, 3.5, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.25);
    cairo_rectangle(cr, x + 22, y + h - 14, 46, 4);
    cairo_fill(cr);
}

void drawArrow(cairo_t* cr) {
    const double cx = kWidth / 2.0;
    cairo_move_to(cr, cx - 11, 4);
    cairo_line_to(cr, cx + 11, 4);
    cairo_line_to(cr, cx + 11, 38);
    cairo_line_to(cr, cx + 25, 38);
    cairo_line_to(cr, cx, 78);
    cairo_line_to(cr, cx - 25, 38);
    cairo_line_to(cr, cx - 11, 38);
    cairo_close_path(cr);
    cairo_pattern_t* fill = cairo_pattern_create_linear(0, 4, 0, 78);
    cairo_pattern_add_color_stop_rgb(fill, 0, 0.45, 0.45, 1.0);
    cairo_pattern_add_color_stop_rgb(fill, 1, 0.20, 0.20, 0.85);
    cairo_set_source(cr, fill);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(fill);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_set_line_width(cr, 2.5);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
}

}  // namespace

int main(int argc, char** argv) {
    int answered = programinfo::answerHelpOrVersion(argc, argv, "orvella-draw-update-icon",
                                                    "usage: orvella-draw-update-icon <output folder>\n"
                                                    "Draws the firmware update prompt's icon into the folder.\n");
    if (answered >= 0) return answered;
    if (argc != 2) {
        fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    drawChip(cr);
    drawArrow(cr);
    cairo_destroy(cr);

    bool ok = pictures::savePng(surface, std::string(argv[1]) + "/update_icon_(140x123).png");
    cairo_surface_destroy(surface);
    return ok ? 0 : 1;
}
