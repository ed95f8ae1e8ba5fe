#include "tools/guide/GuidePages.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tools/pictures/picture_tools.h"
#include "reference/UserGuideLayout.h"

namespace guide {

namespace {

const char* const sans = "Liberation Sans";
const char* const mono = "Liberation Mono";

struct Rgb {
    double r, g, b;
};
// The window's own colours: the header band, the selected tab's gold, the Dashboard's brown.
const Rgb band = {72 / 255.0, 55 / 255.0, 28 / 255.0};
const Rgb gold = {235 / 255.0, 194 / 255.0, 0};
const Rgb ink = {0.15, 0.15, 0.15};
const Rgb dashboardBrown = {153 / 255.0, 102 / 255.0, 0};

void source(cairo_t* cr, Rgb c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

struct Rect {
    double x, y, w, h;
    bool meets(const Rect& o) const { return x < o.x + o.w && o.x < x + w && y < o.y + o.h && o.y < y + h; }
};

// Everything needed while one page is laid out.
struct Point {
    double x, y;
};

struct Layout {
    cairo_t* cr;
    const Page& page;
    int width, height;
    double y = 16;
    double left = 20, right;
    double size = 13;
    std::vector<Rect> covered;  // places of pictures lying over this page
    std::string error;
    // The last shot: window area shown and where it went on the page.
    double shotX = 0, shotY = 0, shotScale = 1, winX = 0, winY = 0;

    Layout(cairo_t* c, const Page& p, int w, int h) : cr(c), page(p), width(w), height(h), right(w - 20) {}

    bool fail(const Element& e, const std::string& why) {
        if (error.empty())
            error = "page " + std::to_string(page.number) + " (line " + std::to_string(e.line) + "): " + why;
        return false;
    }
    // Text may not run off the page nor under a picture lying over it.
    bool place(const Element& e, Rect r) {
        if (r.y + r.h > height - 4) return fail(e, "text runs off the bottom of the page");
        for (const Rect& c : covered)
            if (r.meets(c)) return fail(e, "text runs under a picture lying over the page");
        return true;
    }
    Point toPage(double wx, double wy) const;
};

struct Word {
    std::string text;
    bool bold;
};

// Splits text into words, "**" toggling bold.
std::vector<Word> splitWords(const std::string& text) {
    std::vector<Word> out;
    bool bold = false;
    std::string current;
    bool currentBold = false;
    auto flush = [&] {
        if (!current.empty()) out.push_back({current, currentBold});
        current.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "**") == 0) {
            flush();
            bold = !bold;
            ++i;
            continue;
        }
        if (text[i] == ' ') {
            flush();
            out.push_back({" ", bold});
            continue;
        }
        if (current.empty()) currentBold = bold;
        current += text[i];
    }
    flush();
    return out;
}

void font(cairo_t* cr, bool bold, double size, const char* family = sans) {
    cairo_select_font_face(cr, family, CAIRO_FONT_SLANT_NORMAL, bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

double advance(cairo_t* cr, const Word& w, double size) {
    font(cr, w.bold, size);
    cairo_text_extents_t ext;
    cairo_text_extents(cr, w.text.c_str(), &ext);
    return ext.x_advance;
}

// Sets text in lines between x0 and x1 from the flow's y; returns false on a fault.
bool flowText(Layout& L, const Element& e, const std::string& text, double x0, double x1) {
    std::vector<Word> ws = splitWords(text);
    double lineHeight = std::round(L.size * 1.35);
    size_t i = 0;
    while (i < ws.size()) {
        while (i < ws.size() && ws[i].text == " ") ++i;
        if (i == ws.size()) break;
        // Take words while they fit.
        double x = 0;
        size_t end = i, lastFit = i;
        while (end < ws.size()) {
            double a = advance(L.cr, ws[end], L.size);
            if (ws[end].text != " " && x + a > x1 - x0 && end > i) break;
            x += a;
            ++end;
            if (end == ws.size() || ws[end].text == " ") lastFit = end;
        }
        if (end < ws.size() && lastFit > i) end = lastFit;
        if (!L.place(e, {x0, L.y, x1 - x0, lineHeight})) return false;
        double pen = x0;
        double baseline = L.y + std::round(L.size);
        for (size_t k = i; k < end; ++k) {
            font(L.cr, ws[k].bold, L.size);
            source(L.cr, ws[k].bold ? band : ink);
            cairo_move_to(L.cr, pen, baseline);
            cairo_show_text(L.cr, ws[k].text.c_str());
            pen += advance(L.cr, ws[k], L.size);
        }
        L.y += lineHeight;
        i = end;
    }
    return true;
}

void marker(cairo_t* cr, double x, double y, int n, double r = 8.5) {
    cairo_arc(cr, x, y, r + 1.5, 0, 2 * M_PI);
    source(cr, gold);
    cairo_fill(cr);
    cairo_arc(cr, x, y, r, 0, 2 * M_PI);
    source(cr, band);
    cairo_fill(cr);
    char text[8];
    std::snprintf(text, sizeof text, "%d", n);
    font(cr, true, 11.5);
    cairo_text_extents_t ext;
    cairo_text_extents(cr, text, &ext);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_move_to(cr, x - ext.x_bearing - ext.width / 2, y - ext.y_bearing - ext.height / 2);
    cairo_show_text(cr, text);
}

cairo_surface_t* shotSurface(const Shot& shot) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, shot.w, shot.h);
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < shot.h; ++y)
        for (int x = 0; x < shot.w; ++x) {
            const uint8_t* p = &shot.rgb[(y * shot.w + x) * 3];
            uint32_t v = (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
            std::memcpy(data + y * stride + x * 4, &v, 4);
        }
    cairo_surface_mark_dirty(s);
    return s;
}

void arrow(cairo_t* cr, double x0, double y0, double x1, double y1) {
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
    double a = std::atan2(y1 - y0, x1 - x0);
    cairo_move_to(cr, x1, y1);
    cairo_line_to(cr, x1 - 8 * std::cos(a - 0.4), y1 - 8 * std::sin(a - 0.4));
    cairo_line_to(cr, x1 - 8 * std::cos(a + 0.4), y1 - 8 * std::sin(a + 0.4));
    cairo_close_path(cr);
    cairo_fill(cr);
}

// A block of the signal flow: a rounded box with a bold name and a small note.
void block(cairo_t* cr, double x, double y, double w, double h, const char* name, const char* note, Rgb fill) {
    pictures::roundedRect(cr, x + 2, y + 2, w, h, 6);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.18);
    cairo_fill(cr);
    pictures::roundedRect(cr, x, y, w, h, 6);
    source(cr, fill);
    cairo_fill_preserve(cr);
    source(cr, band);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
    cairo_text_extents_t ext;
    font(cr, true, 12.5);
    cairo_text_extents(cr, name, &ext);
    source(cr, band);
    double ny = note ? y + h / 2 - 3 : y + h / 2 + 4.5;
    cairo_move_to(cr, x + (w - ext.x_advance) / 2, ny);
    cairo_show_text(cr, name);
    if (note) {
        font(cr, false, 12);
        cairo_text_extents(cr, note, &ext);
        source(cr, ink);
        cairo_move_to(cr, x + (w - ext.x_advance) / 2, ny + 15);
        cairo_show_text(cr, note);
    }
}

void label(cairo_t* cr, double x, double y, const char* text, bool bold = false, double size = 12) {
    font(cr, bold, size);
    source(cr, ink);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text);
}

const Rgb cream = {1.0, 0.97, 0.86};
const Rgb sand = {0.96, 0.90, 0.74};
const Rgb room = {0.88, 0.93, 0.97};

// Saves the state, moves the origin to the diagram's corner and draws its
// title over a gold rule; the diagram ends with cairo_restore.
void beginDiagram(cairo_t* cr, double ox, double oy, const char* title) {
    cairo_save(cr);
    cairo_translate(cr, ox, oy);
    label(cr, 14, 22, title, true, 15);
    source(cr, gold);
    cairo_rectangle(cr, 14, 29, 538, 2);
    cairo_fill(cr);
}

// Stereo Cabs: two speakers, each output a blend of both, then volume and
// the delay of that side.
void diagramCabs(cairo_t* cr, double ox, double oy) {
    beginDiagram(cr, ox, oy, "Signal flow in STEREO CABS");
    block(cr, 14, 150, 66, 46, "INPUT", "mono", cream);
    const double rowY[2] = {70, 232};
    const char* side[2] = {"LEFT", "RIGHT"};
    for (int s = 0; s < 2; ++s) {
        double y = rowY[s];
        char name[32];
        std::snprintf(name, sizeof name, "%s spk.", side[s]);
        block(cr, 100, y, 96, 50, name, "+ cabinet", cream);
        block(cr, 212, y, 70, 50, "Mic", "position", cream);
        block(cr, 300, y, 76, 50, "Blend", s == 0 ? "+ % right" : "+ % left", sand);
        block(cr, 392, y, 66, 50, "Volume", "& phase", cream);
        block(cr, 474, y, 66, 50, "Delay", s == 0 ? "left ms" : "right ms", sand);
        source(cr, band);
        cairo_set_line_width(cr, 1.5);
        arrow(cr, 196, y + 25, 211, y + 25);
        arrow(cr, 282, y + 25, 299, y + 25);
        arrow(cr, 376, y + 25, 391, y + 25);
        arrow(cr, 458, y + 25, 473, y + 25);
        arrow(cr, 507, s == 0 ? y : y + 50, 507, s == 0 ? y - 16 : y + 66);
        label(cr, 518, s == 0 ? y - 6 : y + 64, s == 0 ? "L OUT" : "R OUT", true);
    }
    source(cr, band);
    cairo_set_line_width(cr, 1.5);
    cairo_move_to(cr, 80, 173);
    cairo_line_to(cr, 88, 173);
    cairo_stroke(cr);
    arrow(cr, 88, 173, 99, 100);
    arrow(cr, 88, 173, 99, 252);
    // Each blend also takes the other speaker.
    cairo_set_source_rgb(cr, 0.55, 0.40, 0.10);
    cairo_set_line_width(cr, 1.2);
    std::vector<double> dash = {4, 3};
    cairo_set_dash(cr, dash.data(), 2, 0);
    arrow(cr, 290, 257, 322, 121);
    arrow(cr, 290, 95, 322, 231);
    cairo_set_dash(cr, nullptr, 0, 0);
    label(cr, 14, 318, "Both speakers sound; each blend adds some of the other speaker. The delay shifts one", false, 12);
    label(cr, 14, 334, "output against the other: the whole side as Stereo Enhancer, its own speaker as Notcher.", false, 12);
    cairo_restore(cr);
}

// Stereo Mics: one speaker, a close and a room microphone pair.
void diagramMics(cairo_t* cr, double ox, double oy) {
    beginDiagram(cr, ox, oy, "Signal flow in STEREO MICS");
    block(cr, 14, 146, 70, 46, "INPUT", "mono", cream);
    block(cr, 104, 140, 118, 58, "LEFT speaker", "+ cabinet type", cream);
    block(cr, 244, 60, 100, 50, "Close mic", "position", cream);
    block(cr, 244, 214, 100, 50, "Room", "Small / Medium", room);
    block(cr, 364, 188, 92, 40, "Reflections", nullptr, room);
    block(cr, 364, 244, 92, 40, "Tail", nullptr, room);
    block(cr, 476, 100, 76, 50, "Blend", "L", sand);
    block(cr, 476, 196, 76, 50, "Blend", "R", sand);
    source(cr, band);
    cairo_set_line_width(cr, 1.5);
    arrow(cr, 84, 169, 103, 169);
    arrow(cr, 222, 160, 243, 90);
    arrow(cr, 222, 178, 243, 236);
    arrow(cr, 344, 230, 363, 210);
    arrow(cr, 344, 246, 363, 262);
    arrow(cr, 344, 85, 475, 118);
    arrow(cr, 344, 92, 475, 212);
    arrow(cr, 456, 208, 475, 135);
    arrow(cr, 456, 262, 475, 232);
    label(cr, 490, 92, "L OUT", true);
    label(cr, 482, 272, "R OUT", true);
    label(cr, 365, 300, "DEPTH: reflections vs. tail", false, 12);
    label(cr, 365, 316, "TIME: length of the tail", false, 12);
    label(cr, 365, 332, "COLOR: I (bright) .. IV (dark)", false, 12);
    label(cr, 14, 318, "Only the left speaker sounds; its close", false, 12);
    label(cr, 14, 334, "microphone and a room pair make the stereo.", false, 12);
    cairo_restore(cr);
}

}  // namespace

Point Layout::toPage(double wx, double wy) const {
    return {shotX + (wx - winX) * shotScale, shotY + (wy - winY) * shotScale};
}

namespace {

double arg(const Element& e, size_t i) { return i < e.args.size() ? std::atof(e.args[i].c_str()) : 0; }

bool drawShot(Layout& L, const Element& e, const std::map<std::string, Shot>& shots) {
    if (e.args.size() < 5) return L.fail(e, "@shot needs STATE X Y W H");
    auto found = shots.find(e.args[0]);
    if (found == shots.end()) return L.fail(e, "no window state " + e.args[0]);
    double x = arg(e, 1), y = arg(e, 2), w = arg(e, 3), h = arg(e, 4), scale = 1;
    bool placed = false;
    double px = 0, py = 0;
    for (size_t i = 5; i < e.args.size(); ++i) {
        if (e.args[i] == "scale") scale = arg(e, ++i);
        else if (e.args[i] == "at") {
            px = arg(e, i + 1);
            py = arg(e, i + 2);
            i += 2;
            placed = true;
        }
    }
    double sw = w * scale, sh = h * scale;
    if (!placed) {
        px = std::round((L.left + L.right - sw) / 2);
        py = L.y + 2;
        L.y += sh + 12;
    }
    cairo_surface_t* img = shotSurface(found->second);
    cairo_t* cr = L.cr;
    bool full = px <= 0 && py <= 0 && sw >= L.width && sh >= L.height;
    if (!full) {
        cairo_rectangle(cr, px + 3, py + 3, sw, sh);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.15);
        cairo_fill(cr);
    }
    cairo_save(cr);
    cairo_rectangle(cr, px, py, sw, sh);
    cairo_clip(cr);
    cairo_translate(cr, px, py);
    cairo_scale(cr, scale, scale);
    cairo_set_source_surface(cr, img, -x, -y);
    cairo_pattern_set_filter(cairo_get_source(cr), scale == 1 ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_BEST);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(img);
    if (!full) {
        cairo_rectangle(cr, px + 0.5, py + 0.5, sw - 1, sh - 1);
        cairo_set_source_rgb(cr, 0.55, 0.55, 0.55);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    }
    L.shotX = px;
    L.shotY = py;
    L.shotScale = scale;
    L.winX = x;
    L.winY = y;
    return true;
}

bool drawDirective(Layout& L, const Element& e, const std::map<std::string, Shot>& shots) {
    const std::string& d = e.text;
    if (d == "shot") return drawShot(L, e, shots);
    if (d == "mark") {
        Point p = L.toPage(arg(e, 1), arg(e, 2));
        marker(L.cr, p.x, p.y, std::atoi(e.args.at(0).c_str()));
        return true;
    }
    if (d == "frame") {
        Point a = L.toPage(arg(e, 0), arg(e, 1));
        Point b = L.toPage(arg(e, 0) + arg(e, 2), arg(e, 1) + arg(e, 3));
        pictures::roundedRect(L.cr, a.x - 2, a.y - 2, b.x - a.x + 4, b.y - a.y + 4, 4);
        source(L.cr, gold);
        cairo_set_line_width(L.cr, 2.5);
        cairo_stroke(L.cr);
        return true;
    }
    if (d == "diagram") {
        double x = 0, y = L.y;
        if (e.args.size() >= 4 && e.args[1] == "at") x = arg(e, 2), y = arg(e, 3);
        if (e.args.empty()) return L.fail(e, "@diagram needs a name");
        if (e.args[0] == "cabs") diagramCabs(L.cr, x, y);
        else if (e.args[0] == "mics") diagramMics(L.cr, x, y);
        else return L.fail(e, "no diagram " + e.args[0]);
        return true;
    }
    if (d == "reserve") {
        int n = std::atoi(e.args.at(0).c_str());
        if (n < 1 || n > userguide::PictureCount) return L.fail(e, "no picture " + e.args[0]);
        const userguide::Picture& own = userguide::pictures[L.page.number - 1];
        const userguide::Picture& p = userguide::pictures[n - 1];
        double top = userguide::imageTop(p) - userguide::imageTop(own);
        if (L.y > top) return L.fail(e, "text reaches into picture " + e.args[0]);
        L.y = top + p.imageH + 10;
        return true;
    }
    if (d == "y") return L.y = arg(e, 0), true;
    if (d == "size") return L.size = arg(e, 0), true;
    if (d == "margins") {
        L.left = arg(e, 0);
        L.right = arg(e, 1);
        return true;
    }
    if (d == "gap") return L.y += arg(e, 0), true;
    return L.fail(e, "unknown directive @" + d);
}

bool drawElement(Layout& L, const Element& e, const std::map<std::string, Shot>& shots) {
    cairo_t* cr = L.cr;
    switch (e.kind) {
    case Element::Title: {
        if (!L.place(e, {L.left, L.y, L.right - L.left, 28})) return false;
        font(cr, true, 19);
        source(cr, band);
        cairo_move_to(cr, L.left, L.y + 19);
        cairo_show_text(cr, e.text.c_str());
        source(cr, gold);
        cairo_rectangle(cr, L.left, L.y + 26, L.right - L.left, 2.5);
        cairo_fill(cr);
        L.y += 38;
        return true;
    }
    case Element::Paragraph:
        if (!flowText(L, e, e.text, L.left, L.right)) return false;
        L.y += 6;
        return true;
    case Element::Bullet: {
        double y = L.y;
        if (!flowText(L, e, e.text, L.left + 16, L.right)) return false;
        cairo_arc(cr, L.left + 6, y + std::round(L.size) - L.size * 0.33, 2.6, 0, 2 * M_PI);
        source(cr, dashboardBrown);
        cairo_fill(cr);
        L.y += 3;
        return true;
    }
    case Element::Item: {
        double y = L.y;
        if (!flowText(L, e, e.text, L.left + 24, L.right)) return false;
        marker(cr, L.left + 9, y + std::round(L.size) - L.size * 0.36, e.number, 8);
        L.y += 4;
        return true;
    }
    case Element::Command: {
        double h = 22;
        if (!L.place(e, {L.left, L.y, L.right - L.left, h})) return false;
        cairo_rectangle(cr, L.left, L.y, L.right - L.left, h);
        cairo_set_source_rgb(cr, 0.94, 0.93, 0.90);
        cairo_fill(cr);
        source(cr, gold);
        cairo_rectangle(cr, L.left, L.y, 3, h);
        cairo_fill(cr);
        font(cr, false, 12.5, mono);
        source(cr, ink);
        cairo_move_to(cr, L.left + 10, L.y + 15.5);
        cairo_show_text(cr, e.text.c_str());
        L.y += h + 6;
        return true;
    }
    case Element::Directive: return drawDirective(L, e, shots);
    }
    return true;
}

}  // namespace

bool drawPage(const Page& page, const std::map<std::string, Shot>& shots, cairo_surface_t** surface,
              std::string& error) {
    if (page.number < 1 || page.number > userguide::PictureCount)
        return error = "no picture " + std::to_string(page.number), false;
    const userguide::Picture& own = userguide::pictures[page.number - 1];
    const char* format = page.windows ? userguide::windowsFileFormat(page.number - 1) : own.fileFormat;
    std::string expected = format ? std::string(format).substr(3) : std::string("no Windows version");
    if (page.file != expected) return error = "picture " + std::to_string(page.number) + " is " + expected, false;
    int w = own.imageW, h = own.imageH;
    *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(*surface);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);

    Layout L(cr, page, w, h);
    // Pictures created later lie over this one where they meet it.
    for (int n = page.number; n < userguide::PictureCount; ++n) {
        const userguide::Picture& p = userguide::pictures[n];
        Rect r = {double(userguide::imageLeft(p) - userguide::imageLeft(own)),
                  double(userguide::imageTop(p) - userguide::imageTop(own)), double(p.imageW), double(p.imageH)};
        if (r.meets({0, 0, double(w), double(h)}) && r.h < h) L.covered.push_back(r);
    }
    bool ok = true;
    for (const Element& e : page.elements)
        if (!drawElement(L, e, shots)) {
            ok = false;
            break;
        }
    cairo_destroy(cr);
    if (!ok) {
        error = L.error;
        cairo_surface_destroy(*surface);
        *surface = nullptr;
    }
    return ok;
}

}  // namespace guide
