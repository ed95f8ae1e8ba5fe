#include "tools/guide/GuideSource.h"

#include <cctype>
#include <fstream>
#include <sstream>

#include "shell/shortcut_list.h"

namespace guide {

namespace {

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

bool isItem(const std::string& line, int& number, std::string& text) {
    size_t i = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
    if (i == 0 || i > 2 || i + 1 >= line.size() || line[i] != ')' || line[i + 1] != ' ') return false;
    number = std::stoi(line.substr(0, i));
    text = line.substr(i + 2);
    return true;
}

}  // namespace

bool readSource(const std::string& path, Source& source, std::string& error) {
    std::ifstream in(path);
    if (!in) return error = "cannot read " + path, false;
    Page* page = nullptr;
    Element* open = nullptr;  // a paragraph, bullet or item still taking lines
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == ';') continue;
        if (!line.empty() && line[0] == '[') {
            size_t close = line.find("] ");
            if (close == std::string::npos) return error = path + ":" + std::to_string(n) + ": bad page line", false;
            source.pages.push_back(Page());
            page = &source.pages.back();
            std::vector<std::string> head = words(line.substr(1, close - 1));
            page->number = head.empty() ? 0 : std::atoi(head[0].c_str());
            page->windows = head.size() == 2 && head[1] == "windows";
            if (head.size() > 2 || (head.size() == 2 && !page->windows))
                return error = path + ":" + std::to_string(n) + ": bad page line", false;
            page->file = line.substr(close + 2);
            open = nullptr;
            continue;
        }
        if (!page) {
            source.preface.push_back(line);
            continue;
        }
        if (line.empty()) {
            open = nullptr;
            continue;
        }
        if (open && line[0] != '#' && line[0] != '@' && line[0] != '$') {
            bool continuation = open->kind == Element::Paragraph || line.compare(0, 2, "  ") == 0;
            int number;
            std::string text;
            if (continuation && line.compare(0, 2, "- ") != 0 && !isItem(line, number, text)) {
                size_t start = line.find_first_not_of(' ');
                open->text += " " + line.substr(start);
                continue;
            }
        }
        Element e;
        e.line = n;
        int number;
        std::string text;
        if (line.compare(0, 2, "# ") == 0) {
            e.kind = Element::Title;
            e.text = line.substr(2);
            page->title = e.text;
        } else if (line.compare(0, 2, "- ") == 0) {
            e.kind = Element::Bullet;
            e.text = line.substr(2);
        } else if (line.compare(0, 2, "$ ") == 0) {
            e.kind = Element::Command;
            e.text = line.substr(2);
        } else if (isItem(line, number, text)) {
            e.kind = Element::Item;
            e.number = number;
            e.text = text;
        } else if (line[0] == '@') {
            e.kind = Element::Directive;
            std::vector<std::string> w = words(line.substr(1));
            if (w.empty()) return error = path + ":" + std::to_string(n) + ": empty directive", false;
            e.text = w[0];
            if (e.text == "keys") {
                e.kind = Element::Paragraph;
                e.text = shortcuts::guideParagraph();
                page->elements.push_back(e);
                open = nullptr;
                continue;
            }
            if (e.text == "alt") {
                page->alt = line.substr(line.find("alt") + 4);
                continue;
            }
            e.args.assign(w.begin() + 1, w.end());
        } else {
            e.kind = Element::Paragraph;
            e.text = line;
        }
        page->elements.push_back(e);
        bool takesLines = e.kind == Element::Paragraph || e.kind == Element::Bullet || e.kind == Element::Item;
        open = takesLines ? &page->elements.back() : nullptr;
    }
    if (source.pages.empty()) return error = path + ": no pages", false;
    return true;
}

std::string markdown(const Source& source, const std::string& imageFolder) {
    std::string md;
    for (const std::string& line : source.preface) md += line + "\n";
    for (const Page& page : source.pages) {
        bool wroteText = false;
        Element::Kind last = Element::Directive;
        for (const Element& e : page.elements) {
            if (e.kind == Element::Directive) continue;
            bool list = e.kind == Element::Bullet || e.kind == Element::Item;
            if (wroteText && !(list && last == e.kind)) md += "\n";
            switch (e.kind) {
            case Element::Title: md += "## " + e.text + "\n"; break;
            case Element::Paragraph: md += e.text + "\n"; break;
            case Element::Bullet: md += "- " + e.text + "\n"; break;
            case Element::Command: md += "    " + e.text + "\n"; break;
            case Element::Item: md += std::to_string(e.number) + ". " + e.text + "\n"; break;
            case Element::Directive: break;
            }
            wroteText = true;
            last = e.kind;
        }
        if (wroteText) md += "\n";
        std::string alt = page.alt.empty() ? page.title : page.alt;
        md += "![" + alt + "](<" + imageFolder + "/" + page.file + ">)\n\n";
    }
    return md;
}

}  // namespace guide
