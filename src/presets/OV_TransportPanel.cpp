#include "presets/OV_TransportPanel.h"

#include "editor/TextInput.h"
#include "presets/PresetFiles.h"
#include "presets/PresetGroup.h"
#include "base/dialogs.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Light_Button.H>
#include <FL/fl_draw.H>

#include <FL/Fl.H>

#include <cstdio>
#include <cstring>
#include <string>

static const Fl_Color titleBlue = 0x4444ff00;

namespace {

const char* const refusedText =
    "A preset title takes letters without accents, digits, spaces and plain punctuation only "
    "(12 characters at most): the pedal stores nothing else.\n\n  %s";

// The title field: the pedal keeps 12 single bytes, so it takes printable
// ASCII only and says so when it leaves a typed or pasted character out. A
// refused key is told of once the title is entered, not at once: an alert in
// the middle of typing would take the keys typed after it, and the field's
// focus with them. Entered with Enter, the field keeps its focus and caret.
class TitleInput : public TextInput {
public:
    using TextInput::TextInput;
    ~TitleInput() override { Fl::remove_timeout(tellLater, this); }
    int handle(int event) override {
        if (event == FL_KEYBOARD && Fl::event_length() > 0) {
            const char* text = Fl::event_text();
            for (int i = 0; i < Fl::event_length(); ++i) {
                if (static_cast<unsigned char>(text[i]) >= 0x80) {   // control keys stay the field's
                    if (!refused_.empty()) refused_ += ", ";
                    refused_ += "\"" + std::string(text, static_cast<size_t>(Fl::event_length())) + "\"";
                    return 1;
                }
            }
        }
        if (event == FL_PASTE && Fl::event_length() > 0) {
            std::string kept;
            for (int i = 0; i < Fl::event_length(); ++i) {
                unsigned char c = static_cast<unsigned char>(Fl::event_text()[i]);
                if (presetfiles::isTitleChar(c)) kept += static_cast<char>(c);
            }
            if (kept.size() != static_cast<size_t>(Fl::event_length())) {
                // The field inserts what the event carries: let it carry only the kept part.
                char* const text = Fl::e_text;
                const int length = Fl::e_length;
                Fl::e_text = &kept[0];
                Fl::e_length = static_cast<int>(kept.size());
                int used = TextInput::handle(event);
                Fl::e_text = text;
                Fl::e_length = length;
                dialogs::alert(refusedText, "The other characters have been left out.");
                return used;
            }
        }
        const bool enter = event == FL_KEYBOARD && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter);
        int used = TextInput::handle(event);
        if (enter && !refused_.empty()) {
            const int caret = position();
            tell();
            take_focus();
            position(caret);
        } else if (event == FL_UNFOCUS && !refused_.empty()) {
            // Not inside the change of focus: once it is done.
            Fl::add_timeout(0.0, tellLater, this);
        }
        return used;
    }

private:
    void tell() {
        Fl::remove_timeout(tellLater, this);
        if (refused_.empty()) return;
        std::string told = refused_ + " has been left out.";
        refused_.clear();
        dialogs::alert(refusedText, told.c_str());
    }
    static void tellLater(void* field) { static_cast<TitleInput*>(field)->tell(); }
    std::string refused_;   // typed and left out, not yet told
};

// A box that takes the pointer, so that its tooltip shows.
class MarkBox : public Fl_Box {
public:
    using Fl_Box::Fl_Box;
    int handle(int event) override {
        return event == FL_ENTER || event == FL_LEAVE || event == FL_MOVE ? 1 : Fl_Box::handle(event);
    }
};

}  // namespace

static void title_cb(Fl_Widget*, void* data) { static_cast<OV_TransportPanel*>(data)->titleEntered(); }

static void action_cb(Fl_Widget* w, void* data) {
    static_cast<OV_TransportPanel*>(data)->actionPressed(static_cast<Fl_Button*>(w));
}

static Fl_Button* actionButton(int x, int y, int w, const char* label, Fl_Fontsize size, const char* tip) {
    Fl_Button* b = new Fl_Button(x, y, w, 28, label);
    b->type(FL_TOGGLE_BUTTON);
    b->labelfont(1);
    b->labelsize(size);
    b->tooltip(tip);
    return b;
}

OV_TransportPanel::OV_TransportPanel(int x, int y, int w, int h, const char* label)
    : Fl_Group(x, y, w, h, label) {
    // The selectors come first among the children, in preset order.
    static const char* const names[8] = {" Preset-1", " Preset-2", " Preset-3", " Preset-4",
                                         " Preset-5", " Preset-6", " Preset-7", " Preset-8"};
    for (int i = 0; i < 8; ++i) groups[i] = new PresetGroup(x + 15 + 84 * (i % 4), y + (i < 4 ? 8 : 39), names[i]);

    titleInput = new TitleInput(x + 359, y + 15, 140, 26);
    titleInput->maximum_size(12);
    titleInput->box(FL_EMBOSSED_BOX);
    titleInput->color(titleBlue);
    titleInput->cursor_color(titleBlue);
    titleInput->textcolor(FL_WHITE);
    titleInput->textfont(FL_COURIER);
    titleInput->bgColor = titleBlue;
    titleInput->normalTextColor = FL_WHITE;
    titleInput->hoverTextColor = 0xcccc0000;
    titleInput->focusFont = FL_COURIER;
    titleInput->focusSize = 15;
    titleInput->when(FL_WHEN_ENTER_KEY | FL_WHEN_RELEASE);
    titleInput->callback(title_cb, this);

    backupButton = actionButton(x + 527, y + 9, 70, "BACKUP", 12, "backup the entire presets in your pedal");
    restoreButton = actionButton(x + 527, y + 38, 70, "RESTORE", 12, "restore from backup");
    readButton = actionButton(x + 627, y + 38, 90, "READ", 13, "read & display the presets stored in your pedal");
    readButton->color(0xffcc0000);
    writeButton = actionButton(x + 718, y + 38, 90, "WRITE", 13,
                               "store the displayed parameter settings as a preset in pedal");
    writeButton->color(FL_BLACK);
    writeButton->labelcolor(0xffcc0000);
    for (Fl_Button* b : {backupButton, restoreButton, readButton, writeButton}) b->callback(action_cb, this);
    editedMark = new MarkBox(x + 502, y + 15, 22, 26, "*");
    editedMark->box(FL_NO_BOX);
    editedMark->labelfont(FL_HELVETICA_BOLD);
    editedMark->labelsize(22);
    editedMark->labelcolor(0xffcc0000);
    editedMark->hide();
    end();
}

OV_TransportPanel::~OV_TransportPanel() = default;

void OV_TransportPanel::draw() {
    Fl_Group::draw();
    fl_color(FL_WHITE);
    fl_font(FL_HELVETICA, 13);
    fl_draw("Prst Title (12 char. max)", x() + 359, y() + 60);
}

void OV_TransportPanel::showEdited(bool edited) {
    const int preset = edited ? selectedPreset : -1;
    if (edited == editedShown && preset == markedPreset) return;
    editedShown = edited;
    if (markedPreset >= 0) {                        // the earlier mark goes
        groups[markedPreset]->light->label(groups[markedPreset]->labelText);
        groups[markedPreset]->light->tooltip(nullptr);
        groups[markedPreset]->light->redraw();
    }
    markedPreset = preset;
    if (edited) {
        // The label's leading space gives way to the mark: nothing moves.
        std::snprintf(markedLabel, sizeof markedLabel, "*%s", groups[preset]->labelText + 1);
        std::snprintf(editedTip, sizeof editedTip,
                      "Edited: the Dashboard or the title differs from what Preset-%d holds on the pedal.\n"
                      "WRITE stores it there, READ brings back the pedal's; Ctrl+Z undoes a change.",
                      preset + 1);
        groups[preset]->light->label(markedLabel);
        groups[preset]->light->tooltip(editedTip);
        groups[preset]->light->redraw();
        editedMark->tooltip(editedTip);
        editedMark->show();
    } else {
        editedMark->tooltip(nullptr);
        editedMark->hide();
    }
    // The mark has no box: the panel repaints the place it leaves.
    damage(FL_DAMAGE_ALL);
}

void OV_TransportPanel::lightPreset(int index) {
    for (int i = 0; i < presetCount; ++i) groups[i]->light->value(i == index);
    groups[index]->light->selection_color(index < 4 ? FL_GREEN : FL_RED);
    groups[index]->light->redraw();
}

void OV_TransportPanel::showCurrentTitle(Fl_Color background) {
    shownTitle[0] = ' ';
    presetfiles::showableTitle(reinterpret_cast<const uint8_t*>(title), shownTitle + 1);
    shownTitle[13] = '\0';
    titleInput->textfont(FL_COURIER);
    titleInput->color(background);
    titleInput->value(shownTitle);
}

void OV_TransportPanel::selectFirstPreset() {
    selectedPreset = 0;
    lightPreset(0);
    showCurrentTitle(titleBlue);
    redraw();
}

void OV_TransportPanel::showTitle(const uint8_t* title12) {
    std::memcpy(title, title12, 12);
    showCurrentTitle(titleBlue);
    redraw();
}

void OV_TransportPanel::presetChosen(PresetGroup* group) {
    selectedPreset = find(group);
    lightPreset(selectedPreset);
    mode = Select;
    do_callback();
}

void OV_TransportPanel::titleEntered() {
    uint8_t padded[12];
    presetfiles::padTitle(titleInput->value(), padded);
    std::memcpy(title, padded, 12);
    showCurrentTitle(titleInput->bgColor);
    titleInput->textcolor(titleInput->normalTextColor);
    titleInput->redraw();
    mode = Select;
    do_callback();
}

void OV_TransportPanel::setActionControls(bool active) {
    // Every action holds all four buttons: the link lets the toolkit run while
    // it waits, so a BACKUP or RESTORE pressed during a READ or WRITE would
    // start a second exchange in the middle of the first.
    Fl_Widget* controls[14] = {readButton, writeButton, backupButton, restoreButton};
    int n = 4;
    for (int i = 0; i < presetCount; ++i) controls[n++] = groups[i]->light;
    for (int i = 0; i < n; ++i) {
        if (active)
            controls[i]->activate();
        else
            controls[i]->deactivate();
    }
}

void OV_TransportPanel::actionPressed(Fl_Button* button) {
    int action = button == readButton ? Read : button == writeButton ? Write : button == backupButton ? Backup : Restore;
    mode = action;
    setActionControls(false);
    do_callback();
    button->value(0);
    setActionControls(true);
    mode = Select;
}
