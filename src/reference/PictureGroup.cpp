#include "reference/PictureGroup.h"

#include <FL/Fl_JPEG_Image.H>
#include <FL/Fl_PNG_Image.H>

#include <cstring>
#include <strings.h>

namespace {

bool endsWith(const char* text, const char* tail) {
    size_t n = std::strlen(text), t = std::strlen(tail);
    return n >= t && strcasecmp(text + n - t, tail) == 0;
}

Fl_Image* decode(const char* path) {
    Fl_Image* img = nullptr;
    if (endsWith(path, ".jpg") || endsWith(path, ".jpeg"))
        img = new Fl_JPEG_Image(path);
    else
        img = new Fl_PNG_Image(path);
    if (img->fail() || img->w() <= 0 || img->h() <= 0) {
        delete img;
        return nullptr;
    }
    return img;
}

} // namespace

PictureGroup::PictureGroup(int x, int y, int w, int h, int bx, int by, int bw, int bh, const char* path)
    : Fl_Group(x, y, w, h), picture(nullptr), image(decode(path)) {
    picture = new Fl_Box(FL_NO_BOX, bx, by, bw, bh, nullptr);
    if (image) {
        picture->image(image);
        picture->align(FL_ALIGN_CENTER | FL_ALIGN_INSIDE);
    }
    end();
}

PictureGroup::PictureGroup(int x, int y, int w, int h, const char* path)
    : PictureGroup(x, y, w, h, x, y, w, h, path) {}

PictureGroup::~PictureGroup() {
    remove(picture);
    delete picture;
    delete image;
}
