// The "Menu" button's pop-up and its small information actions.
#pragma once

class Fl_Widget;
class Listening;
struct Fl_Menu_Item;

namespace menu {

constexpr int itemCount = 18;   // 16 entries, the service entry and the terminator
constexpr int soundItemCount = 12;     // what addSoundEntries adds

// The service entry "Oscillator Calibration..." (only with --service): left
// out, shown greyed, or usable.
enum class Service { Absent, Greyed, Usable };

// Whether Undo and Redo have a step to take now.
struct Steps {
    bool undo = false;
    bool redo = false;
};

// Fills items with the menu as it must look now: the pedal entries greyed
// while no pedal is connected, Select Pedal only with two devices found,
// Undo and Redo only with a step to take.
void build(Fl_Menu_Item items[itemCount], bool pedalConnected, unsigned deviceCount, const char* serial,
           void* window, Service service = Service::Absent, Steps steps = Steps());

// Inserts the SOUND group (Listen, DI clip, Compare, exports) below the PEDAL
// group of a menu that build() filled (before its last empty divider); items
// must hold itemCount + soundItemCount entries.
void addSoundEntries(Fl_Menu_Item* items, Listening& listening);

// Information entries: 1 About, 2 download page, 3 contact page, 4 warranty page.
void infoSelected(Fl_Widget* widget, void* code);
void showSerialNumber(Fl_Widget* widget, void* serial);
void showUpdateInstructions(Fl_Widget* widget, void* window);
void showKeyboardShortcuts(Fl_Widget* widget, void* window);

extern const char* const downloadPage;
extern const char* const contactPage;
extern const char* const warrantyPage;

}  // namespace menu
