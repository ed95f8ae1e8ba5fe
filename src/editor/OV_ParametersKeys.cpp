// The Dashboard's keyboard: Tab and Shift+Tab move the focus through the
// controls in reading order (row by row, left to right), and the arrow keys
// change the focused control. Valuators step themselves (Slider,
// Thumbwheel); here the menus, the pairs of boxes and the category buttons.
#include "editor/OV_Parameters.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>

#include <algorithm>

namespace {

// Widgets whose tops lie this close form one row.
const int rowSlack = 8;

bool takesFocus(Fl_Widget* w) {
    return w->visible_r() && w->active_r() && w->visible_focus() && !dynamic_cast<Fl_Box*>(w);
}

int arrowStep(int key) {
    if (key == FL_Right || key == FL_Down) return 1;
    if (key == FL_Left || key == FL_Up) return -1;
    return 0;
}

// The next item of a menu the user may pick (no heading, submenu title, end
// marker or separator), from index `from` in direction `step`; -1 for none.
int nextPickable(const Fl_Choice& choice, int from, int step) {
    const Fl_Menu_Item* items = choice.menu();
    const int n = choice.size();
    for (int i = from + step; items && i >= 0 && i < n; i += step) {
        const Fl_Menu_Item& item = items[i];
        if (item.label() && item.label()[0] && item.active() && !item.submenu()) return i;
    }
    return -1;
}

}  // namespace

std::vector<Fl_Widget*> OV_Parameters::tabOrder() const {
    std::vector<Fl_Widget*> order;
    for (int i = 0; i < children(); ++i)
        if (takesFocus(child(i))) order.push_back(child(i));
    // Rows first: sorted by top, a widget joins the row of the first one
    // within rowSlack above it; then left to right within a row.
    std::stable_sort(order.begin(), order.end(), [](Fl_Widget* a, Fl_Widget* b) { return a->y() < b->y(); });
    std::vector<int> row(order.size());
    for (size_t i = 0, start = 0; i < order.size(); ++i) {
        if (order[i]->y() - order[start]->y() > rowSlack) start = i;
        row[i] = order[start]->y();
    }
    std::vector<size_t> index(order.size());
    for (size_t i = 0; i < index.size(); ++i) index[i] = i;
    std::stable_sort(index.begin(), index.end(), [&](size_t a, size_t b) {
        return row[a] != row[b] ? row[a] < row[b] : order[a]->x() < order[b]->x();
    });
    std::vector<Fl_Widget*> sorted;
    for (size_t i : index) sorted.push_back(order[i]);
    return sorted;
}

bool OV_Parameters::moveFocus(int step) {
    std::vector<Fl_Widget*> order = tabOrder();
    if (order.empty()) return false;
    const int n = static_cast<int>(order.size());
    auto at = std::find(order.begin(), order.end(), Fl::focus());
    int from = at == order.end() ? (step > 0 ? -1 : n) : static_cast<int>(at - order.begin());
    // Round and round within the Dashboard.
    for (int k = 1; k <= n; ++k) {
        Fl_Widget* next = order[static_cast<size_t>(((from + step * k) % n + n) % n)];
        if (next->take_focus()) {
            repaint();
            return true;
        }
    }
    return false;
}

bool OV_Parameters::arrowPressed(int key) {
    const int step = arrowStep(key);
    Fl_Widget* focused = Fl::focus();
    if (!step || !focused) return false;

    if (Fl_Choice* choice = dynamic_cast<Fl_Choice*>(focused)) {
        if (choice != leftSpeakerChoice && choice != rightSpeakerChoice && choice != delayModeChoice) return false;
        int next = nextPickable(*choice, choice->value(), step);
        if (next >= 0) {
            choice->value(next);
            choice->do_callback();
        }
        return true;
    }
    // Pairs: the first to the left (or above), the second to the right.
    Fl_Widget* const pairs[][2] = {{stereoCabsButton, stereoMicsButton},
                                   {leftSealedCheck, leftOpenCheck},
                                   {rightSealedCheck, rightOpenCheck},
                                   {smallRoomCheck, mediumRoomCheck}};
    for (const auto& pair : pairs) {
        if (focused != pair[0] && focused != pair[1]) continue;
        Fl_Widget* target = pair[step > 0 ? 1 : 0];
        if (takesFocus(target)) {
            target->take_focus();
            target->do_callback();
            repaint();
        }
        return true;
    }
    for (int side = 0; side < 2; ++side) {
        Fl_Button** buttons = categoryButtons(side);
        for (int c = 0; c < sound::CategoryCount; ++c) {
            if (focused != buttons[c]) continue;
            int next = c + step;
            if (next >= 0 && next < sound::CategoryCount && takesFocus(buttons[next])) {
                buttons[next]->take_focus();
                buttons[next]->do_callback();
                repaint();
            }
            return true;
        }
    }
    if (focused == ultraShortCheck) {
        const int on = step > 0 ? 1 : 0;
        if (ultraShortCheck->value() != on) {
            ultraShortCheck->value(on);
            ultraShortCheck->do_callback();
        }
        return true;
    }
    return false;
}

bool OV_Parameters::wheelTurned() {
    // A notch over a speaker or delay-use menu: toward the user the next item
    // that can be picked, away the one before, as the arrow keys.
    const int step = Fl::event_dy() ? Fl::event_dy() : Fl::event_dx();
    for (Fl_Choice* choice : {leftSpeakerChoice, rightSpeakerChoice, delayModeChoice}) {
        if (!step || !choice->visible_r() || !choice->active_r() || !Fl::event_inside(choice)) continue;
        int next = nextPickable(*choice, choice->value(), step > 0 ? 1 : -1);
        if (next >= 0) {
            choice->value(next);
            choice->do_callback();
        }
        return true;
    }
    return false;
}

int OV_Parameters::handle(int event) {
    if (event == FL_MOUSEWHEEL && wheelTurned()) return 1;
    if (event == FL_KEYBOARD && !(Fl::event_state() & (FL_CTRL | FL_ALT | FL_META))) {
        if (Fl::event_key() == FL_Tab) return moveFocus(Fl::event_state() & FL_SHIFT ? -1 : 1) ? 1 : 0;
        if (arrowPressed(Fl::event_key())) return 1;
    }
    // Entered from outside by Tab: the first control in reading order (the
    // last by Shift+Tab).
    if (event == FL_FOCUS && contains(Fl::focus()) == 0) {
        if (moveFocus(Fl::event_key() == FL_Tab && (Fl::event_state() & FL_SHIFT) ? -1 : 1)) return 1;
    }
    return Fl_Group::handle(event);
}
