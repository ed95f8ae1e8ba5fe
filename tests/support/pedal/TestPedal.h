// Virtual pedals for tests: a private folder that ORVELLA_PEDAL_DIR points at,
// orvella-pedal processes registered in it, their faults, command log and state.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pedal/PedalState.h"

namespace testpedal {

// A fresh temporary folder; ORVELLA_PEDAL_DIR names it while the object lives,
// and ORVELLA_VIRTUAL_ONLY keeps real pedals out of the device list (the
// previous values come back afterwards). Removed with its contents.
class PedalFolder {
public:
    PedalFolder();
    ~PedalFolder();
    PedalFolder(const PedalFolder&) = delete;
    PedalFolder& operator=(const PedalFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
    bool hadPrevious_ = false;
    std::string previousVirtualOnly_;
    bool hadVirtualOnly_ = false;
    std::string previousLockDir_;
    bool hadLockDir_ = false;
};

struct PedalOptions {
    std::string serial = "VP000001";
    std::string description;            // empty: the pedal's own ("Kestrova Drevani")
    bool wireSpeed = false;
    bool updateMode = false;
    int firmware = -1;                  // version byte, -1: the pedal's default
    std::string factory;                // 192-byte bank to start from
    std::vector<std::string> faults;    // as orvella-pedal --fault takes them
    bool closedStreams = false;         // started with standard input, output and error closed
};

// One line of the pedal's command log.
struct LoggedCommand {
    std::string name;                   // "read-preset", "store-header", "store-image", "preview", ...
    std::vector<uint8_t> bytes;         // what the pedal received
    size_t replied = 0;                 // bytes it sent back
    bool corrupted = false;             // its echo was corrupted on purpose
};

class VirtualPedal {
public:
    VirtualPedal(const PedalFolder& folder, PedalOptions options = PedalOptions());
    ~VirtualPedal();
    VirtualPedal(const VirtualPedal&) = delete;
    VirtualPedal& operator=(const VirtualPedal&) = delete;

    // Starts the process and waits until it is registered; false (with the
    // reason in error) when it exits or fails to come up within 30 seconds.
    bool start(std::string* error = nullptr);
    // SIGTERM, then waits for the exit; true when it exited cleanly.
    bool stop();
    // Ends the process at once (SIGKILL), as a pulled power cable would: it
    // saves nothing more, and its registration goes as the device would.
    void crash();
    bool running() const { return pid_ > 0; }
    long pid() const { return static_cast<long>(pid_); }

    // Unplugs (unregisters, closes its port) and plugs back in, waiting for either.
    bool unplug();
    bool plugIn();
    // Replaces the faults the pedal reads before each command and waits until
    // it has taken them (false when it did not within 30 seconds).
    bool setFaults(const std::vector<std::string>& faults);

    std::vector<LoggedCommand> commands() const;
    // The log once it holds at least n commands, or as it is after timeoutMs
    // (for commands that get no reply, which the pedal logs a moment later).
    std::vector<LoggedCommand> waitForCommands(size_t n, int timeoutMs = 10000) const;
    // How many commands called `name` the log holds; waitForCount waits until
    // there are at least n of them (false when not within timeoutMs).
    size_t count(const std::string& name) const;
    bool waitForCount(const std::string& name, size_t n, int timeoutMs = 10000) const;
    // The pedal's stored state, read from its state file.
    bool state(PedalState& out) const;
    // Writes a state file before start, so the pedal starts from it.
    bool presetState(const PedalState& state) const;

    const std::string& serial() const { return options_.serial; }
    std::string registration() const;   // path of its registration file
    std::string statePath() const;
    std::string logPath() const;

    // The orvella-pedal program the tests run.
    static std::string program();

private:
    bool waitRegistered(bool present, int timeoutMs) const;
    std::string folder_;
    PedalOptions options_;
    pid_t pid_ = -1;
};

// While it lives, the programs a test starts (orvella-cli) see a pedal's
// stalled bridge (the stuck-tx fault) as the driver of a real one shows it:
// the bytes they wrote still waiting in its transmit queue, which a
// pseudo-terminal does not have (stalled_bridge.c, preloaded, keeps one).
class StalledBridgesShown {
public:
    StalledBridgesShown();
    ~StalledBridgesShown();
    StalledBridgesShown(const StalledBridgesShown&) = delete;
    StalledBridgesShown& operator=(const StalledBridgesShown&) = delete;

private:
    std::string preload_, asan_;
    bool hadPreload_ = false, hadAsan_ = false;
};

// A record inside every range, varied by n (0 to 29).
std::vector<uint8_t> knownRecord(int n);
// The title of known preset n: "Factory n+1", padded to 12 characters.
std::string knownTitle(int n);
// The 192-byte bank of presets knownRecord(0..7) with their titles, as
// PedalOptions::factory takes it.
std::string knownBank();

}  // namespace testpedal
