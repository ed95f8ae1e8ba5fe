#include "shell/edit_session.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/files.h"
#include "base/platform.h"
#include "editor/OV_Parameters.h"
#include "link/OV_UsbController.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_TransportPanel.h"
#include "reference/OV_ToneChart.h"
#include "shell/main_window.h"
#include "sound/Params.h"

namespace {

double seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

bool EditSession::auditioning() const { return window.toneChart()->listenMode != 0; }

edits::DashboardState EditSession::shown() const {
    edits::DashboardState state = edits::DashboardState::of(window.dashboard()->params(), window.transportPanel()->title);
    // A tone chart audition plays a speaker the user did not choose: the
    // user's Dashboard holds the speakers the audition gives back.
    if (auditioning()) {
        state.record[sound::Speaker_L] = static_cast<uint8_t>(window.dashboard()->savedSpeaker(0));
        state.record[sound::Speaker_R] = static_cast<uint8_t>(window.dashboard()->savedSpeaker(1));
    }
    return state;
}

void EditSession::refreshMark() {
    window.transportPanel()->showEdited(pedal.edited(window.transportPanel()->selectedPreset, shown()));
}

void EditSession::dashboardReplaced() {
    if (!showing) history.record(shown());
    refreshMark();
}

void EditSession::dashboardChanged() {
    if (showing) return;
    // Keys and the wheel change a control a notch at a time: held on one
    // control they make one step, as one drag with the mouse does.
    uintptr_t gesture = 0;
    if (Fl::event() == FL_KEYBOARD) gesture = reinterpret_cast<uintptr_t>(Fl::focus());
    else if (Fl::event() == FL_MOUSEWHEEL) gesture = reinterpret_cast<uintptr_t>(Fl::belowmouse());
    history.record(shown(), gesture, seconds());
    refreshMark();
}

void EditSession::pedalHolds(int preset, const uint8_t* record, const char* title) {
    loadMarks();
    pedal.holds(preset, edits::DashboardState::of(record, title));
    keepMarks();
    refreshMark();
}

void EditSession::pedalDamaged(int preset) {
    loadMarks();
    pedal.damaged(preset);
    keepMarks();
    refreshMark();
}

void EditSession::loadMarks() {
    if (marksLoaded) return;
    marksLoaded = true;
    std::vector<uint8_t> bytes;
    if (!files::readFile(damageMarksPath(), bytes, nullptr, 64 * 1024)) return;
    keptMarks.assign(bytes.begin(), bytes.end());
    marksRefused = !pedal.restoreMarks(keptMarks);
}

void EditSession::keepMarks() {
    std::string marks = pedal.encodeMarks();
    if (marks == keptMarks) return;
    // Not kept: the next change tries again; the marks hold for this run.
    if (files::writeFileAtomically(damageMarksPath(), marks.data(), marks.size())) keptMarks = marks;
}

std::string EditSession::damageMarksPath() {
    return files::dataFolder(platform::env("HOMEDRIVE")) + "damaged_presets.txt";
}

void EditSession::pedalChanged() {
    loadMarks();
    const char* serial = window.usb()->serialNumber[0];
    pedal.connected(std::string(serial, strnlen(serial, sizeof window.usb()->serialNumber[0])));
    refreshMark();
}

std::string EditSession::lastDashboardPath() {
    return files::dataFolder(platform::env("HOMEDRIVE")) + "last_dashboard.dat";
}

void EditSession::begin() {
    loadMarks();
    if (marksRefused) {
        window.stampStatus();
        window.logStatus("The damaged-preset marks kept at the last run could not be read; they are not shown.");
        window.advanceStatus(1);
        refreshMark();
    }
    history.start(shown());
    std::vector<uint8_t> bytes;
    if (!files::readFile(lastDashboardPath(), bytes, nullptr, 4096)) return;
    std::optional<edits::DashboardState> last = edits::decodeLastDashboard(bytes.data(), bytes.size());
    if (!last) {
        window.stampStatus();
        window.logStatus("The Dashboard kept at the last quit could not be read; it is not offered.");
        window.advanceStatus(1);
        return;
    }
    if (history.offerEarlier(*last)) {
        window.stampStatus();
        window.logStatus("Undo (Ctrl+Z) brings back the Dashboard you quit with last time.");
        window.advanceStatus(1);
    }
}

bool EditSession::mayStep() const {
    // A prompt or a pedal exchange holds the Dashboard inactive meanwhile.
    return window.dashboard()->active_r();
}

void EditSession::show(const edits::DashboardState& state) {
    showing = true;
    OV_Parameters& dash = *window.dashboard();
    window.transportPanel()->showTitle(reinterpret_cast<const uint8_t*>(state.title.data()));
    dash.apply(state.record.data());
    if (Fl_Button* mode = dash.stereoMode ? dash.stereoMicsButton : dash.stereoCabsButton) mode->do_callback();
    // One preview, as a release sends it (and logs it); an audition under
    // way goes on over the step, so the pedal keeps playing what Listen says.
    if (auditioning()) {
        window.toneChart()->audition();
        if (dash.visible()) window.presetPanel()->show();     // the audition hides it for its own page
    } else
        dash.do_callback();
    showing = false;
    refreshMark();
}

bool EditSession::undo() {
    if (!mayStep()) return false;
    std::optional<edits::DashboardState> state = history.undo();
    if (state) show(*state);
    return state.has_value();
}

bool EditSession::redo() {
    if (!mayStep()) return false;
    std::optional<edits::DashboardState> state = history.redo();
    if (state) show(*state);
    return state.has_value();
}

bool EditSession::keepLastDashboard(int* error) const {
    // While a prompt or an exchange holds the Dashboard (the window closed
    // during a RESTORE, whose records pass through the Dashboard), the user's
    // Dashboard is the one the last step left.
    std::string bytes = edits::encodeLastDashboard(mayStep() ? shown() : history.current());
    return files::writeFileAtomically(lastDashboardPath(), bytes.data(), bytes.size(), error);
}
