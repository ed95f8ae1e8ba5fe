#include "editor/SpeakerMenus.h"

#include <FL/Fl_Menu_.H>

using namespace sound;

namespace speakers {

void fillMenu(Fl_Menu_& menu, SpeakerCategory category) {
    const SpeakerMenuList& list = speakerMenu(category);
    menu.clear();
    menu.add(list.header, 0, nullptr, nullptr, FL_MENU_INACTIVE | FL_MENU_DIVIDER);
    for (int i = 0; i < list.count; i++) {
        if (list.labels[i][0])
            menu.add(list.labels[i]);
        else
            menu.add("", 0, nullptr, nullptr, FL_MENU_INACTIVE);
    }
}

}  // namespace speakers
