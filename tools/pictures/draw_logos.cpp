// Draws the two logos of the header band: the program's ("Orvella", a speaker
// cone mark beside the word) and the maker's ("Kestrova" under a kestrel-wing
// chevron). Both have transparent backgrounds and are meant for the dark
// brown band. With --icons it draws the program's desktop icon instead: the
// cone mark on a brown tile, as PNG files of the given pixel sizes and as SVG.
// Usage: orvella-draw-logos <output folder>
//        orvella-draw-logos --icons <output folder> <name> <size>...
//          writes <folder>/<size>/<name>.png for each size, <folder>/<name>.svg
#include <cairo-svg.h>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/program_info.h"
#include "tools/pictures/picture_tools.h"

static const double kGoldR = 0.95, kGoldG = 0.78, kGoldB = 0.30;

// A speaker seen from the front: rim, cone rings and the dust cap.
static void drawCone(cairo_t* cr, double cx, double cy, double r) {
    cairo_pattern_t* rim = cairo_pattern_create_radial(cx - r * 0.3, cy - r * 0.3, r * 0.1, cx, cy, r);
    cairo_pattern_add_color_stop_rgb(rim, 0, 1.0, 0.90, 0.55);
    cairo_pattern_add_color_stop_rgb(rim, 1, 0.72, 0.52, 0.14);
    cairo_set_source(cr, rim);
    cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_pattern_destroy(rim);

    cairo_set_source_rgb(cr, 0.20, 0.15, 0.08);
    cairo_arc(cr, cx, cy, r * 0.80, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_set_line_width(cr, 0.8);
    cairo_set_source_rgba(cr, kGoldR, kGoldG, kGoldB, 0.55);
    for (double k = 0.62; k > 0.35; k -= 0.14) {
        cairo_arc(cr, cx, cy, r * k, 0, 2 * M_PI);
        cairo_stroke(cr);
    }
    cairo_set_source_rgb(cr, kGoldR, kGoldG, kGoldB);
    cairo_arc(cr, cx, cy, r * 0.24, 0, 2 * M_PI);
    cairo_fill(cr);
}

static bool drawAppLogo(const std::string& folder) {
    const int w = 150, h = 34;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(surface);

    drawCone(cr, 17, 17, 15);

    cairo_select_font_face(cr, "DejaVu Serif", CAIRO_FONT_SLANT_ITALIC, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 25);
    cairo_text_extents_t ext;
    cairo_text_extents(cr, "Orvella", &ext);
    double scale = ext.width > 108 ? 108 / ext.width : 1.0;
    cairo_save(cr);
    cairo_translate(cr, 38, 25);
    cairo_scale(cr, scale, 1.0);
    cairo_move_to(cr, -ext.x_bearing, 0);
    cairo_text_path(cr, "Orvella");
    cairo_restore(cr);
    cairo_pattern_t* fill = cairo_pattern_create_linear(0, 4, 0, 28);
    cairo_pattern_add_color_stop_rgb(fill, 0, 1.0, 0.93, 0.70);
    cairo_pattern_add_color_stop_rgb(fill, 1, kGoldR, kGoldG * 0.92, kGoldB * 0.8);
    cairo_set_source(cr, fill);
    cairo_fill(cr);
    cairo_pattern_destroy(fill);

    // A thin underline that fades out to the right.
    cairo_pattern_t* line = cairo_pattern_create_linear(38, 0, 148, 0);
    cairo_pattern_add_color_stop_rgba(line, 0, kGoldR, kGoldG, kGoldB, 0.9);
    cairo_pattern_add_color_stop_rgba(line, 1, kGoldR, kGoldG, kGoldB, 0.0);
    cairo_set_source(cr, line);
    cairo_rectangle(cr, 38, 29, 110, 1.2);
    cairo_fill(cr);
    cairo_pattern_destroy(line);

    bool ok = pictures::savePng(surface, folder + "/appLogo_(150x34).png");
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return ok;
}

static bool drawMakerLogo(const std::string& folder) {
    const int w = 130, h = 50;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(surface);

    // Two swept wings meeting in a point: the maker's mark.
    cairo_set_source_rgb(cr, 0.93, 0.91, 0.86);
    cairo_move_to(cr, 65, 20);
    cairo_curve_to(cr, 56, 12, 46, 7, 36, 6);
    cairo_curve_to(cr, 46, 11, 54, 16, 60, 22);
    cairo_close_path(cr);
    cairo_move_to(cr, 65, 20);
    cairo_curve_to(cr, 74, 12, 84, 7, 94, 6);
    cairo_curve_to(cr, 84, 11, 76, 16, 70, 22);
    cairo_close_path(cr);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, kGoldR, kGoldG, kGoldB);
    cairo_move_to(cr, 65, 14);
    cairo_line_to(cr, 69, 21);
    cairo_line_to(cr, 65, 25);
    cairo_line_to(cr, 61, 21);
    cairo_close_path(cr);
    cairo_fill(cr);

    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 17);
    const char* name = "KESTROVA";
    // Spaced capitals, centred.
    double spacing = 2.2, total = 0;
    for (const char* p = name; *p; ++p) {
        char one[2] = {*p, 0};
        cairo_text_extents_t e;
        cairo_text_extents(cr, one, &e);
        total += e.x_advance + (p[1] ? spacing : 0);
    }
    double scale = total > 124 ? 124 / total : 1.0;
    double x = (w - total * scale) / 2;
    cairo_set_source_rgb(cr, 0.93, 0.91, 0.86);
    for (const char* p = name; *p; ++p) {
        char one[2] = {*p, 0};
        cairo_text_extents_t e;
        cairo_text_extents(cr, one, &e);
        cairo_save(cr);
        cairo_translate(cr, x, 43);
        cairo_scale(cr, scale, 1.0);
        cairo_move_to(cr, 0, 0);
        cairo_show_text(cr, one);
        cairo_restore(cr);
        x += (e.x_advance + spacing) * scale;
    }

    bool ok = pictures::savePng(surface, folder + "/kestrovaLogo_(130x50).png");
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return ok;
}

// The desktop icon on a size x size canvas: a rounded tile in the header
// band's brown with a golden edge, and the cone mark filling most of it.
static void drawIcon(cairo_t* cr, double size) {
    cairo_scale(cr, size / 256.0, size / 256.0);
    pictures::roundedRect(cr, 12, 12, 232, 232, 40);
    cairo_pattern_t* tile = cairo_pattern_create_linear(0, 12, 0, 244);
    cairo_pattern_add_color_stop_rgb(tile, 0, 0.38, 0.29, 0.15);
    cairo_pattern_add_color_stop_rgb(tile, 1, 0.22, 0.16, 0.08);
    cairo_set_source(cr, tile);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(tile);
    cairo_set_line_width(cr, 6);
    cairo_set_source_rgb(cr, kGoldR, kGoldG, kGoldB);
    cairo_stroke(cr);
    drawCone(cr, 128, 128, 92);
}

static bool drawIcons(const std::string& folder, const std::string& name, char** sizes, int count) {
    bool ok = true;
    for (int i = 0; i < count; ++i) {
        int size = std::atoi(sizes[i]);
        if (size < 16 || size > 1024) {
            std::fprintf(stderr, "bad icon size %s\n", sizes[i]);
            ok = false;
            continue;
        }
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
        cairo_t* cr = cairo_create(surface);
        drawIcon(cr, size);
        ok = pictures::savePng(surface, folder + "/" + sizes[i] + "/" + name + ".png") && ok;
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    std::string svgPath = folder + "/" + name + ".svg";
    cairo_surface_t* svg = cairo_svg_surface_create(svgPath.c_str(), 256, 256);
    cairo_t* cr = cairo_create(svg);
    drawIcon(cr, 256);
    cairo_destroy(cr);
    cairo_surface_finish(svg);
    if (cairo_surface_status(svg) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "cannot write %s: %s\n", svgPath.c_str(),
                     cairo_status_to_string(cairo_surface_status(svg)));
        ok = false;
    }
    cairo_surface_destroy(svg);
    return ok;
}

int main(int argc, char** argv) {
    int answered = programinfo::answerHelpOrVersion(
        argc, argv, "orvella-draw-logos",
        "usage: orvella-draw-logos <output folder>\n"
        "       orvella-draw-logos --icons <output folder> <name> <size>...\n"
        "Draws the logos into the folder; with --icons, the desktop icon as <name>.svg\n"
        "and <size>/<name>.png for each size.\n");
    if (answered >= 0) return answered;
    if (argc >= 5 && std::string(argv[1]) == "--icons") return drawIcons(argv[2], argv[3], argv + 4, argc - 4) ? 0 : 1;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n       %s --icons <output folder> <name> <size>...\n",
                     argv[0], argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    bool ok = drawAppLogo(folder);
    ok = drawMakerLogo(folder) && ok;
    return ok ? 0 : 1;
}
