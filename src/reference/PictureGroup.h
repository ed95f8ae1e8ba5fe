// One picture of a reference page: a group holding a frameless box that shows
// an image read from the image folder, drawn at the image's own size and
// centred on the box (an image larger than its box overflows it).
// The tone chart and the user guide place these at fixed geometries.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Image.H>

#include <string>

class PictureGroup : public Fl_Group {
public:
    // The group at (x, y, w, h), the box at (bx, by, bw, bh). `path` names a
    // PNG file, or a JPEG file when it ends in ".jpg" or ".jpeg". A missing or
    // unreadable file leaves the box without a picture; nothing is shown to
    // the user and the page works as before.
    PictureGroup(int x, int y, int w, int h, int bx, int by, int bw, int bh, const char* path);
    // The common case: box and group share one geometry.
    PictureGroup(int x, int y, int w, int h, const char* path);
    ~PictureGroup() override;

    // True when the file was decoded and the box shows it (a group whose
    // decoding was deferred decodes now).
    bool loaded() const;

    // Start-up help: while deferring is on, new groups only note their file
    // and decode when decodePending() runs (the main window runs it once it
    // is shown) or when loaded() is asked; so the pictures cost the window
    // nothing before it shows, and nothing when their page opens.
    static void deferDecoding(bool on);
    static void decodePending();

    Fl_Box* picture;
    mutable Fl_Image* image;

private:
    void decode() const;
    mutable std::string pending;    // the file still to decode, "" when done
};
