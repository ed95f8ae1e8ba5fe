// Draws the Dashboard's pictures into the folder given as the argument:
// the two microphones on stands, the speaker faces (on, off, on with the
// solo glow) and the translucent veil laid over a muted speaker.
//
//   orvella-draw-dashboard data/img
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "base/program_info.h"
#include "tools/pictures/picture_tools.h"

using pictures::roundedRect;

namespace {

const double pi = 3.14159265358979323846;

struct Rgb {
    double r, g, b;
};

// A chrome-like horizontal gradient across a vertical part.
cairo_pattern_t* metal(double x0, double x1, double dark, double light) {
    cairo_pattern_t* p = cairo_pattern_create_linear(x0, 0, x1, 0);
    cairo_pattern_add_color_stop_rgb(p, 0.0, dark, dark, dark);
    cairo_pattern_add_color_stop_rgb(p, 0.35, light, light, light);
    cairo_pattern_add_color_stop_rgb(p, 0.6, (dark + light) / 2, (dark + light) / 2, (dark + light) / 2);
    cairo_pattern_add_color_stop_rgb(p, 1.0, dark * 0.8, dark * 0.8, dark * 0.8);
    return p;
}

// A studio microphone on a boom-less stand, its capsule facing right;
// mirrored for the right-hand picture.
void drawMicrophone(cairo_t* cr, bool mirrored) {
    const double w = 50;
    if (mirrored) {
        cairo_translate(cr, w, 0);
        cairo_scale(cr, -1, 1);
    }
    // Base: a weighted round foot seen slightly from above.
    cairo_save(cr);
    cairo_translate(cr, 25, 143);
    cairo_scale(cr, 1, 0.28);
    cairo_arc(cr, 0, 0, 21, 0, 2 * pi);
    cairo_restore(cr);
    cairo_pattern_t* foot = metal(4, 46, 0.12, 0.45);
    cairo_set_source(cr, foot);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(foot);
    cairo_set_source_rgb(cr, 0.05, 0.05, 0.05);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
    // Pole with a height clutch.
    cairo_pattern_t* pole = metal(23, 27.5, 0.3, 0.85);
    cairo_set_source(cr, pole);
    cairo_rectangle(cr, 23, 62, 4.5, 80);
    cairo_fill(cr);
    cairo_pattern_destroy(pole);
    cairo_pattern_t* clutch = metal(20.5, 30, 0.1, 0.4);
    cairo_set_source(cr, clutch);
    roundedRect(cr, 20.5, 96, 9.5, 9, 2);
    cairo_fill(cr);
    cairo_pattern_destroy(clutch);
    // Swivel clip holding the body.
    cairo_set_source_rgb(cr, 0.08, 0.08, 0.08);
    roundedRect(cr, 19, 54, 12, 10, 2.5);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.55, 0.55, 0.55);
    cairo_arc(cr, 25, 59, 2, 0, 2 * pi);
    cairo_fill(cr);

    // Body, tilted slightly so the capsule points at the speaker.
    cairo_save(cr);
    cairo_translate(cr, 25, 45);
    cairo_rotate(cr, 0.35);
    cairo_pattern_t* body = cairo_pattern_create_linear(-7, 0, 7, 0);
    cairo_pattern_add_color_stop_rgb(body, 0.0, 0.10, 0.10, 0.11);
    cairo_pattern_add_color_stop_rgb(body, 0.4, 0.34, 0.34, 0.36);
    cairo_pattern_add_color_stop_rgb(body, 1.0, 0.06, 0.06, 0.07);
    cairo_move_to(cr, -6.5, -14);
    cairo_line_to(cr, 6.5, -14);
    cairo_line_to(cr, 4.5, 16);
    cairo_line_to(cr, -4.5, 16);
    cairo_close_path(cr);
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    // Chrome ring between body and grille.
    cairo_pattern_t* ring = metal(-7.5, 7.5, 0.45, 0.98);
    cairo_set_source(cr, ring);
    cairo_rectangle(cr, -7.5, -17, 15, 3.5);
    cairo_fill(cr);
    cairo_pattern_destroy(ring);
    // Ball grille with its mesh.
    cairo_pattern_t* grille = cairo_pattern_create_radial(-3, -30, 1, 0, -27, 12);
    cairo_pattern_add_color_stop_rgb(grille, 0.0, 0.95, 0.95, 0.95);
    cairo_pattern_add_color_stop_rgb(grille, 0.5, 0.62, 0.62, 0.64);
    cairo_pattern_add_color_stop_rgb(grille, 1.0, 0.22, 0.22, 0.24);
    cairo_arc(cr, 0, -27, 10.5, 0, 2 * pi);
    cairo_set_source(cr, grille);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(grille);
    cairo_save(cr);
    cairo_clip(cr);
    cairo_set_source_rgba(cr, 0.15, 0.15, 0.17, 0.45);
    cairo_set_line_width(cr, 0.5);
    for (double d = -24; d <= 24; d += 2.2) {
        cairo_move_to(cr, d - 12, -39);
        cairo_line_to(cr, d + 12, -15);
        cairo_move_to(cr, d + 12, -39);
        cairo_line_to(cr, d - 12, -15);
    }
    cairo_stroke(cr);
    cairo_restore(cr);
    cairo_arc(cr, 0, -27, 10.5, 0, 2 * pi);
    cairo_set_source_rgb(cr, 0.18, 0.18, 0.2);
    cairo_set_line_width(cr, 0.9);
    cairo_stroke(cr);
    // Band around the grille.
    cairo_set_source_rgba(cr, 0.85, 0.85, 0.88, 0.9);
    cairo_set_line_width(cr, 1.4);
    cairo_move_to(cr, -10.3, -27);
    cairo_line_to(cr, 10.3, -27);
    cairo_stroke(cr);
    cairo_restore(cr);

    // Cable running down the pole.
    cairo_set_source_rgb(cr, 0.05, 0.05, 0.05);
    cairo_set_line_width(cr, 1.6);
    cairo_move_to(cr, 29, 60);
    cairo_curve_to(cr, 33, 75, 30, 110, 31, 140);
    cairo_stroke(cr);
}

void drawScrew(cairo_t* cr, double x, double y) {
    cairo_pattern_t* head = cairo_pattern_create_radial(x - 0.8, y - 0.8, 0.2, x, y, 2.6);
    cairo_pattern_add_color_stop_rgb(head, 0, 0.92, 0.92, 0.9);
    cairo_pattern_add_color_stop_rgb(head, 1, 0.35, 0.35, 0.35);
    cairo_arc(cr, x, y, 2.6, 0, 2 * pi);
    cairo_set_source(cr, head);
    cairo_fill(cr);
    cairo_pattern_destroy(head);
    cairo_set_source_rgb(cr, 0.15, 0.15, 0.15);
    cairo_set_line_width(cr, 0.7);
    cairo_move_to(cr, x - 1.6, y - 1.6);
    cairo_line_to(cr, x + 1.6, y + 1.6);
    cairo_stroke(cr);
}

// A loudspeaker seen from the front: cast basket with mounting screws,
// rolled surround, paper cone with its ribs, dust cap. `glow` rings the
// basket (green when playing, amber-red when soloed); `lit` scales the
// brightness (the muted speaker is dim).
void drawSpeaker(cairo_t* cr, Rgb glow, double glowAlpha, double lit) {
    const double c = 50;
    if (glowAlpha > 0) {
        cairo_pattern_t* halo = cairo_pattern_create_radial(c, c, 38, c, c, 50);
        cairo_pattern_add_color_stop_rgba(halo, 0.0, glow.r, glow.g, glow.b, glowAlpha);
        cairo_pattern_add_color_stop_rgba(halo, 1.0, glow.r, glow.g, glow.b, 0.0);
        cairo_arc(cr, c, c, 50, 0, 2 * pi);
        cairo_set_source(cr, halo);
        cairo_fill(cr);
        cairo_pattern_destroy(halo);
    }
    // Basket rim.
    cairo_pattern_t* rim = cairo_pattern_create_linear(0, 8, 0, 92);
    cairo_pattern_add_color_stop_rgb(rim, 0, 0.42 * lit, 0.42 * lit, 0.44 * lit);
    cairo_pattern_add_color_stop_rgb(rim, 1, 0.12 * lit, 0.12 * lit, 0.13 * lit);
    cairo_arc(cr, c, c, 42, 0, 2 * pi);
    cairo_set_source(cr, rim);
    cairo_fill(cr);
    cairo_pattern_destroy(rim);
    for (int i = 0; i < 8; i++) {
        double a = pi / 8 + i * pi / 4;
        drawScrew(cr, c + 38.5 * cos(a), c + 38.5 * sin(a));
    }
    // Gasket and rolled surround.
    cairo_arc(cr, c, c, 35, 0, 2 * pi);
    cairo_set_source_rgb(cr, 0.05, 0.05, 0.05);
    cairo_fill(cr);
    cairo_pattern_t* surround = cairo_pattern_create_radial(c - 6, c - 8, 20, c, c, 34);
    cairo_pattern_add_color_stop_rgb(surround, 0.0, 0.10 * lit, 0.10 * lit, 0.10 * lit);
    cairo_pattern_add_color_stop_rgb(surround, 0.75, 0.30 * lit, 0.29 * lit, 0.27 * lit);
    cairo_pattern_add_color_stop_rgb(surround, 1.0, 0.08, 0.08, 0.08);
    cairo_arc(cr, c, c, 33.5, 0, 2 * pi);
    cairo_set_source(cr, surround);
    cairo_fill(cr);
    cairo_pattern_destroy(surround);
    // Cone: dark paper lit from the upper left.
    cairo_pattern_t* cone = cairo_pattern_create_radial(c - 8, c - 10, 4, c, c, 29);
    cairo_pattern_add_color_stop_rgb(cone, 0.0, 0.34 * lit, 0.31 * lit, 0.27 * lit);
    cairo_pattern_add_color_stop_rgb(cone, 0.6, 0.17 * lit, 0.155 * lit, 0.14 * lit);
    cairo_pattern_add_color_stop_rgb(cone, 1.0, 0.07 * lit, 0.065 * lit, 0.06 * lit);
    cairo_arc(cr, c, c, 29, 0, 2 * pi);
    cairo_set_source(cr, cone);
    cairo_fill(cr);
    cairo_pattern_destroy(cone);
    // Concentric ribs of the cone.
    cairo_set_line_width(cr, 0.6);
    for (double r = 15; r < 29; r += 3.5) {
        cairo_arc(cr, c, c, r, 0, 2 * pi);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
        cairo_stroke(cr);
        cairo_arc(cr, c - 0.4, c - 0.4, r, pi, 1.5 * pi);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.06 * lit);
        cairo_stroke(cr);
    }
    // Dust cap.
    cairo_pattern_t* cap = cairo_pattern_create_radial(c - 4, c - 4, 1, c, c, 12);
    cairo_pattern_add_color_stop_rgb(cap, 0.0, 0.55 * lit, 0.53 * lit, 0.5 * lit);
    cairo_pattern_add_color_stop_rgb(cap, 0.7, 0.2 * lit, 0.19 * lit, 0.18 * lit);
    cairo_pattern_add_color_stop_rgb(cap, 1.0, 0.06, 0.06, 0.06);
    cairo_arc(cr, c, c, 12, 0, 2 * pi);
    cairo_set_source(cr, cap);
    cairo_fill(cr);
    cairo_pattern_destroy(cap);
    // Glow reflected on the rim.
    if (glowAlpha > 0) {
        cairo_arc(cr, c, c, 41.5, 0, 2 * pi);
        cairo_set_source_rgba(cr, glow.r, glow.g, glow.b, glowAlpha * 0.9);
        cairo_set_line_width(cr, 1.5);
        cairo_stroke(cr);
    }
}

// The veil over a muted speaker: a translucent grey wash, slightly darker
// towards its edges, with fine diagonal hatching.
void drawMask(cairo_t* cr, int w, int h) {
    cairo_pattern_t* wash = cairo_pattern_create_radial(w / 2.0, h / 2.0, 20, w / 2.0, h / 2.0, w * 0.65);
    cairo_pattern_add_color_stop_rgba(wash, 0, 0.86, 0.86, 0.86, 0.62);
    cairo_pattern_add_color_stop_rgba(wash, 1, 0.70, 0.70, 0.70, 0.74);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_set_source(cr, wash);
    cairo_fill(cr);
    cairo_pattern_destroy(wash);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.18);
    cairo_set_line_width(cr, 1);
    for (int d = -h; d < w; d += 6) {
        cairo_move_to(cr, d, h);
        cairo_line_to(cr, d + h, 0);
    }
    cairo_stroke(cr);
}

template <class Paint>
bool picture(const std::string& folder, const char* name, int w, int h, Paint paint) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_BEST);
    paint(cr);
    cairo_destroy(cr);
    bool ok = pictures::savePng(surface, folder + "/" + name);
    cairo_surface_destroy(surface);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    int answered = programinfo::answerHelpOrVersion(argc, argv, "orvella-draw-dashboard",
                                                    "usage: orvella-draw-dashboard <output folder>\n"
                                                    "Draws the Dashboard's pictures into the folder.\n");
    if (answered >= 0) return answered;
    if (argc != 2) {
        fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    std::string out = argv[1];
    const Rgb green = {0.35, 1.0, 0.45}, amber = {1.0, 0.35, 0.1};
    bool ok = true;
    ok &= picture(out, "mic-L_(50x152).png", 50, 152, [](cairo_t* cr) { drawMicrophone(cr, false); });
    ok &= picture(out, "mic-R_(50x152).png", 50, 152, [](cairo_t* cr) { drawMicrophone(cr, true); });
    ok &= picture(out, "speakerOn_(100x100).png", 100, 100, [&](cairo_t* cr) { drawSpeaker(cr, green, 0.45, 1.0); });
    ok &= picture(out, "speakerOff_(100x100).png", 100, 100, [&](cairo_t* cr) { drawSpeaker(cr, green, 0.0, 0.45); });
    ok &= picture(out, "speakerOnSolo_(100x100).png", 100, 100, [&](cairo_t* cr) { drawSpeaker(cr, amber, 0.8, 1.15); });
    ok &= picture(out, "spkrMask_(248x165).png", 248, 165, [](cairo_t* cr) { drawMask(cr, 248, 165); });
    return ok ? 0 : 1;
}
