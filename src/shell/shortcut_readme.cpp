// Writes the README's list of keyboard shortcuts from the one table
// (shell/shortcut_list.h): the lines between its two marker lines are
// replaced. With --check it writes nothing and fails when the README's list
// differs (the packaging tests run it so).
//
//   orvella-shortcut-list [--check] README.md
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "shell/shortcut_list.h"

int main(int argc, char** argv) {
    const bool check = argc == 3 && std::strcmp(argv[1], "--check") == 0;
    if (argc != 2 + check) {
        std::fprintf(stderr, "usage: orvella-shortcut-list [--check] README.md\n");
        return 2;
    }
    const char* path = argv[argc - 1];
    std::ifstream in(path);
    std::ostringstream read;
    read << in.rdbuf();
    if (!in) {
        std::fprintf(stderr, "orvella-shortcut-list: cannot read %s\n", path);
        return 1;
    }
    const std::string text = read.str();
    const std::string begin = std::string(shortcuts::readmeBegin) + "\n", end = std::string(shortcuts::readmeEnd) + "\n";
    const size_t from = text.find(begin), to = text.find(end, from == std::string::npos ? 0 : from);
    if (from == std::string::npos || to == std::string::npos || to < from) {
        std::fprintf(stderr, "orvella-shortcut-list: %s has no lines \"%s\" ... \"%s\"\n", path, shortcuts::readmeBegin,
                     shortcuts::readmeEnd);
        return 1;
    }
    const std::string written = text.substr(0, from + begin.size()) + shortcuts::readmeSection() + text.substr(to);
    if (check) {
        if (written == text) return 0;
        std::fprintf(stderr, "orvella-shortcut-list: the keyboard shortcuts of %s are not the table's:\n%s", path,
                     shortcuts::readmeSection().c_str());
        return 1;
    }
    if (written == text) return 0;
    std::ofstream out(path);
    out << written;
    out.close();
    if (!out) {
        std::fprintf(stderr, "orvella-shortcut-list: cannot write %s\n", path);
        return 1;
    }
    return 0;
}
