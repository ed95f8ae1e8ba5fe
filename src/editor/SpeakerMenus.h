// Builds a speaker menu from the sound model's category lists. A speaker
// number is the category's base plus the position of the chosen entry in the
// flattened menu (header, submenu titles, items and end markers all count),
// so the menus must be built exactly this way for stored numbers to keep
// their meaning.
#pragma once

#include "sound/Speakers.h"

class Fl_Menu_;

namespace speakers {

// Clears the menu and adds the category's header (inactive, with a divider)
// and its entries; a label "Model/ Size" makes an item inside a submenu.
void fillMenu(Fl_Menu_& menu, sound::SpeakerCategory category);

}  // namespace speakers
