// The "Menu" button's pop-up and its small information actions.
#pragma once

class Fl_Widget;
class Listening;
struct Fl_Menu_Item;

namespace menu {

constexpr int itemCount = 15;   // 13 entries, the service entry and the terminator
constexpr int soundItemCount = 12;     // what addSoundEntries adds

// The service entry "Oscillator Calibration..." (only with --service): left
// out, shown greyed, or usable.
enum class Service { Absent, Greyed, Usable };

// Fills items with the menu as it must look now: the pedal entries greyed
// while no pedal is connected, Select Pedal only with two devices found.
void build(Fl_Menu_Item items[itemCount], bool pedalConnected, unsigned deviceCount, const char* serial,
           void* window, Service service = Service::Absent);

// Inserts the SOUND group (Listen, DI clip, Compare, exports) before the last
// divider and Quit of a menu that build() filled; items must hold
// itemCount + soundItemCount entries.
void addSoundEntries(Fl_Menu_Item* items, Listening& listening);

// Information entries: 1 About, 2 download page, 3 contact page, 4 warranty page.
void infoSelected(Fl_Widget* widget, void* code);
void showSerialNumber(Fl_Widget* widget, void* serial);
void showUpdateInstructions(Fl_Widget* widget, void* window);

extern const char* const downloadPage;
extern const char* const contactPage;
extern const char* const warrantyPage;

}  // namespace menu
