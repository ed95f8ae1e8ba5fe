#include "bench/soak/Session.h"

#include "bench/soak/SessionInternal.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <FL/Fl_Box.H>
#include <FL/Fl_Choice.H>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "editor/OV_Parameters.h"
#include "tests/support/gui/Events.h"
#include "tests/support/gui/StatusLog.h"
#include "maintenance/OV_CalibratePrompt.h"
#include "maintenance/OV_GloConPrompt.h"
#include "maintenance/OV_UpdatePrompt.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_PresetPrompt.h"
#include "presets/OV_TransportPanel.h"
#include "shell/pedal_selection.h"

namespace soak {

namespace {

const int actionLimitSeconds = 120;     // no action of a working program comes near this

// What a crash or a hang prints: kept ready before each action, written with
// write(2) from the signal handler.
char lastWords[32768];
struct sigaction previousHandlers[NSIG];
void sayLastWords(int sig) {
    ssize_t ignored = write(2, lastWords, std::strlen(lastWords));
    (void)ignored;
    // Then whatever handled the signal before (a sanitizer's report), or the default.
    sigaction(sig, &previousHandlers[sig], nullptr);
    raise(sig);
}

// Ends the process when an action outlives its limit: a hang is a violation
// that no later action can undo.
class Watchdog {
public:
    Watchdog() : thread_([this] { watch(); }) {}
    ~Watchdog() {
        { std::lock_guard<std::mutex> lock(m_); quit_ = true; }
        cv_.notify_all();
        thread_.join();
    }
    void arm(int seconds) {
        std::lock_guard<std::mutex> lock(m_);
        deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        armed_ = true;
        cv_.notify_all();
    }
    void disarm() { std::lock_guard<std::mutex> lock(m_); armed_ = false; }

private:
    void watch() {
        std::unique_lock<std::mutex> lock(m_);
        while (!quit_) {
            if (!armed_) { cv_.wait(lock); continue; }
            if (cv_.wait_until(lock, deadline_) == std::cv_status::timeout && armed_ &&
                std::chrono::steady_clock::now() >= deadline_) {
                std::fprintf(stderr, "soak: VIOLATION hang: the action below did not end within %d s\n",
                             actionLimitSeconds);
                sayLastWords(SIGKILL);
            }
        }
    }
    std::mutex m_;
    std::condition_variable cv_;
    bool armed_ = false, quit_ = false;
    std::chrono::steady_clock::time_point deadline_;
    std::thread thread_;
};


}  // namespace

bool Session::setUp(std::string& error) {
    env_.reset(new gui::TestEnvironment());
    dialogs_.reset(new gui::RecordingDialogs());
    folder_.reset(new testpedal::PedalFolder());
    model_.reset(new SoundModel(dataDir + "/bin"));
    composer_.compose = [this](const uint8_t* record, std::string& params, std::string& image) {
        model_->apply(record);
        params = str(model_->params(), 12);
        image = str(model_->image(), 512);
    };
    factory_ = dataDir + "/bin/factoryset.fap";
    testpedal::PedalOptions a;
    a.serial = "SOAKA01";
    a.factory = factory_;
    pedals_[0].reset(new testpedal::VirtualPedal(*folder_, a));
    if (!pedals_[0]->start(&error)) return false;

    // The files the user offers: backups (one a symlink, one private), local
    // presets (one out of range, one a symlink), a firmware package and a
    // licence text someone took for one.
    files_ = env_->root + "/files";
    mkdir(files_.c_str(), 0755);
    std::string bank = fromFile(factory_), other = bank;
    std::swap_ranges(other.begin(), other.begin() + 48, other.begin() + 48);        // presets 1-4 <-> 5-8
    std::swap_ranges(other.begin() + 96, other.begin() + 144, other.begin() + 144);
    for (int i = 0; i < 8; ++i) bank[96 + 12 * i + 11] = static_cast<char>('a' + (seed_ + i) % 26);
    writeOffered("mine.bkp", bank);
    writeOffered("other.bkp", other);
    writeOffered("linked-target", bank);
    if (symlink((files_ + "/linked-target").c_str(), file("linked.bkp").c_str()) != 0) std::perror("linked.bkp");
    writeOffered("private.bkp", other);
    chmod(file("private.bkp").c_str(), 0600);
    writeOffered("short.bkp", bank.substr(0, 100));
    auto lop = [](const std::string& name, const uint8_t* record, const char* title) {
        std::vector<uint8_t> b = presetfiles::encodeLop(name, record, reinterpret_cast<const uint8_t*>(title));
        return std::string(b.begin(), b.end());
    };
    uint8_t record[12];
    std::memcpy(record, bank.data() + 12 * (seed_ % 8), 12);
    writeOffered("Good.lop", lop("Good", record, "Good one    "));
    writeOffered("linked-lop-target", lop("Linked", record, "Linked      "));
    if (symlink((files_ + "/linked-lop-target").c_str(), file("linked.lop").c_str()) != 0) std::perror("linked.lop");
    record[1] = 250;
    record[2] = 251;
    writeOffered("Wide.lop", lop("Wide", record, "Wide        "));
    // Stored, it would make every later backup of the pedal one that no restore takes.
    std::memcpy(record, bank.data() + 12 * (seed_ % 8), 12);
    writeOffered("Bell.lop", lop("Bell", record, "Bell\a       "));
    writeOffered("update.fdt", firmwarePackage());
    writeOffered("notes.txt", licenceText());

    openWindow();
    return true;
}

void Session::writeOffered(const std::string& name, const std::string& bytes) {
    gui::TestEnvironment::writeFile(file(name), bytes);
}

testpedal::VirtualPedal* Session::bySerial(const std::string& serial) const {
    for (int i = 0; i < 2; ++i)
        if (pedal(i) && pedal(i)->serial() == serial) return pedal(i);
    return nullptr;
}

Truth Session::truth() const {
    Truth t;
    for (int i = 0; i < 2; ++i)
        if (pedals_[i]) t.pedals[pedals_[i]->serial()] = readPedal(*pedals_[i]);
    t.files = readFolders({files_, presetfiles::presetFolder(env_->home)});
    return t;
}

void Session::quiet() const {
    for (int i = 0; i < 2; ++i) {
        if (!pedal(i)) continue;
        size_t seen = pedal(i)->commands().size();
        for (int round = 0; round < 25; ++round) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            size_t now = pedal(i)->commands().size();
            if (now == seen && round > 0) break;
            seen = now;
        }
    }
}

std::string Session::composedBank(const std::string& bank) const {
    if (bank.size() != 192) return std::string();
    std::string out;
    for (int i = 0; i < 8; ++i) {
        std::string params, image;
        composer_.compose(reinterpret_cast<const uint8_t*>(bank.data()) + 12 * i, params, image);
        out += params;
    }
    return out + bank.substr(96);
}

Failure Session::run(const std::vector<Action>& actions, bool keepGoing) {
    static Watchdog watchdog;
    for (size_t i = 0; i < actions.size(); ++i) {
        const Action& x = actions[i];
        std::string words = "soak: seed " + std::to_string(seed_) + ", action " + std::to_string(i + 1) + " of " +
                            std::to_string(actions.size()) + ": " + describe(x) + "\nsoak: the actions:\n";
        for (size_t j = 0; j <= i; ++j) words += "  " + describe(actions[j]) + "\n";
        std::snprintf(lastWords, sizeof lastWords, "%s", words.c_str());
        if (verbose_) std::fprintf(stderr, "soak: %zu %s\n", i + 1, describe(x).c_str());

        Step step;
        step.action = x;
        step.target = window_->usb()->serialNumber[0];
        Truth before = truth();
        size_t logBefore = gui::logLines(window_.get()).size(), dialogsBefore = dialogs_->entries.size();
        const bool configWasShown = window_->gloConPrompt()->visible();
        watchdog.arm(actionLimitSeconds);
        perform(x, step);
        gui::settle();
        watchdog.disarm();
        dialogs_->choiceAnswers.clear();
        dialogs_->chooserAnswers.clear();
        dialogs_->popupPicks.clear();
        if (!window_) return Failure();
        quiet();

        if (!step.cli) {
            std::vector<std::string> lines = gui::logLines(window_.get());
            for (size_t j = std::min(logBefore, lines.size()); j < lines.size(); ++j) step.said += lines[j] + "\n";
            for (size_t j = dialogsBefore; j < dialogs_->entries.size(); ++j)
                if (dialogs_->entries[j].kind == gui::RecordingDialogs::Alert ||
                    dialogs_->entries[j].kind == gui::RecordingDialogs::Message)
                    step.said += dialogs_->entries[j].text + "\n";
        }
        if (x.op == Op::SelectConfirm) step.target = window_->usb()->serialNumber[0];
        Orvella& w = *window_;
        step.window = true;
        step.dashParams = str(w.dashboard()->params(), 12);
        step.shownTitle = std::string(w.transportPanel()->title, 12);
        for (Fl_Widget* prompt : std::initializer_list<Fl_Widget*>{w.presetPrompt(), w.updatePrompt(), w.gloConPrompt(),
                                                                  w.devSelPrompt(), w.calibratePrompt()})
            step.promptsShown += prompt->visible() ? 1 : 0;
        step.dashboardActive = w.dashboard()->active();
        // The prompt's choices are the pedal's byte only as the click that opened
        // it read them: once shown they are the user's, and another program may
        // change the pedal under them. Its own note counts as said.
        if (x.op == Op::OpenConfig && !configWasShown && w.gloConPrompt()->visible()) {
            if (w.gloConPrompt()->messageBox->label()) step.said += std::string(w.gloConPrompt()->messageBox->label()) + "\n";
            step.configShown = (w.gloConPrompt()->leftKnobChoice->value() << 6) |
                               (w.gloConPrompt()->rightKnobChoice->value() << 4) | w.gloConPrompt()->midiChannelChoice->value();
        }
        Fl_Choice* choice = w.presetPanel()->presetChoice;
        if (x.op == Op::ImportLocal || x.op == Op::ChooseLocal)
            step.accepted = choice->value() >= 0 && choice->text() && step.file.size() &&
                            std::string(choice->text()) == step.file;

        Truth after = truth();
        if (verbose_ && !step.said.empty())
            std::fprintf(stderr, "soak:   said%s: %s", step.cli ? (" (exit " + std::to_string(step.exitCode) + ")").c_str() : "",
                         step.said.c_str());
        step.unsettled = unsettled_;
        Verdict v = check(step, before, after, composer_);
        settle(step, unsettled_);
        ++figures_.actions;
        figures_.claims += v.claims;
        if (injectsFault(x)) ++figures_.faults;
        if (!v.violations.empty()) {
            figures_.violations += static_cast<long>(v.violations.size());
            if (!onlyRule_.empty()) {       // chasing one rule: the others are passed over
                for (const std::string& text : v.violations)
                    if (text.compare(0, onlyRule_.size() + 1, onlyRule_ + ":") == 0) {
                        Failure f;
                        f.index = static_cast<int>(i);
                        f.violation = text;
                        return f;
                    }
                continue;
            }
            if (keepGoing) {
                for (const std::string& text : v.violations)
                    std::printf("soak: seed %u action %zu (%s): %s\n", seed_, i + 1, describe(x).c_str(),
                                text.substr(0, 300).c_str());
                std::fflush(stdout);
                continue;
            }
            Failure f;
            f.index = static_cast<int>(i);
            f.violation = v.violations.front();
            return f;
        }
    }
    return Failure();
}

void Session::perform(const Action& x, Step& step) {
    if (x.op >= Op::CliWrite && x.op <= Op::CliStdio) return cli(x, step);
    if (x.op >= Op::Fault) return world(x, step);
    // The pedal loses power half-way through now and then.
    testpedal::VirtualPedal* victim = x.killAfterMs ? bySerial(step.target) : nullptr;
    std::thread killer;
    if (victim) killer = std::thread([victim, x] {
        std::this_thread::sleep_for(std::chrono::milliseconds(x.killAfterMs));
        victim->crash();
    });
    gui(x, step);
    if (killer.joinable()) {
        killer.join();
        std::string error;
        victim->start(&error);      // power comes back, with what the pedal had saved
    }
}

Failure runSession(uint32_t seed, const std::vector<Action>& actions, Figures& figures, bool verbose,
                   bool keepGoing, const std::string& onlyRule) {
    static bool handlersSet = false;
    if (!handlersSet) {
        for (int sig : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL}) {
            struct sigaction mine;
            std::memset(&mine, 0, sizeof mine);
            mine.sa_handler = sayLastWords;
            sigaction(sig, &mine, &previousHandlers[sig]);
        }
        handlersSet = true;
    }
    ++figures.sessions;
    Session session(seed, figures, verbose, onlyRule);
    std::string error;
    if (!session.setUp(error)) {
        Failure f;
        f.index = 0;
        f.violation = "set-up: " + error;
        return f;
    }
    return session.run(actions, keepGoing);
}

std::vector<Action> shrink(std::vector<Action> actions, const std::function<bool(const std::vector<Action>&)>& fails,
                           int budget) {
    for (size_t chunk = actions.size() / 2; chunk >= 1 && budget > 0; chunk /= 2) {
        for (size_t start = 0; start + chunk <= actions.size() && budget > 0;) {
            std::vector<Action> fewer(actions.begin(), actions.begin() + static_cast<long>(start));
            fewer.insert(fewer.end(), actions.begin() + static_cast<long>(start + chunk), actions.end());
            --budget;
            if (!fewer.empty() && fails(fewer))
                actions = fewer;
            else
                start += chunk;
        }
        if (chunk == 1) break;
    }
    return actions;
}

std::string soakSeed(uint32_t seed, int actionCount, Figures& figures, int shrinkBudget, bool verbose,
                     const std::string& onlyRule) {
    std::vector<Action> actions = generate(seed, actionCount);
    Failure first = runSession(seed, actions, figures, verbose, false, onlyRule);
    if (!first) return std::string();
    // Everything after the violating action is irrelevant; the rest is shrunk
    // while the same rule still breaks.
    actions.resize(static_cast<size_t>(first.index) + 1);
    Figures scratch;
    std::vector<Action> shortest = shrink(actions, [&](const std::vector<Action>& list) {
        Failure f = runSession(seed, list, scratch, false, false, onlyRule);
        return f && f.rule() == first.rule() && f.index + 1 == static_cast<int>(list.size());
    }, shrinkBudget);
    std::string report = "soak: VIOLATION seed " + std::to_string(seed) + " after action " +
                         std::to_string(first.index + 1) + ": " + first.violation + "\nsoak: shortest action list (" +
                         std::to_string(shortest.size()) + " of " + std::to_string(first.index + 1) + "):\n";
    for (const Action& x : shortest) report += "  " + describe(x) + "\n";
    return report;
}

}  // namespace soak
