// Makes the user guide from its one text source: the thirty pictures of the
// "User Guide" tab (pages drawn with cairo around pieces of the real window)
// and the same words as markdown. scripts/make-guide.sh runs it under a
// private X server:
//
//   orvella-draw-guide --repo . --pedal build/pedal/orvella-pedal
//       --out data/img --markdown docs/user-guide.md
#include <cairo.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>
#include <unistd.h>

#include <jpeglib.h>  // after <cstdio>: it needs FILE and size_t

#include <FL/Fl.H>
#include <FL/x.H>

#include "tools/guide/GuidePages.h"
#include "tools/guide/GuideSource.h"
#include "tools/guide/WindowShots.h"
#include "base/program_info.h"
#include "tools/pictures/picture_tools.h"

namespace {

bool saveJpeg(cairo_surface_t* surface, const std::string& path) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    int stride = cairo_image_surface_get_stride(surface);
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = w;
    info.image_height = h;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 92, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(w * 3);
    while (info.next_scanline < info.image_height) {
        const unsigned char* src = data + info.next_scanline * stride;
        for (int x = 0; x < w; ++x) {
            uint32_t v;
            std::memcpy(&v, src + 4 * x, 4);
            row[3 * x] = (v >> 16) & 0xff;
            row[3 * x + 1] = (v >> 8) & 0xff;
            row[3 * x + 2] = v & 0xff;
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0;
}

bool endsWith(const std::string& s, const char* tail) {
    size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// A busy shared X server (tests running side by side) can refuse a
// connection for a moment; the toolkit would end the program at once.
bool openDisplay() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (Display* display = XOpenDisplay(nullptr)) {
            fl_open_display(display);
            return true;
        }
        usleep(50 * 1000);
    }
    std::fprintf(stderr, "cannot open the X display\n");
    return false;
}

const char* const usageText =
    "usage: orvella-draw-guide --repo DIR --pedal ORVELLA-PEDAL --out DIR [--markdown FILE]\n"
    "       [--image-path PATH] [--shots DIR]\n"
    "Reads DIR/docs/guide/guide.txt and writes the user guide's pictures into --out\n"
    "and its markdown (pictures linked as PATH/NAME, default ../data/img). Needs an X\n"
    "display; --shots also writes the window states it pictured, for checking.\n";

int usage() {
    std::fputs(usageText, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int answered = programinfo::answerHelpOrVersion(argc, argv, "orvella-draw-guide", usageText);
    if (answered >= 0) return answered;
    std::string repo, pedal, out, md, imagePath = "../data/img", shotsDir;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 >= argc) return usage();
        if (a == "--repo") repo = argv[++i];
        else if (a == "--pedal") pedal = argv[++i];
        else if (a == "--out") out = argv[++i];
        else if (a == "--markdown") md = argv[++i];
        else if (a == "--image-path") imagePath = argv[++i];
        else if (a == "--shots") shotsDir = argv[++i];
        else return usage();
    }
    if (repo.empty() || pedal.empty() || out.empty()) return usage();
    // Paths given relative to where we started stay valid after the pictures
    // are taken in a working folder of their own.
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return 1;
    auto absolute = [&](std::string& p) {
        if (!p.empty() && p[0] != '/') p = std::string(cwd) + "/" + p;
    };
    absolute(repo);
    absolute(pedal);
    absolute(out);
    absolute(md);
    absolute(shotsDir);

    guide::Source source;
    std::string error;
    if (!guide::readSource(repo + "/docs/guide/guide.txt", source, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (!openDisplay()) return 1;
    std::map<std::string, guide::Shot> shots;
    if (!guide::takeShots(repo, pedal, shots, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    bool ok = true;
    if (!shotsDir.empty())
        for (const auto& [name, shot] : shots) {
            guide::Page whole;
            cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, shot.w, shot.h);
            cairo_surface_flush(s);
            unsigned char* data = cairo_image_surface_get_data(s);
            for (int p = 0; p < shot.w * shot.h; ++p) {
                uint32_t v = (uint32_t(shot.rgb[3 * p]) << 16) | (uint32_t(shot.rgb[3 * p + 1]) << 8) | shot.rgb[3 * p + 2];
                std::memcpy(data + (p / shot.w) * cairo_image_surface_get_stride(s) + (p % shot.w) * 4, &v, 4);
            }
            cairo_surface_mark_dirty(s);
            ok &= pictures::savePng(s, shotsDir + "/" + name + ".png");
            cairo_surface_destroy(s);
        }
    for (const guide::Page& page : source.pages) {
        cairo_surface_t* surface = nullptr;
        if (!guide::drawPage(page, shots, &surface, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            ok = false;
            continue;
        }
        std::string path = out + "/" + page.file;
        ok &= endsWith(page.file, ".jpg") ? saveJpeg(surface, path) : pictures::savePng(surface, path);
        cairo_surface_destroy(surface);
    }
    if (!md.empty()) {
        FILE* f = std::fopen(md.c_str(), "w");
        std::string text = guide::markdown(source, imagePath);
        if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fclose(f) != 0) {
            std::fprintf(stderr, "cannot write %s\n", md.c_str());
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
