// The editor's actions: what a user does in the window, by clicks and keys,
// with what the oracle needs to know of each noted in its Step.
#include "bench/soak/SessionInternal.h"

#include <FL/Fl.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Menu_.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Toggle_Button.H>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "editor/OV_Parameters.h"
#include "editor/ScrollBox.h"
#include "editor/TextInput.h"
#include "tests/support/gui/Events.h"
#include "maintenance/OV_GloConPrompt.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_PresetPrompt.h"
#include "presets/OV_TransportPanel.h"
#include "reference/OV_ToneChart.h"
#include "shell/pedal_selection.h"

namespace soak {

void Session::gui(const Action& x, Step& step) {
    Orvella* w = window_.get();
    OV_TransportPanel& panel = *w->transportPanel();
    OV_Parameters& dash = *w->dashboard();
    gui::RecordingDialogs& d = *dialogs_;
    auto selectPreset = [&] { gui::clickCentre(panel.child(x.a)); };
    auto openPrompt = [&] { gui::clickCentre(w->presetPanel()->addButton); gui::settle(); };
    switch (x.op) {
    case Op::Read:
        selectPreset();
        step.preset = panel.selectedPreset;
        gui::clickCentre(panel.readButton);
        break;
    case Op::Write: {
        selectPreset();
        step.preset = panel.selectedPreset;
        uint8_t record[12];
        std::memcpy(record, dash.params(), 12);
        presetfiles::foldSolo(record, dash.leftSoloOn(), dash.rightSoloOn());
        step.record = str(record, 12);
        step.title = std::string(panel.title, 12);
        step.image = str(dash.image(), 512);
        gui::clickCentre(panel.writeButton);
        break;
    }
    case Op::Title:
        gui::click(w, panel.titleInput->x() + 20, panel.titleInput->y() + 10);
        // A held field leaves the focus where it was: a space typed into a focused
        // choice opens its pull-down, whose loop waits for a click no test sends.
        if (dynamic_cast<Fl_Menu_*>(Fl::focus())) break;
        gui::type(w, x.text);
        gui::key(w, FL_Enter, "\r");
        break;
    case Op::Click: {
        // A menu's pull-down runs a loop of its own until a second click that
        // no test sends: such a click picks an item instead, as the user's would.
        Fl_Widget* hit = nullptr;
        for (Fl_Widget* o = w; o && o->visible();) {
            hit = o;
            Fl_Group* g = o->as_group();
            o = nullptr;
            for (int i = g ? g->children() - 1 : -1; i >= 0; --i) {
                Fl_Widget* c = g->child(i);
                if (c->visible() && x.a >= c->x() && x.a < c->x() + c->w() && x.b >= c->y() && x.b < c->y() + c->h()) {
                    o = c;
                    break;
                }
            }
        }
        Fl_Menu_* menu = dynamic_cast<Fl_Menu_*>(hit);
        if (!menu) {
            gui::click(w, x.a, x.b);
        } else if (menu->active_r() && menu->size() > 1) {
            const Fl_Menu_Item* item = menu->menu() + (x.b % (menu->size() - 1));
            if (item->text && !item->submenu() && item->active()) {
                menu->value(item);
                menu->do_callback();
            }
        }
        break;
    }
    case Op::Backup: d.choiceAnswers.push_back(1); gui::clickCentre(panel.backupButton); break;
    case Op::Restore:
        step.file = file(x.text);
        step.banks = {composedBank(fromFile(step.file))};
        d.choiceAnswers.push_back(1);
        d.chooserAnswers.push_back({step.file});
        gui::clickCentre(panel.restoreButton);
        break;
    case Op::FactoryReset:
        step.banks = {composedBank(fromFile(factory_))};
        d.popupPicks.push_back(" > Factory Reset");
        d.choiceAnswers.push_back(1);
        gui::clickCentre(w->menuButton());
        break;
    case Op::SaveLocal:
        step.file = presetfiles::presetPath(env_->home, x.text);
        openPrompt();
        if (!w->presetPrompt()->visible()) break;
        gui::click(w, w->presetPrompt()->nameInput->x() + 20, w->presetPrompt()->nameInput->y() + 10);
        gui::type(w, x.text);
        d.choiceAnswers.push_back(1);
        gui::clickCentre(w->presetPrompt()->saveButton);
        break;
    case Op::ImportLocal: {
        presetfiles::LocalPreset lop;
        step.fileValid = decodeOffered(fromFile(file(x.text)), lop);
        step.file = lop.name;
        if (step.fileValid) composer_.compose(lop.preset.record(), step.record, step.image);
        openPrompt();
        if (!w->presetPrompt()->visible()) break;
        d.chooserAnswers.push_back({file(x.text)});
        d.choiceAnswers.push_back(1);
        gui::clickCentre(w->presetPrompt()->addFilesButton);
        break;
    }
    case Op::ChooseLocal: {
        Fl_Choice* choice = w->presetPanel()->presetChoice;
        int items = w->presetPanel()->presetCount;
        if (!choice->active() || items == 0) break;
        int pick = x.a % items;
        step.file = w->presetPanel()->presetName(pick);
        presetfiles::LocalPreset lop;
        step.fileValid = decodeOffered(fromFile(presetfiles::presetPath(env_->home, step.file)), lop);
        if (step.fileValid) composer_.compose(lop.preset.record(), step.record, step.image);
        choice->value(pick);
        choice->do_callback();
        break;
    }
    case Op::RemoveLocal: d.choiceAnswers.push_back(1); gui::clickCentre(w->presetPanel()->removeButton); break;
    case Op::OpenConfig: gui::clickCentre(w->gloConButton()); break;
    case Op::ConfigConfirm:
        if (!w->gloConPrompt()->visible()) break;
        w->gloConPrompt()->leftKnobChoice->value(x.a);
        w->gloConPrompt()->rightKnobChoice->value(x.b);
        w->gloConPrompt()->midiChannelChoice->value(x.c);
        step.config = (x.a << 6) | (x.b << 4) | x.c;
        gui::clickCentre(w->gloConPrompt()->confirmButton);
        break;
    case Op::ConfigCancel: if (w->gloConPrompt()->visible()) gui::clickCentre(w->gloConPrompt()->cancelButton); break;
    case Op::Connect: gui::clickCentre(w->connectButton()); break;
    case Op::SelectPedal: d.popupPicks.push_back(" > Select Pedal"); gui::clickCentre(w->menuButton()); break;
    case Op::SelectConfirm: {
        Fl_Choice* serials = w->devSelPrompt()->serialChoice;
        if (!w->devSelPrompt()->visible() || serials->size() <= 1) break;
        serials->value(x.a % (serials->size() - 1));
        gui::clickCentre(w->devSelPrompt()->confirmButton);
        break;
    }
    case Op::Audition: {
        // Tick a Listen button, select a line (or click below the last chart), untick, back to the Dashboard.
        OV_ToneChart& chart = *w->toneChart();
        Fl_Check_Button* listen[4] = {nullptr, chart.listenL, chart.listenR, chart.listenLR};
        step.record = str(dash.params(), 12);
        w->tabs()->value(&chart);
        w->tabs()->do_callback();
        gui::settle();
        gui::clickCentre(listen[x.b]);
        gui::settle();
        if (!listen[x.b]->value()) step.record.clear();     // held: nothing to give back
        quiet();
        size_t previews = previewCount();
        if (x.c) {
            // The end of the charts, as the scroll bar's end leaves them.
            chart.chartScroll->scroll_to(0, std::max(0, chart.clickBox->h() - chart.chartScroll->h()));
            chart.chartScroll->redraw();
            gui::settle();      // the scroll bar takes the position when drawn
            gui::click(w, chart.chartScroll->x() + 200, chart.chartScroll->y() + chart.chartScroll->h() / 2);
        } else {
            chart.speakerList->value(x.a);
            chart.speakerList->do_callback();
        }
        gui::settle();
        quiet();
        const char* line = chart.selectedLine > 0 ? chart.speakerList->text(chart.selectedLine) : nullptr;
        step.heard = previewCount() > previews ? std::string(line ? line : "") : "-";
        if (verbose_)
            std::fprintf(stderr, "soak:   listen %d, line %d \"%s\", %s\n", chart.listenMode, chart.selectedLine,
                         line ? line : "", step.heard == "-" ? "no preview" : "previewed");
        if (listen[x.b]->value()) gui::clickCentre(listen[x.b]);
        w->tabs()->value(w->dashboard());
        w->tabs()->do_callback();
        break;
    }
    case Op::RestartEditor:
        window_.reset();
        openWindow();
        break;
    default: break;
    }
}

}  // namespace soak
