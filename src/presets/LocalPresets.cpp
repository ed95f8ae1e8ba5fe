#include "presets/LocalPresets.h"

#include "editor/OV_Parameters.h"
#include "editor/TextInput.h"
#include "link/OV_UsbController.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_PresetPrompt.h"
#include "presets/OV_TransportPanel.h"
#include "presets/PresetFiles.h"
#include "shell/Orvella.h"
#include "base/dialogs.h"

#include <FL/Fl_Choice.H>
#include <FL/Fl_Toggle_Button.H>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Names and paths as a message box must be given them: at-signs doubled,
// and a long path broken after a '/' so the box stays narrower than the window.
std::string shown(const std::string& text) {
    const size_t width = 70;
    std::string lines;
    size_t lineStart = 0, lastSlash = std::string::npos;
    for (size_t i = 0; i < text.size(); ++i) {
        lines += text[i];
        if (text[i] == '/') lastSlash = lines.size();
        if (lines.size() - lineStart > width && lastSlash != std::string::npos && lastSlash > lineStart) {
            lines.insert(lastSlash, "\n  ");
            lineStart = lastSlash + 1;
            lastSlash = std::string::npos;
        }
    }
    return files::doubleAtSigns(lines);
}

const char* const replaceQuestion = "A preset with the same name already existed, continue to replace?";

// Puts a block (through the clamping Apply) and its title on the window.
void loadSound(Orvella& app, const uint8_t* params, const uint8_t* title) {
    app.dashboard->apply(params);
    app.transportPanel->showTitle(title);
}

void playAndClose(Orvella& app) {
    app.usb->writePreview(app.dashboard->image());
    app.presetPrompt->hide();
    app.dashboard->activate();
    app.redraw();
}

void savePreset(Orvella& app) {
    OV_PresetPanel& panel = *app.presetPanel;
    OV_PresetPrompt& prompt = *app.presetPrompt;
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
    std::memcpy(title, app.transportPanel->title, sizeof title);
    // Stored as WRITE stores it: a soloed side's speaker plays on both sides.
    std::memcpy(params, app.dashboard->params(), sizeof params);
    presetfiles::foldSolo(params, app.dashboard->leftSoloOn(), app.dashboard->rightSoloOn());
    std::vector<uint8_t> bytes = presetfiles::encodeLop(name, params, title);
    int error = 0;
    if (!presetfiles::writeFileAtomically(path, bytes.data(), bytes.size(), &error)) {
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
    prompt.hide();
    app.dashboard->activate();
    app.redraw();
}

void importPreset(Orvella& app, const std::string& file) {
    OV_PresetPanel& panel = *app.presetPanel;
    std::vector<uint8_t> bytes;
    int error = 0;
    if (!presetfiles::readFile(file, bytes, &error, presetfiles::MaxLopSize)) {
        if (error != EFBIG) return playAndClose(app);   // cannot be opened: skipped
        dialogs::alert("The preset file\n\n  %s\n\nis far too large to be a preset file. The file has not been added.",
                       shown(file).c_str());
        return;
    }
    std::string name;
    if (!presetfiles::lopName(bytes, name) && bytes.empty()) return playAndClose(app);

    // Nothing that did not come from the file may reach the Dashboard or the pedal,
    // and the name inside the file must not lead outside the preset folder.
    presetfiles::LocalPreset preset;
    switch (presetfiles::decodeLop(bytes, preset)) {
    case presetfiles::LopStatus::Ok: break;
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
    bool inLibrary = presetfiles::sameFile(file, target);
    int existing = panel.findPreset(preset.name);
    if (existing >= 0) {
        if (dialogs::choice(replaceQuestion, "Cancel", "Yes just replace it", nullptr) != 1) return;
        if (!inLibrary && !presetfiles::writeFileAtomically(target, bytes.data(), bytes.size(), &error)) {
            dialogs::alert("The preset file\n\n  %s\n\ncould not be written (%s).", shown(target).c_str(),
                           std::strerror(error));
            return;
        }
        panel.presetChoice->value(existing);
        loadSound(app, preset.params, preset.title);
        return playAndClose(app);
    }
    if (!inLibrary && !presetfiles::writeFileAtomically(target, bytes.data(), bytes.size(), &error)) {
        dialogs::alert("The preset file\n\n  %s\n\ncould not be written (%s). The file has not been added.",
                       shown(target).c_str(), std::strerror(error));
        return;
    }
    panel.addPreset(preset.name);
    panel.presetChoice->value(panel.presetCount - 1);
    loadSound(app, preset.params, preset.title);
    if (!presetfiles::appendToList(presetfiles::listPath(home), target, &error))
        dialogs::alert("The preset list could not be updated (%s).", std::strerror(error));
    playAndClose(app);
}

}  // namespace

void presetPanel_cb(Fl_Widget* w, void* data) {
    Orvella& app = *static_cast<Orvella*>(data);
    OV_PresetPanel& panel = *static_cast<OV_PresetPanel*>(w);
    if (panel.addButton->value()) {
        app.dashboard->deactivate();
        app.presetPrompt->resetName();
        app.presetPrompt->show();
        app.redraw();
        return;
    }
    loadSound(app, panel.loadedParams, panel.loadedTitle);
    app.usb->writePreview(app.dashboard->image());
    app.redraw();
}

void presetPrompt_cb(Fl_Widget* w, void* data) {
    Orvella& app = *static_cast<Orvella*>(data);
    OV_PresetPrompt& prompt = *static_cast<OV_PresetPrompt*>(w);
    if (prompt.saveButton->value()) return savePreset(app);
    if (const std::string* file = prompt.pendingFile()) return importPreset(app, *file);
    playAndClose(app);                      // Cancel: play the current sound once more
}
