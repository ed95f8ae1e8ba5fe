// The "Menu" button's pop-up and its small information actions.
#pragma once

#include <FL/Fl_Menu_Item.H>

#include <vector>

class Fl_Widget;
class Listening;

namespace menu {

// The service entry "Oscillator Calibration..." (only with --service): left
// out, shown greyed, or usable.
enum class Service { Absent, Greyed, Usable };

// Whether Undo and Redo have a step to take now.
struct Steps {
    bool undo = false;
    bool redo = false;
};

// What the Menu shows depends on.
struct State {
    bool pedalConnected = false;     // else the pedal entries are greyed
    unsigned deviceCount = 0;        // Select Pedal wants two devices found
    const char* serial = "";         // what Serial Number shows
    void* window = nullptr;          // the Orvella window the entries act on
    Service service = Service::Absent;
    Steps steps;
    Listening* listening = nullptr;  // the SOUND group (Listen, DI clip, Compare, exports); none: left out
};

// The menu as it must look now, made from the one table of its entries
// (menu.cpp), with its terminator.
std::vector<Fl_Menu_Item> build(const State& state);

// Information entries: 1 About, 2 download page, 3 contact page, 4 warranty page.
void infoSelected(Fl_Widget* widget, void* code);
void showSerialNumber(Fl_Widget* widget, void* serial);
void showUpdateInstructions(Fl_Widget* widget, void* window);
void showKeyboardShortcuts(Fl_Widget* widget, void* window);

extern const char* const downloadPage;
extern const char* const contactPage;
extern const char* const warrantyPage;

}  // namespace menu
