#include "Session.h"

// Before any X11 header, whose macros (BadName, ...) clash with its names.
#include "presets/PresetFiles.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <FL/Fl_Choice.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Menu_.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Toggle_Button.H>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "Oracle.h"
#include "TestPedal.h"
#include "Truth.h"
#include "editor/OV_Parameters.h"
#include "editor/TextInput.h"
#include "gui/Events.h"
#include "gui/RecordingDialogs.h"
#include "gui/StatusLog.h"
#include "gui/TestEnvironment.h"
#include "link/OV_UsbController.h"
#include "maintenance/OV_CalibratePrompt.h"
#include "maintenance/OV_GloConPrompt.h"
#include "maintenance/OV_UpdatePrompt.h"
#include "presets/OV_PresetPanel.h"
#include "reference/OV_ToneChart.h"
#include "editor/ScrollBox.h"
#include "presets/OV_PresetPrompt.h"
#include "presets/OV_TransportPanel.h"
#include "presets/PresetFiles.h"
#include "shell/OV_DevSelPrompt.h"
#include "shell/Orvella.h"
#include "sound/SoundEngine.h"

// The offered firmware package: version 'Z', one note line, 640 payload bytes.
static std::string firmwarePackage() {
    return "Z\n1\nSoak test release\n" + std::string(640, '\x5A');
}

namespace soak {

namespace {

const std::string dataDir = ORVELLA_DATA_DIR;
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

std::string fromFile(const std::string& path) { return gui::TestEnvironment::readFile(path); }
std::string str(const uint8_t* p, size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }

std::string licenceText() {
    std::string t = "GNU GENERAL PUBLIC LICENSE\nVersion 3, 29 June 2007\n\n";
    for (int i = 0; i < 40; ++i) t += "Everyone is permitted to copy and distribute verbatim copies of this licence.\n";
    return t;
}

// Whether a record lies in the ranges a pedal holds: the backup's check on a bank of its copies.
// An offered .lop: whether it holds a preset a pedal holds (record and title).
bool decodeOffered(const std::string& bytes, presetfiles::LocalPreset& lop) {
    const std::vector<uint8_t> b(bytes.begin(), bytes.end());
    presetfiles::lopName(b, lop.name);
    return presetfiles::decodeLop(b, lop) == presetfiles::LopStatus::Ok;
}

struct CliRun {
    int code = -1;
    bool killedHard = false;
    std::string said;
};

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
    void perform(const Action& x, Step& step);
    void gui(const Action& x, Step& step);
    void cli(const Action& x, Step& step);
    void world(const Action& x, Step& step);
    CliRun runCli(const std::vector<std::string>& args, const Action& x);
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
    std::unique_ptr<SoundEngine> engine_;
    Composer composer_;
    std::string files_, factory_;
    std::map<std::string, unsigned> unsettled_;
};

bool Session::setUp(std::string& error) {
    env_.reset(new gui::TestEnvironment());
    dialogs_.reset(new gui::RecordingDialogs());
    folder_.reset(new testpedal::PedalFolder());
    engine_.reset(new SoundEngine(dataDir + "/bin"));
    composer_.compose = [this](const uint8_t* record, std::string& params, std::string& image) {
        engine_->apply(record);
        params = str(engine_->params(), 12);
        image = str(engine_->image(), 512);
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

void Session::cli(const Action& x, Step& step) {
    step.cli = true;
    testpedal::VirtualPedal* p = x.op == Op::CliFirmware && x.c ? pedal(1) : pedal(0);
    if (!p) p = pedals_[0].get();
    step.target = p->serial();
    PedalState st;
    bool haveState = p->state(st);
    std::vector<std::string> args = {"--pedal", p->serial(), "--data", dataDir, "--quiet"};
    std::vector<std::vector<std::string>> runs;
    switch (x.op) {
    case Op::CliWrite: {
        step.preset = x.a;
        step.file = file(x.text);
        presetfiles::LocalPreset lop;
        step.fileValid = decodeOffered(fromFile(step.file), lop);
        if (step.fileValid) {
            composer_.compose(lop.preset.record(), step.record, step.image);
            step.title = str(lop.preset.title(), 12);
        }
        runs.push_back({"write", std::to_string(x.a + 1), step.file});
        static const char* const titles[] = {"Soak", "Clean", "TwelveChars!", "Café Tone", "x"};
        if (x.b < 5) {
            runs.back().insert(runs.back().end(), {"--title", titles[x.b]});
            // The title as given: one the editor's rule refuses must not be stored as something else.
            step.title = std::string(titles[x.b]).substr(0, 12);
            step.title.resize(12, ' ');
        }
        break;
    }
    case Op::CliBackup:
        step.file = x.text.empty() ? "" : file(x.text);
        runs.push_back({"backup"});
        if (!step.file.empty()) runs.back().push_back(step.file);
        break;
    case Op::CliRestore: case Op::CliPair:
        step.file = file(x.text);
        step.banks = {composedBank(fromFile(step.file))};
        runs.push_back({"restore", step.file});
        if (x.op == Op::CliPair) {
            std::string second = file(x.text == "mine.bkp" ? "other.bkp" : "mine.bkp");
            step.banks.push_back(composedBank(fromFile(second)));
            runs.push_back({"restore", second});
        }
        break;
    case Op::CliExport:
        step.preset = x.a;
        step.file = file(x.text);
        runs.push_back({"export", std::to_string(x.a + 1), step.file});
        break;
    case Op::CliConfig: {
        static const char* const knobs[] = {"mic", "blend", "volume"};
        runs.push_back({"config", "set", "--left", knobs[x.a]});
        if (x.text.empty()) runs.back().insert(runs.back().end(), {"--right", knobs[x.b], "--midi", std::to_string(x.c + 1)});
        uint8_t current = haveState ? st.globalConfig : 0;
        step.config = x.text.empty() ? (x.a << 6) | (x.b << 4) | x.c : (x.a << 6) | (current & 0x3F);
        break;
    }
    case Op::CliStatus: runs.push_back({"status"}); break;
    case Op::CliClosed:
        // The link's lines on standard error, the results on standard output.
        step.preset = x.a;
        runs.push_back({"-v", "read", std::to_string(x.a + 1)});
        if (x.c) runs.back() = {"-v", "export", std::to_string(x.a + 1), "-", "--name", "Soak"};
        break;
    case Op::CliStdio: {
        // The sound's file on standard input, the WAV file to "-" or a file.
        step.file = file(x.text);
        std::string bytes = fromFile(step.file);
        presetfiles::LocalPreset lop;
        const bool backup = x.text.size() > 4 && x.text.compare(x.text.size() - 4, 4, ".bkp") == 0;
        step.fileValid = backup ? bytes.size() == 192
                                : presetfiles::decodeLop({bytes.begin(), bytes.end()}, lop) == presetfiles::LopStatus::Ok;
        runs.push_back({"ir", x.b ? "-" : env_->root + "/ir.wav", backup ? "--backup" : "--lop", "-"});
        if (backup) runs.back().insert(runs.back().end(), {"--index", std::to_string(x.a + 1)});
        break;
    }
    case Op::CliFirmware: {
        step.file = file(x.text);
        std::string bytes = fromFile(step.file);
        // Only the package as offered counts: the old size check (661 of its 662 bytes) failed every install.
        step.fileValid = x.text == "update.fdt" && bytes == firmwarePackage();
        step.config = 0x23;     // 'Z' names version byte 90 - 55
        runs.push_back({"firmware", step.file});
        break;
    }
    default: break;
    }
    for (auto& r : runs) r.insert(r.begin(), args.begin(), args.end());
    std::vector<CliRun> done = runClis(runs, x);
    for (const CliRun& r : done) step.said += r.said;
    if (const char* locks = std::getenv("ORVELLA_LOCK_DIR"))
        for (const auto& lock : readFolders({locks})) step.lockNotes.push_back(lock.second.bytes);
    step.dashFile = access((env_->root + "/work/-").c_str(), F_OK) == 0;
    unlink((env_->root + "/work/-").c_str());
    step.killedHard = done.front().killedHard;
    step.exitCode = done.front().code;
    // A pair succeeds for the oracle when either run says so; its failure text is both runs'.
    if (done.size() > 1 && done[1].code == 0) step.exitCode = 0;
}

std::vector<CliRun> Session::runClis(const std::vector<std::vector<std::string>>& runs, const Action& x) {
    std::vector<pid_t> pids;
    std::vector<std::string> outs;
    for (size_t i = 0; i < runs.size(); ++i) {
        std::string out = env_->root + "/cli-" + std::to_string(i) + ".out";
        outs.push_back(out);
        pid_t pid = fork();
        if (pid == 0) {
            // Not freopen: it would flush this process's buffered output a second time.
            int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd < 0 || dup2(fd, 1) < 0 || dup2(fd, 2) < 0) _exit(127);
            // In a folder of its own, where a file named "-" would show;
            // the sound's file of cli-stdio on standard input; the streams
            // cli-closed closes (and no descriptor they could borrow).
            const std::string work = env_->root + "/work";
            mkdir(work.c_str(), 0755);
            if (chdir(work.c_str()) != 0) _exit(127);
            int in = open(x.op == Op::CliStdio ? file(x.text).c_str() : "/dev/null", O_RDONLY);
            if (in < 0 || dup2(in, 0) < 0) _exit(127);
            for (int closed = 3; closed < 64; ++closed) close(closed);
            if (x.op == Op::CliClosed) {
                if (x.b & 1) close(1);
                if (x.b & 2) close(2);
            }
            std::vector<std::string> a = runs[i];
            a.insert(a.begin(), ORVELLA_CLI_PROGRAM);
            std::vector<char*> argv;
            for (std::string& s : a) argv.push_back(&s[0]);
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        pids.push_back(pid);
    }
    // Children are reaped here only, so a pid signalled is always still ours.
    std::vector<CliRun> done(runs.size());
    std::vector<bool> reaped(runs.size(), false);
    size_t left = pids.size();
    bool signalled = x.killAfterMs == 0;
    const auto start = std::chrono::steady_clock::now();
    while (left > 0) {
        for (size_t i = 0; i < pids.size(); ++i) {
            int st = 0;
            if (reaped[i] || waitpid(pids[i], &st, WNOHANG) != pids[i]) continue;
            reaped[i] = true;
            --left;
            done[i].code = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
            done[i].killedHard = WIFSIGNALED(st) && WTERMSIG(st) == SIGKILL;
        }
        if (!signalled && std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(x.killAfterMs)) {
            if (!reaped[0]) kill(pids[0], x.killSignal);
            signalled = true;
        }
        if (left > 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (size_t i = 0; i < outs.size(); ++i) done[i].said = fromFile(outs[i]);
    return done;
}

void Session::world(const Action& x, Step&) {
    testpedal::VirtualPedal* p = pedal(x.c) ? pedal(x.c) : pedal(0);
    switch (x.op) {
    case Op::Fault:
        if (p) p->setFaults(x.text.empty() ? std::vector<std::string>{} : std::vector<std::string>{x.text});
        break;
    case Op::Unplug: if (p) p->unplug(); break;
    case Op::Replug:
        if (p) {
            p->setFaults({});
            p->plugIn();
        }
        break;
    case Op::KillPedal:
        if (p) {
            std::string error;
            p->crash();
            p->start(&error);
        }
        break;
    case Op::Corrupt: {
        std::string path = file(x.text), bytes = fromFile(path);
        if (x.a % 3 == 0) bytes.resize(std::min(bytes.size(), static_cast<size_t>(x.a % 150)));
        else if (x.a % 3 == 1 && !bytes.empty()) bytes[x.a % bytes.size()] ^= 0x5A;
        else bytes = licenceText();
        gui::TestEnvironment::writeFile(path, bytes);   // through a link, to its target, as an editor would
        break;
    }
    case Op::SecondPedal:
        if (!pedals_[1]) {
            testpedal::PedalOptions b;
            b.serial = "SOAKB02";
            b.factory = factory_;
            b.updateMode = x.b == 1;
            pedals_[1].reset(new testpedal::VirtualPedal(*folder_, b));
            std::string error;
            pedals_[1]->start(&error);
        }
        break;
    default: break;
    }
}

}  // namespace

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
