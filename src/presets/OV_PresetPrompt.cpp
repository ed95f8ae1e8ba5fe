#include "presets/OV_PresetPrompt.h"

#include "editor/TextInput.h"
#include "context/exchange_guard.h"
#include "base/dialogs.h"
#include "base/file_dialogs.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Toggle_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <cstdio>
#include <utility>

const char* const presetHelpText =
    "  You can add presets in 2 different ways : \n"
    "\n"
    "1. Type in the desired preset name and click 'Save'.\n"
    "    --------------------------------------------------------------\n"
    "    This will register the algorithm corresponding to the currently\n"
    "    displayed parameter setting as an entry in the preset drop-down\n"
    "    list. The same information will also be saved into a 'preset file'.\n"
    "\n"
    "2. Add Preset from file(s).\n"
    "    -----------------------------\n"
    "    You can browse and select one or more preset file(s) which\n"
    "    will be loaded and registered into the preset drop down list.\n"
    "\n"
    "  Tips : the ability to generate and load preset files offers a\n"
    "            convenient method to share favourite presets among users\n"
    "            (see User Guide for more details).";

static void save_cb(Fl_Widget*, void* data) { static_cast<OV_PresetPrompt*>(data)->savePressed(); }
static void addFiles_cb(Fl_Widget*, void* data) { static_cast<OV_PresetPrompt*>(data)->addFilesPressed(); }
static void cancel_cb(Fl_Widget*, void* data) { static_cast<OV_PresetPrompt*>(data)->cancelPressed(); }
static void help_cb(Fl_Widget*, void*) { dialogs::message("%s", presetHelpText); }

static Fl_Button* promptButton(Fl_Button* b) {
    b->labelfont(FL_HELVETICA);
    b->labelsize(13);
    return b;
}

OV_PresetPrompt::OV_PresetPrompt(int x, int y, int w, int h, const char* label) : HeldPrompt(x, y, w, h, label) {
    nameInput = new TextInput(x + 35, y + 37, 215, 25);
    nameInput->color(FL_WHITE);
    nameInput->textcolor(FL_BLUE);
    nameInput->bgColor = FL_WHITE;
    nameInput->normalTextColor = FL_BLUE;
    nameInput->hoverTextColor = FL_BLACK;
    nameInput->focusFont = FL_HELVETICA;
    nameInput->focusSize = 14;
    nameInput->maximum_size(38);
    addFilesButton = promptButton(new Fl_Button(x + 82, y + 91, 150, 25, "Add Preset from file(s)"));
    addFilesButton->color(FL_WHITE);
    addFilesButton->callback(addFiles_cb, this);
    helpButton = promptButton(new Fl_Button(x + 25, y + 135, 70, 25, "Help"));
    helpButton->callback(help_cb, this);
    cancelButton = promptButton(new Fl_Button(x + w - 95, y + 135, 70, 25, "Cancel"));
    cancelButton->callback(cancel_cb, this);
    saveButton = new Fl_Toggle_Button(x + w - 180, y + 135, 70, 25, "Save");
    promptButton(saveButton)->callback(save_cb, this);
    end();

}

OV_PresetPrompt::~OV_PresetPrompt() {
    clear();
}

// Draws text at (x, y) in size 13, or smaller where the system's Helvetica is
// wider than the layout allows, so that it ends before right.
static void drawFitting(const char* text, Fl_Font font, int x, int y, int right) {
    int size = 13;
    fl_font(font, size);
    while (size > 8 && x + fl_width(text) > right) fl_font(font, --size);
    fl_draw(text, x, y);
}

void OV_PresetPrompt::draw() {
    Fl_Group::draw();
    int X = x(), Y = y();
    fl_color(FL_WHITE);
    drawFitting("Option 1 :", FL_HELVETICA_BOLD, X + 10, Y + 26, X + 75);
    drawFitting("OR", FL_HELVETICA_BOLD, X + 128, Y + 82, X + w());
    drawFitting("Option 2 :", FL_HELVETICA_BOLD, X + 10, Y + 107, addFilesButton->x() - 3);
    drawFitting("Save current algorithm as a preset.", FL_HELVETICA, X + 78, Y + 26, X + w() - 4);
}

bool OV_PresetPrompt::open() {
    if (!holdWindow()) return false;
    resetName();
    show();
    return true;
}

void OV_PresetPrompt::close() {
    hide();
}

void OV_PresetPrompt::resetName() {
    nameInput->textsize(12);
    nameInput->textfont(FL_HELVETICA_ITALIC);
    nameInput->value("     type in the desired preset name");
    nameInput->clear_changed();
}

const std::string* OV_PresetPrompt::pendingFile() const {
    if (fileIndex < 0 || fileIndex >= static_cast<int>(chosenFiles.size())) return nullptr;
    return &chosenFiles[static_cast<size_t>(fileIndex)];
}

void OV_PresetPrompt::savePressed() {
    if (!nameInput->changed())
        dialogs::alert("Please type in the preset name in the provided space.");
    else
        do_callback();
    saveButton->value(0);
}

void OV_PresetPrompt::addFilesPressed() {
    std::vector<std::string> picked;
    if (filedialogs::openFiles(filedialogs::Kind::Preset, "Browse Preset File (.lop)", picked, true) != 0) return;
    chosenFiles = picked;
    for (fileIndex = 0; fileIndex < static_cast<int>(chosenFiles.size()); ++fileIndex) do_callback();
    fileIndex = -1;
    chosenFiles.clear();
}

void OV_PresetPrompt::cancelPressed() {
    fileIndex = -1;
    do_callback();
}
