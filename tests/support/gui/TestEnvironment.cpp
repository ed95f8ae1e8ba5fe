#include "tests/support/gui/TestEnvironment.h"

#include <FL/Fl.H>
#include <FL/x.H>

#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "shell/main_window.h"
#include "shell/program.h"
#include "shell/quit.h"

namespace gui {
namespace {

int quitCount = 0;
void countQuit() { ++quitCount; }

int removeEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

void makeDir(const std::string& path) {
    if (mkdir(path.c_str(), 0755) != 0) throw std::runtime_error("cannot create " + path);
}

}  // namespace

void openDisplay() {
    if (fl_display || !getenv("DISPLAY")) return;   // without DISPLAY the toolkit reports it
    // A connection the busy server drops fails the open instead of ending the program.
    signal(SIGPIPE, SIG_IGN);
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (Display* display = XOpenDisplay(nullptr)) {
            fl_open_display(display);
            return;
        }
        usleep(50 * 1000);
    }
}

std::string TestEnvironment::sourceDir() { return ORVELLA_SOURCE_DIR; }

TestEnvironment::TestEnvironment(const std::string& binFolder) {
    char pattern[] = "/tmp/orvella-test-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("cannot create a temporary folder");
    root = pattern;
    home = root + "/home";
    desktop = home + "/Desktop";
    work = root + "/work";
    pedals = root + "/pedals";
    makeDir(home);
    makeDir(desktop);
    makeDir(work);
    makeDir(pedals);
    std::string bin = binFolder.empty() ? sourceDir() + "/data/bin" : binFolder;
    if (symlink(bin.c_str(), (work + "/bin").c_str()) != 0 ||
        symlink((sourceDir() + "/data/img").c_str(), (work + "/img").c_str()) != 0)
        throw std::runtime_error("cannot link the data folders");

    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) savedCwd = cwd;
    if (chdir(work.c_str()) != 0) throw std::runtime_error("cannot enter " + work);
    setEnv("HOMEDRIVE", home);
    setEnv("USERPROFILE", home);
    setEnv("ORVELLA_PEDAL_DIR", pedals);
    // A real pedal plugged into the machine stays out of the tests' way (and
    // its presets out of their reach): only virtual pedals are listed.
    setEnv("ORVELLA_VIRTUAL_ONLY", "1");
    quitCount = 0;
    setQuitHook(countQuit);
    openDisplay();
}

TestEnvironment::~TestEnvironment() {
    setQuitHook(nullptr);
    for (auto it = savedEnv.rbegin(); it != savedEnv.rend(); ++it) {
        if (it->set)
            setenv(it->name.c_str(), it->value.c_str(), 1);
        else
            unsetenv(it->name.c_str());
    }
    if (!savedCwd.empty() && chdir(savedCwd.c_str()) != 0) perror("chdir");
    // Make everything removable again (a test may have taken permissions away).
    chmod(desktop.c_str(), 0755);
    chmod(home.c_str(), 0755);
    nftw(root.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void TestEnvironment::setEnv(const char* name, const std::string& value) {
    const char* old = getenv(name);
    savedEnv.push_back({name, old ? old : "", old != nullptr});
    setenv(name, value.c_str(), 1);
}

std::unique_ptr<Orvella> TestEnvironment::openWindow() {
    std::unique_ptr<Orvella> window = openMainWindow(false);
    Fl::check();
    return window;
}

int TestEnvironment::quitRequests() const { return quitCount; }

std::string TestEnvironment::readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool TestEnvironment::writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<std::string> TestEnvironment::listFolder(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (struct dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            struct stat info;
            if (stat((folder + "/" + name).c_str(), &info) == 0 && S_ISREG(info.st_mode))
                names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace gui
