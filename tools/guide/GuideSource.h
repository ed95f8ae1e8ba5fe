// The user guide's one text source (docs/guide/guide.txt), read into pages.
// The picture tool draws each page from it and writes docs/user-guide.md
// with the same words, so the two cannot drift apart.
//
// A page starts with "[N] FILE" (picture N and its file name), or with
// "[N windows] FILE" for the page picture N is on Windows (its own file,
// userguide::windowsFileFormat). Its lines:
//   # Title               the page's heading
//   text                  a paragraph (lines join until a blank line); **bold**
//   - text                a bullet item (continuation lines start with two spaces)
//   $ text                a command, set in a fixed-width face
//   N) text               an item explained by the numbered marker N on a picture
//   @shot STATE X Y W H [scale S] [at PX PY]   a piece of the window in STATE
//   @mark N X Y           numbered marker at window point (X, Y) of the last shot
//   @frame X Y W H        highlight around a window area of the last shot
//   @diagram NAME [at PX PY]                   a drawn diagram
//   @reserve N            skip the place where picture N lies over this one
//   @y Y / @margins L R   where the text goes next / its left and right edges
//   @size N               body text size for the rest of the page
//   @alt TEXT             what the page shows, for readers of the markdown
//   @keys                 a paragraph listing the keyboard shortcuts (shell/shortcut_list.h)
// Lines starting with ";" are comments. Lines before the first page are
// the markdown's preface.
#pragma once

#include <string>
#include <vector>

namespace guide {

struct Element {
    enum Kind { Title, Paragraph, Bullet, Command, Item, Directive } kind;
    std::string text;               // words, or the directive's name
    std::vector<std::string> args;  // a directive's arguments
    int number = 0;                 // an Item's marker number
    int line = 0;                   // where it stands in the source
};

struct Page {
    int number = 0;
    bool windows = false;           // the Windows version of picture `number`
    std::string file;
    std::string title;
    std::string alt;
    std::vector<Element> elements;
};

struct Source {
    std::vector<std::string> preface;
    std::vector<Page> pages;
};

// Reads the source; on a malformed line returns false with the line in error.
bool readSource(const std::string& path, Source& source, std::string& error);

// The markdown version of the guide; imageFolder is the path from the
// markdown file to the pictures.
std::string markdown(const Source& source, const std::string& imageFolder);

}  // namespace guide
