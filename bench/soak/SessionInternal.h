// Inside one soak session: the Session that owns the private home, the
// virtual pedals, the window and the offered files, and the helpers its parts
// share. Session.cpp runs the actions with the oracle after each;
// EditorActions.cpp, CliActions.cpp and WorldActions.cpp perform the
// editor's, orvella-cli's and the world's actions. Only these include it.
#pragma once

// Before any X11 header, whose macros (BadName, ...) clash with its names.
#include "presets/PresetFiles.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/soak/Actions.h"
#include "bench/soak/Oracle.h"
#include "bench/soak/Session.h"
#include "tests/support/pedal/TestPedal.h"
#include "bench/soak/Truth.h"
#include "tests/support/gui/RecordingDialogs.h"
#include "tests/support/gui/TestEnvironment.h"
#include "link/OV_UsbController.h"
#include "shell/main_window.h"
#include "sound/SoundModel.h"

namespace soak {

inline const std::string dataDir = ORVELLA_DATA_DIR;

// The offered firmware package: version 'Z', one note line, 640 payload bytes.
inline std::string firmwarePackage() {
    return "Z\n1\nSoak test release\n" + std::string(640, '\x5A');
}

inline std::string fromFile(const std::string& path) { return gui::TestEnvironment::readFile(path); }
inline std::string str(const uint8_t* p, size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }

inline std::string licenceText() {
    std::string t = "GNU GENERAL PUBLIC LICENSE\nVersion 3, 29 June 2007\n\n";
    for (int i = 0; i < 40; ++i) t += "Everyone is permitted to copy and distribute verbatim copies of this licence.\n";
    return t;
}

// An offered .lop: whether it holds a preset a pedal holds (record and title).
inline bool decodeOffered(const std::string& bytes, presetfiles::LocalPreset& lop) {
    const std::vector<uint8_t> b(bytes.begin(), bytes.end());
    presetfiles::lopName(b, lop.name);
    return presetfiles::decodeLop(b, lop) == presetfiles::LopStatus::Ok;
}

// One run of orvella-cli: its exit status, and what it printed on both streams.
struct CliRun {
    int code = -1;
    bool killedHard = false;
    std::string said;
};

// A session: set up in a fresh private home, then run through a list of
// actions, the oracle checking after each.
class Session {
public:
    Session(uint32_t seed, Figures& figures, bool verbose, std::string onlyRule)
        : seed_(seed), figures_(figures), verbose_(verbose), onlyRule_(std::move(onlyRule)) {}
    ~Session() {
        window_.reset();
        for (auto& p : pedals_) p.reset();
    }
    bool setUp(std::string& error);
    Failure run(const std::vector<Action>& actions, bool keepGoing);

private:
    // Hands x to the one of the three below that performs it.
    void perform(const Action& x, Step& step);
    void gui(const Action& x, Step& step);      // EditorActions.cpp
    void cli(const Action& x, Step& step);      // CliActions.cpp
    void world(const Action& x, Step& step);    // WorldActions.cpp
    // Starts orvella-cli once for each argument list, all at the same time,
    // and waits for every one (CliActions.cpp).
    std::vector<CliRun> runClis(const std::vector<std::vector<std::string>>& runs, const Action& x);
    Truth truth() const;
    // Waits until every pedal has taken what it was sent: a command without
    // a reply (configuration, preview) is done on the wire before the pedal
    // has logged and saved it.
    void quiet() const;
    // Previews the addressed pedal has logged so far.
    size_t previewCount() const {
        size_t n = 0;
        if (testpedal::VirtualPedal* p = bySerial(window_->usb()->serialNumber[0]))
            for (const testpedal::LoggedCommand& c : p->commands()) n += c.name == "preview";
        return n;
    }
    std::string composedBank(const std::string& bank) const;
    testpedal::VirtualPedal* pedal(int which) const { return pedals_[which] && pedals_[which]->running() ? pedals_[which].get() : nullptr; }
    testpedal::VirtualPedal* bySerial(const std::string& serial) const;
    std::string file(const std::string& name) const { return files_ + "/" + name; }
    void writeOffered(const std::string& name, const std::string& bytes);
    void openWindow() {
        window_ = env_->openWindow();
        window_->usb()->link.setSink([](const char*) {});     // the link's diagnostics are no claims
    }

    uint32_t seed_;
    Figures& figures_;
    bool verbose_;
    std::string onlyRule_;
    std::unique_ptr<gui::TestEnvironment> env_;
    std::unique_ptr<gui::RecordingDialogs> dialogs_;
    std::unique_ptr<testpedal::PedalFolder> folder_;
    std::unique_ptr<testpedal::VirtualPedal> pedals_[2];
    std::unique_ptr<Orvella> window_;
    std::unique_ptr<SoundModel> model_;
    Composer composer_;
    std::string files_, factory_;
    std::map<std::string, unsigned> unsettled_;
};

}  // namespace soak
