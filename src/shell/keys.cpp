// The window's keyboard: undo and redo, READ and WRITE, the eight presets and
// the three tabs. Every key here is in the table of shortcuts
// (shell/shortcut_list.h) that Menu > Keyboard Shortcuts, the user guide and
// the README list.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input_.H>
#include <FL/Fl_Light_Button.H>
#include <FL/Fl_Tabs.H>

#include "editor/OV_Parameters.h"
#include "presets/OV_TransportPanel.h"
#include "presets/PresetGroup.h"
#include "reference/OV_ToneChart.h"
#include "reference/OV_UserGuide.h"
#include "shell/main_window.h"
#include "shell/keys.h"

namespace keys {

Action actionOf(int key, int state) {
    const bool ctrl = (state & FL_CTRL) != 0, shift = (state & FL_SHIFT) != 0, alt = (state & FL_ALT) != 0;
    if (ctrl == alt) return {};                           // one of the two, never both
    if (key >= 'A' && key <= 'Z') key += 'a' - 'A';
    if (ctrl) {
        if (key == 'z') return {shift ? Action::Redo : Action::Undo, 0};
        if (shift) return {};
        if (key == 'y') return {Action::Redo, 0};
        if (key == 'r') return {Action::Read, 0};
        if (key == 'w') return {Action::Write, 0};
        if (key >= '1' && key <= '8') return {Action::Preset, key - '1'};
        if (key >= FL_KP + '1' && key <= FL_KP + '8') return {Action::Preset, key - FL_KP - '1'};
        return {};
    }
    if (shift) return {};
    if (key >= '1' && key <= '3') return {Action::Tab, key - '1'};
    if (key >= FL_KP + '1' && key <= FL_KP + '3') return {Action::Tab, key - FL_KP - '1'};
    return {};
}

}  // namespace keys

namespace {

Orvella* keyWindow = nullptr;
Fl_Event_Dispatch earlierDispatch = nullptr;

// The window's keys come before its focused control: a field that was
// entered would otherwise take Ctrl+Z as the undo of its own text. Typing
// not yet entered keeps its own undo.
int dispatchKeys(int event, Fl_Window* window) {
    if (event == FL_KEYBOARD && keyWindow && window == keyWindow) {
        Fl_Input_* field = dynamic_cast<Fl_Input_*>(Fl::focus());
        keys::Action action = keys::actionOf(Fl::event_key(), Fl::event_state());
        const bool typing = field && field->changed() &&
                            (action.kind == keys::Action::Undo || action.kind == keys::Action::Redo);
        if (action.kind != keys::Action::None && !typing && keyWindow->shortcut(Fl::event_key(), Fl::event_state()))
            return 1;
    }
    return earlierDispatch ? earlierDispatch(event, window) : Fl::handle_(event, window);
}

}  // namespace

void Orvella::listenForKeys(bool on) {
    if (on && !keyWindow) {
        keyWindow = this;
        earlierDispatch = Fl::event_dispatch();
        Fl::event_dispatch(dispatchKeys);
    } else if (!on && keyWindow == this) {
        Fl::event_dispatch(earlierDispatch);
        earlierDispatch = nullptr;
        keyWindow = nullptr;
    }
}

bool Orvella::shortcut(int key, int state) {
    keys::Action action = keys::actionOf(key, state);
    OV_TransportPanel* transport = transportPanel_;
    switch (action.kind) {
    case keys::Action::Undo: edits_.undo(); return true;
    case keys::Action::Redo: edits_.redo(); return true;
    case keys::Action::Read:
    case keys::Action::Write: {
        Fl_Button* button = action.kind == keys::Action::Read ? transport->readButton : transport->writeButton;
        // As a click would: only while the button takes one.
        if (button->active_r()) {
            // A click takes the focus first, which enters a title still being typed.
            button->take_focus();
            button->value(1);
            transport->actionPressed(button);
        }
        return true;
    }
    case keys::Action::Preset: {
        PresetGroup* group = static_cast<PresetGroup*>(transport->child(action.index));
        if (group->light->active_r()) {
            group->light->take_focus();
            transport->presetChosen(group);
        }
        return true;
    }
    case keys::Action::Tab: {
        Fl_Widget* pages[3] = {dashboard_, toneChart_, userGuide_};
        if (tabs_->active_r() && tabs_->value() != pages[action.index]) {
            tabs_->value(pages[action.index]);
            tabSwitched();
        }
        return true;
    }
    case keys::Action::None: break;
    }
    return false;
}
