// The window's back buffer is read (Fl_X, hence FL_INTERNALS before any
// toolkit header), so nothing lying over the window on the display matters.
#define FL_INTERNALS
#include "tools/guide/WindowShots.h"

#include <FL/Fl.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Toggle_Button.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "editor/OV_Parameters.h"
#include "link/OV_UsbController.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_PresetPrompt.h"
#include "reference/OV_UserGuide.h"
#include "shell/main_window.h"
#include "shell/status_log.h"
#include "base/dialogs.h"

namespace guide {

namespace {

// Nothing may wait for a person while the pictures are taken.
class SilentDialogs : public dialogs::Handler {
public:
    void alert(const std::string& text) override { std::fprintf(stderr, "(alert) %s\n", text.c_str()); }
    void message(const std::string&) override {}
    int choice(const std::string&, const char*, const char*, const char*) override { return 0; }
    int chooseFiles(const dialogs::ChooserRequest&, std::vector<std::string>&) override { return 1; }
    const Fl_Menu_Item* popup(const Fl_Menu_Item*, int, int) override { return nullptr; }
};

// A private home, desktop, pedal folder and working directory; removed at the end.
struct Scene {
    std::string root, home, work, pedals;
    pid_t pedal = -1;

    bool make(const std::string& repo, std::string& error) {
        char pattern[] = "/tmp/orvella-guide-XXXXXX";
        if (!mkdtemp(pattern)) return error = "cannot make a temporary folder", false;
        root = pattern;
        home = root + "/home";
        work = root + "/work";
        pedals = root + "/pedals";
        for (const std::string& d : {home, home + "/Desktop", work, pedals}) mkdir(d.c_str(), 0700);
        if (symlink((repo + "/data/bin").c_str(), (work + "/bin").c_str()) != 0 ||
            symlink((repo + "/data/img").c_str(), (work + "/img").c_str()) != 0)
            return error = "cannot link the data folders", false;
        setenv("HOMEDRIVE", home.c_str(), 1);
        setenv("USERPROFILE", home.c_str(), 1);
        setenv("ORVELLA_PEDAL_DIR", pedals.c_str(), 1);
        setenv("ORVELLA_VIRTUAL_ONLY", "1", 1);
        if (chdir(work.c_str()) != 0) return error = "cannot enter " + work, false;
        return true;
    }

    // Starts the virtual pedal with the factory presets and waits until it
    // has registered itself.
    bool startPedal(const std::string& program, const std::string& repo, std::string& error) {
        pedal = fork();
        if (pedal < 0) return error = "cannot start the virtual pedal", false;
        if (pedal == 0) {
            if (!std::freopen("/dev/null", "w", stdout)) _exit(126);
            std::string factory = repo + "/data/bin/factoryset.fap";
            execl(program.c_str(), program.c_str(), "--serial", "VP000001", "--factory", factory.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        std::string registration = pedals + "/VP000001.pedal";
        for (int i = 0; i < 400; ++i) {
            struct stat st;
            if (stat(registration.c_str(), &st) == 0) return true;
            int status;
            if (waitpid(pedal, &status, WNOHANG) == pedal) {
                pedal = -1;
                return error = "the virtual pedal " + program + " did not start", false;
            }
            usleep(25 * 1000);
        }
        return error = "the virtual pedal did not register itself", false;
    }

    ~Scene() {
        if (pedal > 0) {
            kill(pedal, SIGTERM);
            waitpid(pedal, nullptr, 0);
        }
        if (!root.empty()) {
            if (chdir("/") != 0) return;
            std::string command = "rm -rf '" + root + "'";
            if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", root.c_str());
        }
    }
};

// Replaces the status log with lines stamped at a fixed time, so the
// pictures do not change with the clock.
void setLog(Orvella& window, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "[20:14:05] :  " + line + "\n";
    window.statusLog()->textBuffer->text(text.c_str());
    window.statusLog()->scroll(1, 0);
}

Shot capture(Orvella& window) {
    window.wait_for_expose();
    window.redraw();
    Fl::flush();
    window.make_current();
    Window front = fl_window;
    if (Fl_X::i(&window)->other_xid) fl_window = Fl_X::i(&window)->other_xid;
    uchar* data = fl_read_image(nullptr, 0, 0, window.w(), window.h());
    fl_window = front;
    Shot shot;
    shot.w = window.w();
    shot.h = window.h();
    shot.rgb.assign(data, data + shot.w * shot.h * 3);
    delete[] data;
    return shot;
}

void settle() {
    for (int i = 0; i < 20; ++i) Fl::check();
}

const std::vector<std::string> readyLines = {
    "Connecting ...",
    "Initialization OK - Firmware : v2.1.",
    "Ready.",
};

}  // namespace

bool takeShots(const std::string& repo, const std::string& pedalProgram, std::map<std::string, Shot>& shots,
               std::string& error) {
    Scene scene;
    if (!scene.make(repo, error)) return false;
    SilentDialogs silent;
    dialogs::setHandler(&silent);
    {
        // No pedal: what a first start without the cable looks like.
        auto window = std::make_unique<Orvella>(830, 600, "Kestrova - Orvella 2.0.8");
        settle();
        setLog(*window, {"Connecting ...", "Pedal is not found.",
                         "> Connect your pedal to a USB port then click 'Connect'."});
        shots["offline"] = capture(*window);
        window->hide();
    }
    if (!scene.startPedal(pedalProgram, repo, error)) {
        dialogs::setHandler(nullptr);
        return false;
    }
    auto window = std::make_unique<Orvella>(830, 600, "Kestrova - Orvella 2.0.8");
    settle();
    OV_Parameters& dash = *window->dashboard();
    setLog(*window, readyLines);
    shots["cabs"] = capture(*window);

    dash.leftSpeakerButton->value(1);
    dash.leftSpeakerButton->do_callback();
    settle();
    setLog(*window, {"Ready.", "parameter change ok.", "parameter change ok."});
    shots["solo"] = capture(*window);
    dash.leftSpeakerButton->value(0);
    dash.leftSpeakerButton->do_callback();

    dash.delayModeChoice->value(1);
    dash.delayModeChoice->do_callback();
    dash.ultraShortCheck->value(1);
    dash.ultraShortCheck->do_callback();
    settle();
    setLog(*window, {"Ready.", "parameter change ok.", "parameter change ok."});
    shots["notcher"] = capture(*window);
    dash.ultraShortCheck->value(0);
    dash.ultraShortCheck->do_callback();
    dash.delayModeChoice->value(0);
    dash.delayModeChoice->do_callback();

    window->presetPanel()->addButton->value(1);
    window->presetPanel()->addButton->do_callback();
    settle();
    setLog(*window, readyLines);
    shots["prompt"] = capture(*window);
    window->presetPrompt()->cancelButton->do_callback();
    settle();

    dash.stereoMicsButton->do_callback();
    settle();
    setLog(*window, {"Ready.", "parameter change ok."});
    shots["mics"] = capture(*window);

    // The guide itself as it shows on its tab, for checking the pages in place.
    window->tabs()->value(window->userGuide());
    window->tabs()->do_callback();
    for (int line : {2, 9, 10, 14, 16, 23, 28, 29, 33}) {
        window->userGuide()->topicList->select(line);
        window->userGuide()->topicPicked();
        settle();
        shots["guide-" + std::to_string(line)] = capture(*window);
    }

    window->hide();
    window.reset();
    dialogs::setHandler(nullptr);
    return true;
}

}  // namespace guide
