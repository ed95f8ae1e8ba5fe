// The window's keyboard shortcuts (shell/keys.cpp).
#pragma once

namespace keys {

struct Action {
    enum Kind { None, Undo, Redo, Read, Write, Preset, Tab };
    Kind kind = None;
    int index = 0;                  // preset 0-7, tab 0-2
};

// What a key with the modifier state (FL_CTRL, FL_SHIFT, FL_ALT) does.
Action actionOf(int key, int state);

}  // namespace keys
