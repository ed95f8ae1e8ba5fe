// Shared set-up of the preset GUI tests: the real main window in a private
// HOMEDRIVE, with the preset callbacks installed and every dialog recorded.
#pragma once

#include "tests/support/gui/Events.h"
#include "tests/support/gui/RecordingDialogs.h"
#include "tests/support/gui/TestEnvironment.h"
#include "tests/support/pedal/TestPedal.h"

#include "editor/OV_Parameters.h"
#include "presets/LocalPresets.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_PresetPrompt.h"
#include "presets/OV_TransportPanel.h"
#include "presets/PresetFiles.h"
#include "presets/TransportActions.h"
#include "shell/main_window.h"

#include <FL/Fl_Widget.H>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace presettest {

inline std::vector<uint8_t> bytesOf(const uint8_t* p, size_t n) { return std::vector<uint8_t>(p, p + n); }

// A parameter record inside every range, varied by n.
inline std::vector<uint8_t> record(int n) { return testpedal::knownRecord(n); }

inline std::string title(const std::string& text) {
    std::string t = text.substr(0, 12);
    t.resize(12, ' ');
    return t;
}

class PresetsGui : public ::testing::Test {
protected:
    void SetUp() override {
        env.reset(new gui::TestEnvironment());
        dialogs.reset(new gui::RecordingDialogs());
        window = env->openWindow();
        dialogs->clear();
    }
    void TearDown() override {
        window.reset();
        dialogs.reset();
        env.reset();
    }

    std::string folder() const { return presetfiles::presetFolder(env->home); }
    std::string lop(const std::string& name) const { return presetfiles::presetPath(env->home, name); }
    std::string list() const { return presetfiles::listPath(env->home); }
    std::vector<std::string> listLines() const { return presetfiles::readList(list()); }
    std::vector<uint8_t> dashboardParams() const { return bytesOf(window->dashboard()->params(), 12); }

    // A .lop file anywhere, as another user might hand it over.
    void writeLop(const std::string& path, const std::string& name, const std::vector<uint8_t>& params,
                  const std::string& titleText) {
        std::vector<uint8_t> bytes = presetfiles::encodeLop(name, params.data(),
                                                            reinterpret_cast<const uint8_t*>(titleText.data()));
        ASSERT_TRUE(gui::TestEnvironment::writeFile(path, std::string(bytes.begin(), bytes.end())));
    }

    std::unique_ptr<gui::TestEnvironment> env;
    std::unique_ptr<gui::RecordingDialogs> dialogs;
    std::unique_ptr<Orvella> window;
};

}  // namespace presettest
