// How long the main window takes to show, from the start of a fresh process,
// with the picture folder and without it (no picture decoded), and the ratio
// of the two. Each run is its own process: the benchmark starts itself with
// "--child with|without"; the child builds the real window in a private
// setting with no pedal attached and prints the monotonic clock at the first
// Fl::check() that finds the window shown (the constructor runs one right
// after show()). The parent took the clock just before starting it.
//
//   xvfb-run -a build/bench/startup/startup_bench [runs]
// Goals: shown in under 0.5 s; the pictures add under 30 %.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include "tests/support/gui/RecordingDialogs.h"
#include "tests/support/gui/TestEnvironment.h"
#include "shell/main_window.h"

extern char** environ;

namespace {

double now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

double shownAt = 0;

// Runs at every Fl::check(): notes the first moment a window is shown.
void noteShown(void*) {
    if (shownAt == 0 && Fl::first_window() && Fl::first_window()->shown()) shownAt = now();
}

int child(bool pictures) {
    gui::TestEnvironment env;
    gui::RecordingDialogs dialogs;
    if (!pictures) unlink((env.work + "/img").c_str());
    gui::openDisplay();
    Fl::add_check(noteShown);
    std::unique_ptr<Orvella> window = env.openWindow();
    if (shownAt == 0) return 1;
    std::printf("%.6f\n", shownAt);
    std::fflush(stdout);
    return 0;
}

// Seconds from spawning a child until its window was shown; < 0 on failure.
double run(const char* self, bool pictures) {
    int out[2];
    if (pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const char* argv[] = {self, "--child", pictures ? "with" : "without", nullptr};
    pid_t pid;
    const double start = now();
    int rc = posix_spawn(&pid, self, &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
        close(out[0]);
        return -1;
    }
    std::string text;
    char buf[128];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0) text.append(buf, size_t(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    double shown = 0;
    // The child's last line is the time stamp; the link may print before it.
    size_t last = text.find_last_of('\n', text.size() > 1 ? text.size() - 2 : 0);
    const char* stamp = text.c_str() + (last == std::string::npos ? 0 : last + 1);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || std::sscanf(stamp, "%lf", &shown) != 1) return -1;
    return shown - start;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0) return child(std::strcmp(argv[2], "with") == 0);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    char self[4096];
    ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
    if (len <= 0) return 1;
    self[len] = '\0';

    std::vector<double> with, without;
    run(self, true);    // warms the file cache and the display
    for (int i = 0; i < runs; ++i) {
        double a = run(self, false), b = run(self, true);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "a start-up run failed\n");
            return 1;
        }
        without.push_back(a);
        with.push_back(b);
    }
    const double w = median(with), wo = median(without);
    std::printf("window shown, median of %d runs: %.3f s with pictures, %.3f s without\n", runs, w, wo);
    std::printf("ratio with/without: %.3f (goal: under 0.5 s and below 1.30)\n", w / wo);
    return (w < 0.5 && w / wo < 1.3) ? 0 : 2;
}
