#include "presets/OV_PresetPanel.h"

#include "presets/PresetFiles.h"
#include "base/dialogs.h"
#include "base/platform.h"

#include <FL/Fl_Choice.H>
#include <FL/Fl_Toggle_Button.H>
#include <FL/fl_draw.H>

#include <cstdio>
#include <cstring>

static void add_cb(Fl_Widget*, void* data) { static_cast<OV_PresetPanel*>(data)->addPressed(); }
static void remove_cb(Fl_Widget*, void* data) { static_cast<OV_PresetPanel*>(data)->removeSelected(); }
static void choice_cb(Fl_Widget*, void* data) { static_cast<OV_PresetPanel*>(data)->loadSelected(); }

// Menu labels treat '/', '\\', '_' (when added), '&' and '@' (when drawn)
// specially: show names as typed. A lone '&' would be hidden as a shortcut mark.
static std::string menuLabel(const std::string& name) {
    std::string label;
    for (char c : name) {
        if (c == '/' || c == '\\' || c == '_') label += '\\';
        if (c == '@' || c == '&') label += c;
        label += c;
    }
    return label;
}

OV_PresetPanel::OV_PresetPanel(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label) {
    addButton = new Fl_Toggle_Button(770, 69, 22, 20, "+");
    addButton->labelfont(FL_BOLD);
    addButton->labelsize(16);
    addButton->tooltip("add current settings to preset list");
    addButton->callback(add_cb, this);
    removeButton = new Fl_Toggle_Button(795, 69, 22, 20, "X");
    removeButton->labelfont(FL_BOLD);
    removeButton->labelsize(12);
    removeButton->labelcolor(FL_DARK_RED);
    removeButton->tooltip("remove from preset list");
    removeButton->callback(remove_cb, this);
    presetChoice = new Fl_Choice(562, 67, 205, 24);
    presetChoice->labelfont(FL_BOLD);
    presetChoice->labelsize(11);
    presetChoice->callback(choice_cb, this);
    end();
}

OV_PresetPanel::~OV_PresetPanel() {
    clear();                                // the three widgets are children
}

void OV_PresetPanel::draw() {
    Fl_Group::draw();
    fl_font(FL_HELVETICA_BOLD, 12);
    fl_color(FL_BLACK);
    fl_draw("Local Preset", 485, 84);
}

std::string OV_PresetPanel::homeDrive() const { return platform::env("HOMEDRIVE"); }

void OV_PresetPanel::rebuildMenu() {
    int selected = presetChoice->value();
    presetChoice->clear();
    for (const std::string& name : names) presetChoice->add(menuLabel(name).c_str());
    presetCount = static_cast<int>(names.size());
    presetChoice->value(selected < presetCount ? selected : -1);
    presetChoice->redraw();
}

void OV_PresetPanel::loadPresetList() {
    names.clear();
    for (const std::string& path : presetfiles::readList(presetfiles::listPath(homeDrive()))) {
        std::vector<uint8_t> bytes;
        std::string name;
        // Lines naming a missing or unreadable file are skipped; the list keeps
        // them until the next removal rewrites it.
        if (!files::readFile(path, bytes, nullptr, presetfiles::MaxLopSize) ||
            !presetfiles::lopName(bytes, name))
            continue;
        if (presetfiles::nameProblem(name) || findPreset(name) >= 0) continue;
        names.push_back(name);
    }
    presetChoice->value(-1);
    rebuildMenu();
    presetChoice->value(-1);
}

void OV_PresetPanel::clearSelection() {
    presetChoice->value(-1);
    presetChoice->redraw();
}

int OV_PresetPanel::findPreset(const std::string& name) const {
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return static_cast<int>(i);
    return -1;
}

void OV_PresetPanel::addPreset(const std::string& name) {
    names.push_back(name);
    rebuildMenu();
}

void OV_PresetPanel::addPressed() {
    do_callback();
    addButton->value(0);
}

bool OV_PresetPanel::loadSelected() {
    int index = presetChoice->value();
    if (index < 0 || index >= presetCount) return false;
    std::string path = presetfiles::presetPath(homeDrive(), presetName(index));
    std::vector<uint8_t> bytes;
    // A file that cannot be loaded leaves the Dashboard's sound as it was, so
    // the menu no longer names what plays: its selection is cleared.
    if (!files::readFile(path, bytes, nullptr, presetfiles::MaxLopSize)) {
        clearSelection();
        dialogs::alert("The preset file\n\n  %s\n\ncan not be opened.",
                       files::doubleAtSigns(platform::shownPath(path)).c_str());
        return false;
    }
    // Checked as a backup's presets are: nothing is clamped into another sound.
    presetfiles::LocalPreset preset;
    std::string problem;
    switch (presetfiles::decodeLop(bytes, preset, &problem)) {
    case presetfiles::LopStatus::Ok: break;
    case presetfiles::LopStatus::BadPreset:
        clearSelection();
        dialogs::alert("The preset file\n\n  %s\n\nholds a preset that cannot be loaded: %s; nothing has been "
                       "loaded.",
                       files::doubleAtSigns(platform::shownPath(path)).c_str(), problem.c_str());
        return false;
    default:
        clearSelection();
        dialogs::alert("The preset file\n\n  %s\n\nis damaged or not a preset file; nothing has been loaded.",
                       files::doubleAtSigns(platform::shownPath(path)).c_str());
        return false;
    }
    loaded = preset.preset;
    do_callback();
    return true;
}

void OV_PresetPanel::removeSelected() {
    int index = presetChoice->value();
    if (index < 0 || index >= presetCount) {
        dialogs::alert("Please select the preset you wish to remove from the list.");
        removeButton->value(0);
        return;
    }
    if (dialogs::choice("Confirm to remove the selected preset?", "Cancel", "Confirm", nullptr) != 1) {
        removeButton->value(0);
        return;
    }
    std::string home = homeDrive();
    std::remove(presetfiles::presetPath(home, presetName(index)).c_str());
    names.erase(names.begin() + index);
    presetChoice->value(-1);
    rebuildMenu();
    if (presetCount > 0) {
        presetChoice->value(index < presetCount ? index : presetCount - 1);
        loadSelected();
    }
    std::vector<std::string> lines;
    for (const std::string& name : names) lines.push_back(presetfiles::presetPath(home, name));
    int error = 0;
    if (!presetfiles::writeList(presetfiles::listPath(home), lines, &error))
        dialogs::alert("The preset list could not be updated (%s).", std::strerror(error));
    removeButton->value(0);
    redraw();
}
