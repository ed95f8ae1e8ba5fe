#include "shell/shortcut_list.h"

namespace shortcuts {

const char* const readmeBegin = "<!-- Keyboard shortcuts: written by orvella-shortcut-list from src/shell/shortcut_list.h -->";
const char* const readmeEnd = "<!-- End of the keyboard shortcuts -->";

namespace {

const char* const fieldNote = "While you type in a field, Ctrl+Z undoes the typing; once it is entered, the change.";

// The key names in bold, their joints as words: "**Ctrl+1** ... **Ctrl+8**".
std::string bold(const std::string& keys) {
    static const char* const joints[] = {", ", " ... ", "  or  "};
    std::string out, name;
    for (size_t i = 0; i < keys.size();) {
        const char* joint = nullptr;
        for (const char* j : joints)
            if (keys.compare(i, std::char_traits<char>::length(j), j) == 0) joint = j;
        if (!joint) {
            name += keys[i++];
            continue;
        }
        out += "**" + name + "**" + (joint == joints[2] ? std::string(" or ") : std::string(joint));
        name.clear();
        i += std::char_traits<char>::length(joint);
    }
    return out + "**" + name + "**";
}

}  // namespace

std::string keyName(Key key) {
    std::string name;
    if (key.modifiers & Ctrl) name += "Ctrl+";
    if (key.modifiers & Alt) name += "Alt+";
    if (key.modifiers & Shift) name += "Shift+";
    const char letter = key.letter >= 'a' && key.letter <= 'z' ? static_cast<char>(key.letter - 'a' + 'A') : key.letter;
    return name + letter;
}

std::string keysOf(const Shortcut& shortcut) {
    return (shortcut.menuKey.letter ? keyName(shortcut.menuKey) : std::string()) + shortcut.keys;
}

std::string listText() {
    std::string text = "Keyboard shortcuts :\n\n";
    for (Part part : {Window, Dashboard}) {
        if (part == Dashboard) text += "\nOn the Dashboard :\n\n";
        for (const Shortcut& s : list)
            if (s.part == part) text += "  " + keysOf(s) + "  :  " + s.does + "\n";
    }
    return text + "\n" + fieldNote;
}

std::string guideParagraph() {
    std::string text = "**Keys:**";
    for (Part part : {Window, Dashboard}) {
        const char* joint = part == Window ? " " : "; on the Dashboard ";
        for (const Shortcut& s : list) {
            if (s.part != part) continue;
            text += joint + bold(keysOf(s)) + " " + s.brief;
            joint = ", ";
        }
    }
    return text + ". Menu > Keyboard Shortcuts lists them.";
}

std::string readmeSection() {
    std::string text;
    for (Part part : {Window, Dashboard}) {
        text += part == Window ? "- **Keys** (Menu > Keyboard Shortcuts lists them):\n" : "- **Keys on the Dashboard**:\n";
        for (const Shortcut& s : list)
            if (s.part == part) text += "  - " + bold(keysOf(s)) + ": " + s.does + "\n";
    }
    return text + "\n  " + fieldNote + "\n";
}

}  // namespace shortcuts
