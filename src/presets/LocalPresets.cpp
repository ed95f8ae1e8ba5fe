#include "presets/LocalPresets.h"

#include "base/dialogs.h"
#include "base/files.h"
#include "base/platform.h"
#include "context/dashboard_steps.h"
#include "context/exchange_guard.h"
#include "editor/OV_Parameters.h"
#include "editor/TextInput.h"
#include "link/OV_UsbController.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_PresetPrompt.h"
#include "presets/OV_TransportPanel.h"
#include "presets/PresetFiles.h"
#include "presets/TransportActions.h"
#include "presets/PresetContext.h"

#include <FL/Fl_Choice.H>
#include <FL/Fl_Toggle_Button.H>
#include <FL/Fl_Window.H>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Names and paths as a message box must be given them: at-signs doubled,
// shown with the system's separator, and a long path broken after a
// separator so the box stays narrower than the window.
std::string shown(const std::string& path) {
    const std::string text = platform::shownPath(path);
    const size_t width = 70;
    std::string lines;
    size_t lineStart = 0, lastSlash = std::string::npos;
    for (size_t i = 0; i < text.size(); ++i) {
        lines += text[i];
        if (text[i] == '/' || text[i] == '\\') lastSlash = lines.size();
        if (lines.size() - lineStart > width && lastSlash != std::string::npos && lastSlash > lineStart) {
            lines.insert(lastSlash, "\n  ");
            lineStart = lastSlash + 1;
            lastSlash = std::string::npos;
        }
    }
    return files::doubleAtSigns(lines);
}

const char* const replaceQuestion = "A preset with the same name already existed, continue to replace?";

// Puts a checked preset on the window (Apply takes its record unchanged).
void loadSound(PresetContext& presets, const presetfiles::Preset& preset) {
    presets.context.dashboard->apply(preset.record());
    presets.transportPanel->showTitle(preset.title());
    if (presets.context.steps) presets.context.steps->dashboardReplaced();
}

// Plays the Dashboard's sound on the pedal; nothing else starts an exchange meanwhile.
void play(PresetContext& presets, Fl_Widget* initiator) {
    ExchangeGuard guard(presets.context, initiator);
    presets.context.usb->writePreview(presets.context.dashboard->image());
}

void playAndClose(PresetContext& presets) {
    play(presets, presets.presetPrompt);
    presets.presetPrompt->close();
}

void savePreset(PresetContext& presets) {
    OV_PresetPanel& panel = *presets.presetPanel;
    OV_PresetPrompt& prompt = *presets.presetPrompt;
    // Spaces around a name are not part of it; a name of spaces alone is empty.
    std::string name = prompt.nameInput->value();
    name.erase(0, name.find_first_not_of(' '));
    name.erase(name.find_last_not_of(' ') + 1);
    if (const char* problem = presetfiles::nameProblem(name)) {
        dialogs::alert("%s\n\nPlease choose another preset name.", problem);
        return;
    }
    int existing = panel.findPreset(name);
    if (existing >= 0 && dialogs::choice(replaceQuestion, "Cancel", "Yes just replace it", nullptr) != 1) return;

    std::string home = panel.homeDrive();
    std::string path = presetfiles::presetPath(home, name);
    uint8_t title[12], params[12];
    std::memcpy(title, presets.transportPanel->title, sizeof title);
    // Stored as WRITE stores it: a soloed side's speaker plays on both sides.
    std::memcpy(params, presets.context.dashboard->params(), sizeof params);
    presetfiles::foldSolo(params, presets.context.dashboard->leftSoloOn(), presets.context.dashboard->rightSoloOn());
    std::vector<uint8_t> bytes = presetfiles::encodeLop(name, params, title);
    int error = 0;
    if (!files::writeFileAtomically(path, bytes.data(), bytes.size(), &error)) {
        dialogs::alert("The preset file\n\n  %s\n\ncould not be written (%s). Nothing has been saved.", shown(path).c_str(),
                       std::strerror(error));
        return;
    }
    if (existing >= 0) {
        panel.presetChoice->value(existing);
    } else {
        panel.addPreset(name);
        panel.presetChoice->value(panel.presetCount - 1);
        if (!presetfiles::appendToList(presetfiles::listPath(home), path, &error))
            dialogs::alert("The preset list could not be updated (%s).", std::strerror(error));
    }
    panel.presetChoice->redraw();
    prompt.close();
}

void importPreset(PresetContext& presets, const std::string& file) {
    OV_PresetPanel& panel = *presets.presetPanel;
    std::vector<uint8_t> bytes;
    int error = 0;
    if (!files::readFile(file, bytes, &error, presetfiles::MaxLopSize)) {
        if (error != EFBIG) return playAndClose(presets);   // cannot be opened: skipped
        dialogs::alert("The preset file\n\n  %s\n\nis far too large to be a preset file. The file has not been added.",
                       shown(file).c_str());
        return;
    }
    // An empty file is refused below like a truncated one (it has no name line).
    std::string name;
    presetfiles::lopName(bytes, name);

    // Nothing that did not come from the file may reach the Dashboard or the pedal,
    // and the name inside the file must not lead outside the preset folder.
    // A record a pedal cannot hold would be clamped into another sound (a
    // backup with it is refused): the file is refused with the reason.
    presetfiles::LocalPreset preset;
    std::string problem;
    switch (presetfiles::decodeLop(bytes, preset, &problem)) {
    case presetfiles::LopStatus::Ok: break;
    case presetfiles::LopStatus::BadPreset:
        dialogs::alert("The preset file\n\n  %s\n\nholds a preset that cannot be loaded: %s.\n\n"
                       "The file has not been added.",
                       shown(file).c_str(), problem.c_str());
        return;
    case presetfiles::LopStatus::BadName:
        dialogs::alert("The preset file\n\n  %s\n\nnames its preset \"%s\", which cannot be used:\n%s\n\n"
                       "The file has not been added.",
                       shown(file).c_str(), shown(name).c_str(), presetfiles::nameProblem(name));
        return;
    case presetfiles::LopStatus::LongName:
        dialogs::alert("The preset file\n\n  %s\n\nnames its preset with more than %zu characters, which cannot "
                       "be used.\n\nThe file has not been added.",
                       shown(file).c_str(), presetfiles::MaxNameLength);
        return;
    default:
        dialogs::alert("The preset file\n\n  %s\n\nis too short or not a preset file. The file has not been added.",
                       shown(file).c_str());
        return;
    }

    std::string home = panel.homeDrive();
    std::string target = presetfiles::presetPath(home, preset.name);
    bool inLibrary = files::sameFile(file, target);
    int existing = panel.findPreset(preset.name);
    if (existing >= 0) {
        if (dialogs::choice(replaceQuestion, "Cancel", "Yes just replace it", nullptr) != 1) return;
        if (!inLibrary && !files::writeFileAtomically(target, bytes.data(), bytes.size(), &error)) {
            dialogs::alert("The preset file\n\n  %s\n\ncould not be written (%s).", shown(target).c_str(),
                           std::strerror(error));
            return;
        }
        panel.presetChoice->value(existing);
        loadSound(presets, preset.preset);
        return playAndClose(presets);
    }
    if (!inLibrary && !files::writeFileAtomically(target, bytes.data(), bytes.size(), &error)) {
        dialogs::alert("The preset file\n\n  %s\n\ncould not be written (%s). The file has not been added.",
                       shown(target).c_str(), std::strerror(error));
        return;
    }
    panel.addPreset(preset.name);
    panel.presetChoice->value(panel.presetCount - 1);
    loadSound(presets, preset.preset);
    if (!presetfiles::appendToList(presetfiles::listPath(home), target, &error))
        dialogs::alert("The preset list could not be updated (%s).", std::strerror(error));
    playAndClose(presets);
}

}  // namespace

void presetPanel_cb(Fl_Widget* w, void* data) {
    PresetContext& presets = *static_cast<PresetContext*>(data);
    OV_PresetPanel& panel = *static_cast<OV_PresetPanel*>(w);
    if (panel.addButton->value()) {
        // The prompt holds the Dashboard (and what could open another prompt)
        // until Save, an import or Cancel closes it.
        presets.presetPrompt->open();
        return;
    }
    loadSound(presets, panel.loaded);
    play(presets, &panel);
    panel.top_window()->redraw();
}

void presetPrompt_cb(Fl_Widget* w, void* data) {
    PresetContext& presets = *static_cast<PresetContext*>(data);
    OV_PresetPrompt& prompt = *static_cast<OV_PresetPrompt*>(w);
    if (prompt.saveButton->value()) return savePreset(presets);
    if (const std::string* file = prompt.pendingFile()) return importPreset(presets, *file);
    playAndClose(presets);                      // Cancel: play the current sound once more
}

void installPresetCallbacks(PresetContext& presets) {
    presets.presetPanel->callback(presetPanel_cb, &presets);
    presets.presetPrompt->callback(presetPrompt_cb, &presets);
    presets.transportPanel->callback(transport_cb, &presets);
}
