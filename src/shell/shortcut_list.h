// The window's keyboard shortcuts as every list of them shows them: Menu >
// Keyboard Shortcuts, the user guide's F.A.Q and the README. No toolkit
// here, so the tools that write the guide and the README use it as the
// program does. The Menu takes the keys it shows beside Undo, Redo, Listen
// and the compared preset from it (shell/menu.cpp); shell/keys.cpp and
// listen/listening.cpp act on the keys.
#pragma once

#include <string>

namespace shortcuts {

enum Modifier { Ctrl = 1, Shift = 2, Alt = 4 };

// A key as a Menu entry shows it: modifiers and a lower-case letter.
struct Key {
    int modifiers;
    char letter;
};

enum Part { Window, Dashboard };   // the window's keys, or those of the Dashboard's controls

struct Shortcut {
    Key menuKey;        // the key beside its Menu entry, the first one listed; none: {0, 0}
    const char* keys;   // the (other) keys, their names joined by ", ", " ... " or "  or  "
    const char* does;   // what Menu > Keyboard Shortcuts says it does
    const char* brief;  // the same in a few words, for the user guide's one paragraph
    Part part;
};

enum Id { Undo, Redo, Read, Write, Presets, Tabs, Listen, Compared, NextControl, Step, Press, Count };

inline constexpr Shortcut list[Count] = {
    {{Ctrl, 'z'}, "", "undo the last change of the Dashboard or the title", "undo", Window},
    {{Ctrl | Shift, 'z'}, "  or  Ctrl+Y", "redo", "redo", Window},
    {{0, 0}, "Ctrl+R", "READ the selected preset from the pedal", "READ", Window},
    {{0, 0}, "Ctrl+W", "WRITE the Dashboard into the selected preset", "WRITE", Window},
    {{0, 0}, "Ctrl+1 ... Ctrl+8", "select Preset-1 ... Preset-8", "the presets", Window},
    {{0, 0}, "Alt+1, Alt+2, Alt+3", "the Dashboard, Tone Chart and User Guide tabs", "the tabs", Window},
    {{Ctrl, 'l'}, "", "Listen on this computer, on or off", "Listen", Window},
    {{Ctrl, 'k'}, "", "while listening, the compared preset or the Dashboard", "the compared preset", Window},
    {{0, 0}, "Tab, Shift+Tab", "next, previous control, in reading order", "the next, previous control", Dashboard},
    {{0, 0}, "Left, Right, Up, Down", "change the focused control a step", "change it a step", Dashboard},
    {{0, 0}, "Space", "press the focused button", "press a button", Dashboard},
};

// "Ctrl+Shift+Z" and the like; every key a shortcut names.
std::string keyName(Key key);
std::string keysOf(const Shortcut& shortcut);

// The text of Menu > Keyboard Shortcuts.
std::string listText();

// The user guide's paragraph (markdown's **bold**), and the README's list
// of them, the lines between its two marker lines (readmeBegin, readmeEnd).
std::string guideParagraph();
std::string readmeSection();
extern const char* const readmeBegin;
extern const char* const readmeEnd;

}  // namespace shortcuts
