#include "shell/menu.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Item.H>

#include <cstdint>
#include <cstring>
#include <vector>

#include "link/OV_UsbController.h"
#include "presets/OV_TransportPanel.h"
#include "shell/OV_DevSelPrompt.h"
#include "shell/Orvella.h"
#include "base/dialogs.h"
#include "base/files.h"
#include "base/platform.h"
#include "shell/keys.h"
#include "shell/quit.h"
#include "listen/listening.h"
#include "base/support_texts.h"

namespace menu {

const char* const downloadPage = WEBSITE_ADDRESS "/support/drevani/downloads";
const char* const contactPage = WEBSITE_ADDRESS "/contact";
const char* const warrantyPage = WEBSITE_ADDRESS "/support/warranty";

namespace {

const char* const aboutText =
    "  Orvella - version." ORVELLA_VERSION "\n"
    "  Editor and librarian for the Drevani speaker-cabinet simulator.\n"
    "  (c) 2026 Kestrova. All rights reserved.\n"
    "\n"
    "  Windows :  XP, Vista, 7, 8.x, 10\n"
    "\n"
    "  OS X :  11 (Big Sur), 10.15 (Catalina), 10.14 (Mojave), 10.13 (High Sierra),\n"
    "            10.12 (Sierra), 10.11 (El Capitan), 10.10 (Yosemite), 10.9 (Maverick).\n"
    "            - compatibility with older versions has not been verified.\n"
    "\n"
    "  Support : " SUPPORT_ADDRESS "\n"
    "  Website : " WEBSITE_ADDRESS;

const char* const updateInstructions =
    "To update your pedal's firmware do the following :\n\n"
    "  1. Shutdown this software.\n\n"
    "  2. Remove power from your pedal.\n\n"
    "  3. Hold down both footswitches on power up.\n"
    "      Release when preset-1 and preset 4 LEDs light up.\n\n"
    "  4. Make sure the pedal is connected to your computer.\n\n"
    "  5. Start this software again. A prompt window will pop up, browse the firmware\n\n"
    "     file you've just downloaded and click 'Update'.";

void selectPedal_cb(Fl_Widget*, void* window) { openPedalSelection(static_cast<Orvella*>(window)); }
void factoryReset_cb(Fl_Widget*, void* window) { static_cast<Orvella*>(window)->factoryReset(); }
void quit_cb(Fl_Widget*, void* window) {
    if (window)
        static_cast<Orvella*>(window)->quit();
    else
        quitProgram();
}
void calibration_cb(Fl_Widget*, void* window) { static_cast<Orvella*>(window)->openCalibration(); }
void undo_cb(Fl_Widget*, void* window) { static_cast<Orvella*>(window)->edits().undo(); }
void redo_cb(Fl_Widget*, void* window) { static_cast<Orvella*>(window)->edits().redo(); }

Fl_Menu_Item entry(const char* label, Fl_Callback* callback, void* data, int flags, bool heading, int key = 0) {
    Fl_Menu_Item item = {label, key, callback, data, flags, FL_NORMAL_LABEL,
                         heading ? FL_HELVETICA_BOLD_ITALIC : FL_HELVETICA, 13, 0};
    return item;
}

void* code(intptr_t n) { return reinterpret_cast<void*>(n); }

}  // namespace

void build(Fl_Menu_Item items[itemCount], bool pedalConnected, unsigned deviceCount, const char* serial,
           void* window, Service service, Steps steps) {
    const int pedalOnly = pedalConnected ? 0 : FL_MENU_INACTIVE;
    const int twoPedals = deviceCount < 2 ? FL_MENU_INACTIVE : 0;
    items[0] = entry("         S O F T W A R E ", infoSelected, code(0), FL_MENU_INACTIVE, true);
    items[1] = entry(" > About Orvella", infoSelected, code(1), 0, false);
    items[2] = entry(" > Check for updates", infoSelected, code(2), 0, false);
    items[3] = entry(" > Report a problem", infoSelected, code(3), 0, false);
    items[4] = entry(" > Register your pedal", infoSelected, code(4), 0, false);
    items[5] = entry("", nullptr, nullptr, FL_MENU_INACTIVE | FL_MENU_DIVIDER, false);
    items[6] = entry("                   P E D A L", infoSelected, code(0), FL_MENU_INACTIVE, true);
    items[7] = entry(" > Select Pedal", selectPedal_cb, window, twoPedals, false);
    items[8] = entry(" > Serial Number", showSerialNumber, const_cast<char*>(serial), pedalOnly, false);
    items[9] = entry(" > Update Firmware", showUpdateInstructions, window, pedalOnly, false);
    items[10] = entry(" > Factory Reset", factoryReset_cb, window, pedalOnly, false);
    int n = 11;
    if (service != Service::Absent)
        items[n++] = entry(" > Oscillator Calibration... ", calibration_cb, window,
                           service == Service::Usable ? 0 : FL_MENU_INACTIVE, false);
    items[n++] = entry("", nullptr, nullptr, FL_MENU_INACTIVE | FL_MENU_DIVIDER, false);
    // The keys show beside their entries (the window takes them, shell/keys.cpp).
    items[n++] = entry(" > Undo", undo_cb, window, steps.undo ? 0 : FL_MENU_INACTIVE, false, FL_CTRL + 'z');
    items[n++] = entry(" > Redo", redo_cb, window, steps.redo ? 0 : FL_MENU_INACTIVE, false, FL_CTRL + FL_SHIFT + 'z');
    items[n++] = entry(" > Keyboard Shortcuts", showKeyboardShortcuts, window, FL_MENU_DIVIDER, false);
    items[n++] = entry(" > Quit", quit_cb, window, 0, false);
    items[n] = Fl_Menu_Item{nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0};
}

namespace {

// Where no program opens web pages, the address is shown for the user to
// visit, put on the clipboard, and logged.
void openPage(Fl_Widget* widget, const char* address) {
    if (platform::openUri(address)) return;
    Fl::copy(address, static_cast<int>(std::strlen(address)), 0);
    Fl::copy(address, static_cast<int>(std::strlen(address)), 1);
    dialogs::message("No web browser could be opened on this computer. Please visit this page :\n\n  %s\n\n"
                     "(The address has been copied: paste it into your browser.)",
                     address);
    if (Orvella* window = widget ? dynamic_cast<Orvella*>(widget->top_window()) : nullptr) {
        window->stampStatus();
        window->logStatus("No web browser could be opened - please visit %s", address);
        window->advanceStatus(1);
    }
}

}  // namespace

void infoSelected(Fl_Widget* widget, void* data) {
    intptr_t n = reinterpret_cast<intptr_t>(data);
    if (!widget || n == 0) return;
    switch (n) {
        case 1: {
            // Where presets, backups and the preset list go (HOMEDRIVE's folder).
            std::string folder = files::dataFolder(platform::env("HOMEDRIVE"));
            folder.pop_back();
            dialogs::message("%s\n\n  Your presets and backups :  %s", aboutText,
                             files::doubleAtSigns(platform::shownPath(folder + "/presets")).c_str());
            break;
        }
        case 2: openPage(widget, downloadPage); break;
        case 3: openPage(widget, contactPage); break;
        case 4: openPage(widget, warrantyPage); break;
        default: break;
    }
}

void showSerialNumber(Fl_Widget*, void* serial) {
    char text[13] = {};
    if (serial) std::strncpy(text, static_cast<const char*>(serial), 12);
    dialogs::message("Your pedal's serial number is : %s \n", text);
}

void showUpdateInstructions(Fl_Widget*, void*) { dialogs::message("%s", updateInstructions); }

void showKeyboardShortcuts(Fl_Widget*, void*) { dialogs::message("%s", keys::listText); }

}  // namespace menu

namespace menu {

namespace {

void listen_cb(Fl_Widget*, void* l) { static_cast<Listening*>(l)->toggleListen(); }
void riff_cb(Fl_Widget*, void* l) { static_cast<Listening*>(l)->chooseSource(Listening::GuitarRiff); }
void chords_cb(Fl_Widget*, void* l) { static_cast<Listening*>(l)->chooseSource(Listening::GuitarChords); }
void bass_cb(Fl_Widget*, void* l) { static_cast<Listening*>(l)->chooseSource(Listening::BassLine); }
void userClip_cb(Fl_Widget*, void* l) { static_cast<Listening*>(l)->chooseSource(Listening::UserFile); }
void compare_cb(Fl_Widget*, void* l) { static_cast<Listening*>(l)->chooseComparePreset(); }
void comparePedal_cb(Fl_Widget*, void* l) { static_cast<Listening*>(l)->compareWithPedalPreset(); }
void switch_cb(Fl_Widget*, void* l) { static_cast<Listening*>(l)->switchCompared(); }
void exportIr_cb(Fl_Widget*, void* l) { static_cast<Listening*>(l)->exportImpulseResponse(); }
void exportAudio_cb(Fl_Widget*, void* l) { static_cast<Listening*>(l)->exportAudio(); }

}  // namespace

void addSoundEntries(Fl_Menu_Item* items, Listening& l) {
    int end = 0, divider = 0;
    while (items[end].text) {
        if (!items[end].text[0]) divider = end;
        ++end;
    }
    // The last divider and what follows it (Undo, Redo, ..., Quit) move below the new group.
    const std::vector<Fl_Menu_Item> tail(items + divider, items + end);
    int n = divider;
    auto radio = [&](const char* label, Fl_Callback* cb, Listening::Source source) {
        items[n++] = entry(label, cb, &l, FL_MENU_RADIO | (l.source() == source ? FL_MENU_VALUE : 0), false);
    };
    items[n++] = entry("", nullptr, nullptr, FL_MENU_INACTIVE | FL_MENU_DIVIDER, false);
    items[n++] = entry("                  S O U N D", infoSelected, nullptr, FL_MENU_INACTIVE, true);
    items[n++] = entry(l.listenLabel(), listen_cb, &l, FL_MENU_TOGGLE | (l.listening() ? FL_MENU_VALUE : 0), false,
                       FL_CTRL + 'l');
    // The DI clip to play, one of four.
    radio("      Guitar riff", riff_cb, Listening::GuitarRiff);
    radio("      Guitar chords", chords_cb, Listening::GuitarChords);
    radio("      Bass line", bass_cb, Listening::BassLine);
    radio("      Your WAV file...", userClip_cb, Listening::UserFile);
    items[n++] = entry(" > Compare with a Local Preset...", compare_cb, &l, 0, false);
    items[n++] = entry(" > Compare with the Pedal's Preset", comparePedal_cb, &l,
                       l.pedalConnected() ? 0 : FL_MENU_INACTIVE, false);
    items[n++] = entry(l.hearingCompared() ? " > Back to the Dashboard's Sound" : " > Hear the Compared Preset", switch_cb,
                       &l, l.canSwitch() ? 0 : FL_MENU_INACTIVE, false, FL_CTRL + 'k');
    items[n++] = entry(" > Export Impulse Response...", exportIr_cb, &l, 0, false);
    items[n++] = entry(" > Export Audio...", exportAudio_cb, &l, 0, false);
    for (const Fl_Menu_Item& item : tail) items[n++] = item;
    items[n] = Fl_Menu_Item{nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0};
}

}  // namespace menu

void Orvella::menuClicked() {
    Fl_Menu_Item items[menu::itemCount + menu::soundItemCount];
    menu::Service service = menu::Service::Absent;
    // Calibration is a pedal entry, greyed while any prompt is shown (the
    // local preset prompt leaves the transport panel usable), so it never
    // opens over another prompt or itself.
    if (serviceMode_)
        service = transportPanel_->active() && !exchanges_.shownPrompt() ? menu::Service::Usable : menu::Service::Greyed;
    // A shown prompt holds the transport panel, which greys the pedal
    // entries; Select Pedal, which does not depend on it, is greyed too.
    const unsigned choosable = exchanges_.shownPrompt() ? 0 : usb_->deviceCount;
    menu::Steps steps;
    steps.undo = edits_.mayStep() && edits_.history.canUndo();
    steps.redo = edits_.mayStep() && edits_.history.canRedo();
    menu::build(items, transportPanel_->active(), choosable, usb_->serialNumber[0], this, service, steps);
    if (listening_) menu::addSoundEntries(items, *listening_);
    const Fl_Menu_Item* picked = dialogs::popup(items, Fl::event_x(), Fl::event_y());
    if (picked && picked->callback()) picked->do_callback(menuButton_, picked->user_data());
}
