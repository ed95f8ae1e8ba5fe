#include "presets/PresetGroup.h"

#include "presets/OV_TransportPanel.h"

#include <FL/Fl_Light_Button.H>

#include <cstdlib>
#include <cstring>

static void presetLight_cb(Fl_Widget*, void* data) {
    PresetGroup* group = static_cast<PresetGroup*>(data);
    if (OV_TransportPanel* panel = dynamic_cast<OV_TransportPanel*>(group->parent()))
        panel->presetChosen(group);
}

PresetGroup::PresetGroup(int x, int y, const char* label) : Fl_Group(x, y, 80, 28) {
    labelText = static_cast<char*>(std::malloc(std::strlen(label) + 1));
    std::strcpy(labelText, label);
    light = new Fl_Light_Button(x, y, 80, 28, labelText);
    light->type(FL_TOGGLE_BUTTON);
    light->labelfont(0);
    light->labelsize(13);
    light->selection_color(FL_GREEN);
    light->callback(presetLight_cb, this);
    end();
}

PresetGroup::~PresetGroup() {
    // The light is a child: remove it before deleting it ourselves.
    remove(light);
    delete light;
    std::free(labelText);
}
