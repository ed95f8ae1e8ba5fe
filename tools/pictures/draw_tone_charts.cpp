// Draws the 43 tone chart pictures (tc_*.png, 445 x 266) into the folder
// given as the second argument. Each chart is measured: the program composes
// the image the editor would send for the speaker (sound model, core files
// and coefficient sets from the bin folder given first), runs it through the
// pedal's interpreter and plots the magnitude of the result; guitar and bass
// speakers get one curve per cabinet type.
//
//   orvella-draw-tone-charts data/bin data/img
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/pictures/ToneChartMeasure.h"
#include "base/program_info.h"
#include "tools/pictures/picture_tools.h"
#include "sound/SoundModel.h"

using pictures::roundedRect;

namespace {

struct Chart {
    const char* file;
    const char* name;
    const char* size;       // "" when the list gives none
    const char* family;
    int speakerByte;
};

// In the order of the tone chart's list.
const Chart charts[43] = {
    {"tc_amer_1_10.png", "Clst Vintage30", "10 inch", "Guitar  \xc2\xb7  American", 2},
    {"tc_amer_1_12.png", "Clst Vintage30", "12 inch", "Guitar  \xc2\xb7  American", 3},
    {"tc_amer_2_10.png", "Jens Vintage C", "10 inch", "Guitar  \xc2\xb7  American", 6},
    {"tc_amer_2_12.png", "Jens Vintage C", "12 inch", "Guitar  \xc2\xb7  American", 7},
    {"tc_amer_3_10.png", "Emin Legend B", "10 inch", "Guitar  \xc2\xb7  American", 10},
    {"tc_amer_3_12.png", "Emin Legend B", "12 inch", "Guitar  \xc2\xb7  American", 11},
    {"tc_amer_4_10.png", "Clst Vintage60", "10 inch", "Guitar  \xc2\xb7  American", 14},
    {"tc_amer_4_12.png", "Clst Vintage60", "12 inch", "Guitar  \xc2\xb7  American", 15},
    {"tc_amer_5_10.png", "Emin Patriots", "10 inch", "Guitar  \xc2\xb7  American", 18},
    {"tc_amer_5_12.png", "Emin Patriots", "12 inch", "Guitar  \xc2\xb7  American", 19},
    {"tc_brit_1_10.png", "Clst Cream", "10 inch", "Guitar  \xc2\xb7  British", 23},
    {"tc_brit_1_12.png", "Clst Cream", "12 inch", "Guitar  \xc2\xb7  British", 24},
    {"tc_brit_2_10.png", "Clst Vintage10", "10 inch", "Guitar  \xc2\xb7  British", 27},
    {"tc_brit_2_12.png", "Clst Vintage10", "12 inch", "Guitar  \xc2\xb7  British", 28},
    {"tc_brit_3_10.png", "Clst Green", "10 inch", "Guitar  \xc2\xb7  British", 31},
    {"tc_brit_3_12.png", "Clst Green", "12 inch", "Guitar  \xc2\xb7  British", 32},
    {"tc_brit_4_10.png", "Fano A60", "10 inch", "Guitar  \xc2\xb7  British", 35},
    {"tc_brit_4_12.png", "Fano A60", "12 inch", "Guitar  \xc2\xb7  British", 36},
    {"tc_brit_5_10.png", "Fano A90", "10 inch", "Guitar  \xc2\xb7  British", 39},
    {"tc_brit_5_12.png", "Fano A90", "12 inch", "Guitar  \xc2\xb7  British", 40},
    {"tc_bass_a_10.png", "Clst Pulser", "10 inch", "Bass", 42},
    {"tc_bass_a_15.png", "Clst Pulser", "15 inch", "Bass", 43},
    {"tc_bass_b_10.png", "Emin Legend BP", "10 inch", "Bass", 46},
    {"tc_bass_b_15.png", "Emin Legend BP", "15 inch", "Bass", 47},
    {"tc_bass_c_10.png", "Emin Legend B8", "10 inch", "Bass", 50},
    {"tc_bass_c_15.png", "Emin Legend B8", "15 inch", "Bass", 51},
    {"tc_bass_d_10.png", "Jens Punchy BP", "10 inch", "Bass", 54},
    {"tc_bass_d_12.png", "Jens Punchy BP", "12 inch", "Bass", 55},
    {"tc_bass_e_10.png", "Jens Smooth BS", "10 inch", "Bass", 58},
    {"tc_bass_e_12.png", "Jens Smooth BS", "15 inch", "Bass", 59},
    {"tc_palm09_n.png", "Palm09", "Normal", "Gear", 61},
    {"tc_palm09_b.png", "Palm09", "Bright", "Gear", 62},
    {"tc_5twin.png", "5-Twin", "", "Gear", 64},
    {"tc_ultra.png", "Ultra", "", "Gear", 65},
    {"tc_crimson_box.png", "Crimson Box", "", "Gear", 66},
    {"tc_cabzilla_p.png", "Cabzilla", "Punchy", "Gear", 68},
    {"tc_cabzilla_b.png", "Cabzilla", "Bright", "Gear", 69},
    {"tc_full_range.png", "Full-Range Speaker", "", "Misc", 70},
    {"tc_telephone_a.png", "Telephone", "A", "Misc", 72},
    {"tc_telephone_b.png", "Telephone", "B", "Misc", 73},
    {"tc_telephone_c.png", "Telephone", "C", "Misc", 74},
    {"tc_megaphone.png", "Megaphone", "", "Misc", 76},
    {"tc_horn.png", "Horn", "", "Misc", 77},
};

const int Width = 445, Height = 266;
// Plot area and ranges.
const double PlotX = 46, PlotY = 44, PlotW = 384, PlotH = 170;
const double FMin = 40, FMax = 12000, DbTop = 12, DbBottom = -36;

struct Rgb {
    double r, g, b;
};
// The Dashboard's palette: its brown, its header band and its amber.
const Rgb brown{153 / 255.0, 102 / 255.0, 0};
const Rgb band{72 / 255.0, 55 / 255.0, 28 / 255.0};
const Rgb amber{235 / 255.0, 194 / 255.0, 0};
const Rgb steel{0.16, 0.36, 0.58};
const Rgb ink{0.20, 0.17, 0.12};

void set(cairo_t* cr, const Rgb& c, double alpha = 1) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }

double xOf(double f) { return PlotX + PlotW * std::log(f / FMin) / std::log(FMax / FMin); }
double yOf(double db) { return PlotY + PlotH * (DbTop - db) / (DbTop - DbBottom); }

void font(cairo_t* cr, double size, bool bold) {
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

double textWidth(cairo_t* cr, const std::string& text) {
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    return e.x_advance;
}

void text(cairo_t* cr, double x, double y, const std::string& s) {
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, s.c_str());
}

std::string hz(double f) {
    char buf[32];
    if (f >= 1000) std::snprintf(buf, sizeof buf, "%.1f kHz", f / 1000);
    else std::snprintf(buf, sizeof buf, "%.0f Hz", f);
    return buf;
}

void drawFrame(cairo_t* cr, const Chart& chart) {
    // Card with a soft edge, like the Dashboard's panels.
    set(cr, {1, 1, 1});
    cairo_paint(cr);
    roundedRect(cr, 1.5, 1.5, Width - 3, Height - 3, 9);
    set(cr, {0.992, 0.984, 0.96});
    cairo_fill_preserve(cr);
    set(cr, brown, 0.55);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);

    // Title band: name and size on the left, the family on the right.
    cairo_save(cr);
    roundedRect(cr, 1.5, 1.5, Width - 3, Height - 3, 9);
    cairo_clip(cr);
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, 30);
    cairo_pattern_add_color_stop_rgb(g, 0, band.r * 1.35, band.g * 1.35, band.b * 1.35);
    cairo_pattern_add_color_stop_rgb(g, 1, band.r, band.g, band.b);
    cairo_rectangle(cr, 0, 0, Width, 30);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    set(cr, amber);
    cairo_rectangle(cr, 0, 30, Width, 1.5);
    cairo_fill(cr);
    cairo_restore(cr);

    std::string title = chart.name;
    if (*chart.size) title += std::string("  \xe2\x80\x94  ") + chart.size;
    font(cr, 14, true);
    set(cr, amber);
    text(cr, 14, 21, title);
    font(cr, 11, false);
    set(cr, {0.93, 0.89, 0.80});
    const std::string family = chart.family;
    text(cr, Width - 14 - textWidth(cr, family), 20, family);
}

void drawGrid(cairo_t* cr) {
    set(cr, {1, 1, 1});
    cairo_rectangle(cr, PlotX, PlotY, PlotW, PlotH);
    cairo_fill(cr);
    cairo_set_line_width(cr, 1);
    // Decade and sub-decade lines.
    for (double decade = 10; decade <= 10000; decade *= 10)
        for (int m = 1; m <= 9; ++m) {
            const double f = decade * m;
            if (f < FMin || f > FMax) continue;
            set(cr, brown, m == 1 ? 0.35 : 0.12);
            const double x = std::round(xOf(f)) + 0.5;
            cairo_move_to(cr, x, PlotY);
            cairo_line_to(cr, x, PlotY + PlotH);
            cairo_stroke(cr);
        }
    for (double db = DbTop; db >= DbBottom; db -= 6) {
        set(cr, brown, std::fmod(std::fabs(db), 12) == 0 ? 0.30 : 0.12);
        const double y = std::round(yOf(db)) + 0.5;
        cairo_move_to(cr, PlotX, y);
        cairo_line_to(cr, PlotX + PlotW, y);
        cairo_stroke(cr);
    }
    set(cr, brown, 0.7);
    cairo_rectangle(cr, PlotX + 0.5, PlotY + 0.5, PlotW - 1, PlotH - 1);
    cairo_stroke(cr);

    font(cr, 9.5, false);
    set(cr, ink, 0.85);
    const struct {
        double f;
        const char* label;
    } ticks[] = {{50, "50"},  {100, "100"}, {200, "200"}, {500, "500"},
                 {1000, "1k"}, {2000, "2k"}, {5000, "5k"}, {10000, "10k"}};
    for (const auto& t : ticks) text(cr, xOf(t.f) - textWidth(cr, t.label) / 2, PlotY + PlotH + 12, t.label);
    text(cr, PlotX + PlotW - textWidth(cr, "Hz"), PlotY + PlotH + 23, "Hz");
    for (double db = DbTop; db >= DbBottom; db -= 12) {
        char label[16];
        std::snprintf(label, sizeof label, db > 0 ? "+%.0f" : "%.0f", db);
        text(cr, PlotX - 5 - textWidth(cr, label), yOf(db) + 3.5, label);
    }
    text(cr, PlotX - 5 - textWidth(cr, "dB"), PlotY - 8, "dB");
}

void drawCurve(cairo_t* cr, const std::vector<double>& freqs, const std::vector<double>& levels, const Rgb& c,
               double width) {
    cairo_save(cr);
    cairo_rectangle(cr, PlotX, PlotY, PlotW, PlotH);
    cairo_clip(cr);
    for (std::size_t i = 0; i < freqs.size(); ++i) {
        const double y = yOf(std::max(levels[i], DbBottom - 10));
        if (i == 0) cairo_move_to(cr, xOf(freqs[i]), y);
        else cairo_line_to(cr, xOf(freqs[i]), y);
    }
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    set(cr, c);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void drawLegend(cairo_t* cr) {
    const char* names[2] = {"Sealed", "Opened / Ported"};
    const Rgb colours[2] = {brown, steel};
    font(cr, 9.5, false);
    double w = 0;
    for (const char* n : names) w += 24 + textWidth(cr, n) + 10;
    double x = PlotX + PlotW - w - 4, y = PlotY + 6;
    roundedRect(cr, x - 4, y - 2, w + 2, 15, 3);
    set(cr, {1, 1, 1}, 0.9);
    cairo_fill_preserve(cr);
    set(cr, brown, 0.35);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
    for (int i = 0; i < 2; ++i) {
        set(cr, colours[i]);
        cairo_set_line_width(cr, 2.2);
        cairo_move_to(cr, x, y + 5.5);
        cairo_line_to(cr, x + 18, y + 5.5);
        cairo_stroke(cr);
        set(cr, ink);
        text(cr, x + 22, y + 9, names[i]);
        x += 24 + textWidth(cr, names[i]) + 10;
    }
}

// The caption under the chart, read off the first (sealed) curve and, for a
// cabinet speaker, the opened cabinet's low end: the corners against the
// curve's mid-band median, the peak at its level on the chart's own scale.
// Two parts, the low end and the rest, for wrapping.
std::vector<std::string> readingParts(const tonechart::Reading& r, const tonechart::Reading* opened) {
    std::vector<std::string> parts;
    char buf[96];
    auto corner = [](double f) { return f > 0 ? hz(f) : std::string("below 40 Hz"); };
    if (opened && (r.lowCorner > 0 || opened->lowCorner > 0))
        std::snprintf(buf, sizeof buf, "Low end -3 dB: %s sealed, %s opened", corner(r.lowCorner).c_str(),
                      corner(opened->lowCorner).c_str());
    else if (r.lowCorner > 0) std::snprintf(buf, sizeof buf, "Low end -3 dB: %s", hz(r.lowCorner).c_str());
    else std::snprintf(buf, sizeof buf, "Full low end down to 40 Hz");
    parts.push_back(buf);
    std::string rest;
    // A peak is named when it stands 1 dB or more over the mid band.
    if (r.peakDb >= 1.0) {
        std::snprintf(buf, sizeof buf, "peak %+.1f dB at %s  \xc2\xb7  ", r.midLevel + r.peakDb,
                      hz(r.peakFreq).c_str());
        rest += buf;
    }
    if (r.topCorner > 0) std::snprintf(buf, sizeof buf, "top -6 dB at %s", hz(r.topCorner).c_str());
    else std::snprintf(buf, sizeof buf, "open top to 12 kHz");
    rest += buf;
    parts.push_back(rest);
    return parts;
}

// One size for every caption; one that does not fit on a line is wrapped
// between its parts.
const double CaptionSize = 10.5;
const double CaptionWidth = Width - 24;

bool drawChart(SoundModel& model, const Chart& chart, const std::string& folder) {
    const std::vector<double> freqs = tonechart::logFrequencies(FMin, FMax, 240);
    const bool cabinet = chart.speakerByte <= 60;
    const std::vector<double> sealed = tonechart::measuredLevels(model, chart.speakerByte, false, freqs);
    std::vector<double> opened;
    if (cabinet) opened = tonechart::measuredLevels(model, chart.speakerByte, true, freqs);

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, Width, Height);
    cairo_t* cr = cairo_create(surface);
    drawFrame(cr, chart);
    drawGrid(cr);
    if (cabinet) drawCurve(cr, freqs, opened, steel, 1.8);
    drawCurve(cr, freqs, sealed, brown, 2.4);
    if (cabinet) drawLegend(cr);

    const tonechart::Reading r = tonechart::readCurve(freqs, sealed);
    tonechart::Reading ro;
    if (cabinet) ro = tonechart::readCurve(freqs, opened);
    const std::vector<std::string> parts = readingParts(r, cabinet ? &ro : nullptr);
    std::vector<std::string> lines = {parts[0] + "  \xc2\xb7  " + parts[1]};
    font(cr, CaptionSize, false);
    if (textWidth(cr, lines[0]) > CaptionWidth) lines = parts;
    set(cr, ink);
    double baseline = lines.size() == 1 ? Height - 14 : Height - 23;
    bool fits = true;
    for (const std::string& line : lines) {
        if (textWidth(cr, line) > CaptionWidth) {
            std::fprintf(stderr, "%s: the caption \"%s\" is wider than the chart\n", chart.file, line.c_str());
            fits = false;
        }
        text(cr, (Width - textWidth(cr, line)) / 2, baseline, line);
        baseline += 12.5;
    }

    cairo_destroy(cr);
    const bool ok = fits && pictures::savePng(surface, folder + "/" + chart.file);
    cairo_surface_destroy(surface);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    int answered = programinfo::answerHelpOrVersion(
        argc, argv, "orvella-draw-tone-charts",
        "usage: orvella-draw-tone-charts BIN_FOLDER IMG_FOLDER\n"
        "Measures every speaker through the sound model built from BIN_FOLDER and the\n"
        "pedal's interpreter, and draws the 43 tone charts (tc_*.png) into IMG_FOLDER.\n");
    if (answered >= 0) return answered;
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s BIN_FOLDER IMG_FOLDER\n", argv[0]);
        return 2;
    }
    SoundModel model(argv[1]);
    if (!model.coreFilesOk()) {
        std::fprintf(stderr, "%s: the bin folder is incomplete:\n%s", argv[0], model.loadProblems().c_str());
        return 1;
    }
    for (const Chart& chart : charts)
        if (!drawChart(model, chart, argv[2])) return 1;
    return 0;
}
