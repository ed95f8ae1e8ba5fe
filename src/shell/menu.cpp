#include "shell/menu.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Item.H>

#include <cstdint>
#include <cstring>
#include <vector>

#include "link/OV_UsbController.h"
#include "presets/OV_TransportPanel.h"
#include "shell/pedal_selection.h"
#include "shell/main_window.h"
#include "base/dialogs.h"
#include "base/files.h"
#include "base/platform.h"
#include "shell/shortcut_list.h"
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

// The key a Menu entry shows, as the keyboard shortcut table names it (the
// window takes the keys: shell/keys.cpp, listen/listening.cpp).
constexpr int key(shortcuts::Id id) {
    const shortcuts::Key k = shortcuts::list[id].menuKey;
    return (k.modifiers & shortcuts::Ctrl ? FL_CTRL : 0) + (k.modifiers & shortcuts::Shift ? FL_SHIFT : 0) +
           (k.modifiers & shortcuts::Alt ? FL_ALT : 0) + k.letter;
}

// The groups of entries; SOUND is there only with the window's Listening.
enum class Group { Software, Pedal, Sound, Window };
// What an entry's callback gets: the code infoSelected takes, the window,
// the pedal's serial number, or the window's Listening.
enum class Data { Code, Window, Serial, Listening };
// When an entry is usable. Service: only with --service, usable when the
// calibration may open; Source: a radio entry, set for its DI clip (the row's code).
enum class When { Always, Never, Connected, TwoPedals, Service, Undo, Redo, PedalPreset, Switch, Source };
// A group's heading is in bold italic; Listen and the switch between the
// Dashboard and the compared preset say what they do now.
enum class Look { Entry, Heading, Listen, Switch };

struct Row {
    const char* label;                   // nullptr: named by the state (Look)
    int shortcut;
    Fl_Callback* callback;
    Data data;
    intptr_t code;                       // infoSelected's code; a radio entry's DI clip
    int flags;                           // FL_MENU_DIVIDER, FL_MENU_TOGGLE, FL_MENU_RADIO
    When when;
    Group group;
    Look look;
};

// The Menu, top to bottom. A divider is an empty, inactive entry.
const Row rows[] = {
    // label                                 shortcut                  callback                data             code                     flags            when               group            look
    {"         S O F T W A R E ",          0,                        infoSelected,           Data::Code,      0,                       0,               When::Never,       Group::Software, Look::Heading},
    {" > About Orvella",                   0,                        infoSelected,           Data::Code,      1,                       0,               When::Always,      Group::Software, Look::Entry},
    {" > Check for updates",               0,                        infoSelected,           Data::Code,      2,                       0,               When::Always,      Group::Software, Look::Entry},
    {" > Report a problem",                0,                        infoSelected,           Data::Code,      3,                       0,               When::Always,      Group::Software, Look::Entry},
    {" > Register your pedal",             0,                        infoSelected,           Data::Code,      4,                       0,               When::Always,      Group::Software, Look::Entry},
    {"",                                   0,                        nullptr,                Data::Code,      0,                       FL_MENU_DIVIDER, When::Never,       Group::Software, Look::Entry},
    {"                   P E D A L",       0,                        infoSelected,           Data::Code,      0,                       0,               When::Never,       Group::Pedal,    Look::Heading},
    {" > Select Pedal",                    0,                        selectPedal_cb,         Data::Window,    0,                       0,               When::TwoPedals,   Group::Pedal,    Look::Entry},
    {" > Serial Number",                   0,                        showSerialNumber,       Data::Serial,    0,                       0,               When::Connected,   Group::Pedal,    Look::Entry},
    {" > Update Firmware",                 0,                        showUpdateInstructions, Data::Window,    0,                       0,               When::Connected,   Group::Pedal,    Look::Entry},
    {" > Factory Reset",                   0,                        factoryReset_cb,        Data::Window,    0,                       0,               When::Connected,   Group::Pedal,    Look::Entry},
    {" > Oscillator Calibration... ",      0,                        calibration_cb,         Data::Window,    0,                       0,               When::Service,     Group::Pedal,    Look::Entry},
    {"",                                   0,                        nullptr,                Data::Code,      0,                       FL_MENU_DIVIDER, When::Never,       Group::Sound,    Look::Entry},
    {"                  S O U N D",        0,                        infoSelected,           Data::Code,      0,                       0,               When::Never,       Group::Sound,    Look::Heading},
    {nullptr,                              key(shortcuts::Listen),   listen_cb,              Data::Listening, 0,                       FL_MENU_TOGGLE,  When::Always,      Group::Sound,    Look::Listen},
    {"      Guitar riff",                  0,                        riff_cb,                Data::Listening, Listening::GuitarRiff,   FL_MENU_RADIO,   When::Source,      Group::Sound,    Look::Entry},
    {"      Guitar chords",                0,                        chords_cb,              Data::Listening, Listening::GuitarChords, FL_MENU_RADIO,   When::Source,      Group::Sound,    Look::Entry},
    {"      Bass line",                    0,                        bass_cb,                Data::Listening, Listening::BassLine,     FL_MENU_RADIO,   When::Source,      Group::Sound,    Look::Entry},
    {"      Your WAV file...",             0,                        userClip_cb,            Data::Listening, Listening::UserFile,     FL_MENU_RADIO,   When::Source,      Group::Sound,    Look::Entry},
    {" > Compare with a Local Preset...",  0,                        compare_cb,             Data::Listening, 0,                       0,               When::Always,      Group::Sound,    Look::Entry},
    {" > Compare with the Pedal's Preset", 0,                        comparePedal_cb,        Data::Listening, 0,                       0,               When::PedalPreset, Group::Sound,    Look::Entry},
    {nullptr,                              key(shortcuts::Compared), switch_cb,              Data::Listening, 0,                       0,               When::Switch,      Group::Sound,    Look::Switch},
    {" > Export Impulse Response...",      0,                        exportIr_cb,            Data::Listening, 0,                       0,               When::Always,      Group::Sound,    Look::Entry},
    {" > Export Audio...",                 0,                        exportAudio_cb,         Data::Listening, 0,                       0,               When::Always,      Group::Sound,    Look::Entry},
    {"",                                   0,                        nullptr,                Data::Code,      0,                       FL_MENU_DIVIDER, When::Never,       Group::Window,   Look::Entry},
    {" > Undo",                            key(shortcuts::Undo),     undo_cb,                Data::Window,    0,                       0,               When::Undo,        Group::Window,   Look::Entry},
    {" > Redo",                            key(shortcuts::Redo),     redo_cb,                Data::Window,    0,                       0,               When::Redo,        Group::Window,   Look::Entry},
    {" > Keyboard Shortcuts",              0,                        showKeyboardShortcuts,  Data::Window,    0,                       FL_MENU_DIVIDER, When::Always,      Group::Window,   Look::Entry},
    {" > Quit",                            0,                        quit_cb,                Data::Window,    0,                       0,               When::Always,      Group::Window,   Look::Entry},
};

}  // namespace

std::vector<Fl_Menu_Item> build(const State& state) {
    std::vector<Fl_Menu_Item> items;
    Listening* l = state.listening;
    for (const Row& row : rows) {
        if (row.group == Group::Sound && !l) continue;
        if (row.when == When::Service && state.service == Service::Absent) continue;
        bool usable = true, set = false;
        switch (row.when) {
        case When::Always: break;
        case When::Never: usable = false; break;
        case When::Connected: usable = state.pedalConnected; break;
        case When::TwoPedals: usable = state.deviceCount >= 2; break;
        case When::Service: usable = state.service == Service::Usable; break;
        case When::Undo: usable = state.steps.undo; break;
        case When::Redo: usable = state.steps.redo; break;
        case When::PedalPreset: usable = l->pedalConnected(); break;
        case When::Switch: usable = l->canSwitch(); break;
        case When::Source: set = l->source() == row.code; break;
        }
        if (row.flags & FL_MENU_TOGGLE) set = l->listening();
        void* data = nullptr;
        switch (row.data) {
        case Data::Code: data = reinterpret_cast<void*>(row.code); break;
        case Data::Window: data = state.window; break;
        case Data::Serial: data = const_cast<char*>(state.serial); break;
        case Data::Listening: data = l; break;
        }
        const int flags = row.flags | (usable ? 0 : FL_MENU_INACTIVE) | (set ? FL_MENU_VALUE : 0);
        const char* label = row.label;
        if (row.look == Look::Listen) label = l->listenLabel();
        if (row.look == Look::Switch)
            label = l->hearingCompared() ? " > Back to the Dashboard's Sound" : " > Hear the Compared Preset";
        items.push_back(Fl_Menu_Item{label, row.shortcut, row.callback, data, flags, FL_NORMAL_LABEL,
                                     row.look == Look::Heading ? FL_HELVETICA_BOLD_ITALIC : FL_HELVETICA, 13, 0});
    }
    items.push_back(Fl_Menu_Item{nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0});
    return items;
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

void showKeyboardShortcuts(Fl_Widget*, void*) { dialogs::message("%s", shortcuts::listText().c_str()); }

}  // namespace menu

void Orvella::menuClicked() {
    menu::State state;
    state.pedalConnected = transportPanel_->active();
    // Calibration is a pedal entry, greyed while any prompt is shown (the
    // local preset prompt leaves the transport panel usable), so it never
    // opens over another prompt or itself.
    if (serviceMode_)
        state.service = transportPanel_->active() && !exchanges_.shownPrompt() ? menu::Service::Usable
                                                                               : menu::Service::Greyed;
    // A shown prompt holds the transport panel, which greys the pedal
    // entries; Select Pedal, which does not depend on it, is greyed too.
    state.deviceCount = exchanges_.shownPrompt() ? 0 : usb_->deviceCount;
    state.serial = usb_->serialNumber[0];
    state.window = this;
    state.steps.undo = edits_.mayStep() && edits_.history.canUndo();
    state.steps.redo = edits_.mayStep() && edits_.history.canRedo();
    state.listening = listening_;
    const std::vector<Fl_Menu_Item> items = menu::build(state);
    const Fl_Menu_Item* picked = dialogs::popup(items.data(), Fl::event_x(), Fl::event_y());
    if (picked && picked->callback()) picked->do_callback(menuButton_, picked->user_data());
}
