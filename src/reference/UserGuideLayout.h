// Where everything of the user guide page sits: the topic list's lines with
// the scroll position each one jumps to, and the thirty pictures with their
// file names and boxes. The page, the picture tool and the tests read it
// from here. No toolkit header: the drawing tool uses it too.
#pragma once

namespace userguide {

constexpr int TopicCount = 34;
constexpr int PictureCount = 30;

struct Topic {
    const char* text;
    int offset;  // vertical scroll position of the topic's place; -1 for a spacer
};

// Lines 1 to 34 of the topic list, in order (topics[0] is line 1).
extern const Topic topics[TopicCount];

// Whether a line's text is one of the two spacers (" " or fifteen tildes).
bool isSpacer(const char* text);

struct Picture {
    const char* fileFormat;  // "%s" stands for the image folder
    int x, y, w, h;          // the box showing the image, window coordinates, page unscrolled
    int groupY, groupH;      // the group around the box (differs from the box for picture 1 only)
    int imageW, imageH;      // the size the file name states
};

// Pictures 1 to 30 in creation order (pictures[0] is picture 1).
extern const Picture pictures[PictureCount];

// The few pictures that speak of the system (Basic Setup: installing,
// drivers, ports) have a Windows version of the same size, drawn from the
// same source: its file format for pictures[n], nullptr when there is none.
const char* windowsFileFormat(int n);
// The file format of pictures[n] on the system the program was built for.
const char* fileFormat(int n);

// Where picture n's image is drawn: its own size centred on its box (the
// toolkit's integer halving), so an image larger than the box overflows it.
inline int imageLeft(const Picture& p) { return p.x + (p.w - p.imageW) / 2; }
inline int imageTop(const Picture& p) { return p.y + (p.h - p.imageH) / 2; }

}  // namespace userguide
