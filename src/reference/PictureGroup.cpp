#include "reference/PictureGroup.h"

#include <FL/Fl_JPEG_Image.H>
#include <FL/Fl_PNG_Image.H>

#include <algorithm>
#include <cstring>
#include <vector>
#include <strings.h>

namespace {

bool endsWith(const char* text, const char* tail) {
    size_t n = std::strlen(text), t = std::strlen(tail);
    return n >= t && strcasecmp(text + n - t, tail) == 0;
}

Fl_Image* decodeFile(const char* path) {
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

bool deferring = false;
std::vector<const PictureGroup*> waiting;   // groups with a file still to decode

} // namespace

PictureGroup::PictureGroup(int x, int y, int w, int h, int bx, int by, int bw, int bh, const char* path)
    : Fl_Group(x, y, w, h), picture(nullptr), image(nullptr), pending(path) {
    picture = new Fl_Box(FL_NO_BOX, bx, by, bw, bh, nullptr);
    picture->align(FL_ALIGN_CENTER | FL_ALIGN_INSIDE);
    end();
    if (deferring) waiting.push_back(this);
    else decode();
}

void PictureGroup::decode() const {
    if (pending.empty()) return;
    image = decodeFile(pending.c_str());
    pending.clear();
    if (image) {
        picture->image(image);
        picture->redraw();
    }
}

bool PictureGroup::loaded() const {
    decode();
    return image != nullptr;
}

void PictureGroup::deferDecoding(bool on) { deferring = on; }

void PictureGroup::decodePending() {
    std::vector<const PictureGroup*> groups;
    groups.swap(waiting);
    for (const PictureGroup* g : groups) g->decode();
}

PictureGroup::PictureGroup(int x, int y, int w, int h, const char* path)
    : PictureGroup(x, y, w, h, x, y, w, h, path) {}

PictureGroup::~PictureGroup() {
    waiting.erase(std::remove(waiting.begin(), waiting.end(), this), waiting.end());
    remove(picture);
    delete picture;
    delete image;
}
