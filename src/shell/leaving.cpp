// The one way out of the program: Quit (button, Menu), the window's close
// button or the window manager's close, and the end of the desktop session
// (SIGTERM, SIGHUP, SIGINT) all come to Orvella::quit().
#include <FL/Fl.H>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "base/dialogs.h"
#include "base/files.h"
#include "base/platform.h"
#include "context/exchange_guard.h"
#include "shell/main_window.h"
#include "shell/quit.h"

namespace {

Orvella* watchedWindow = nullptr;
volatile std::sig_atomic_t endRequested = 0;
const int endSignals[] = {
    SIGINT, SIGTERM,
#ifdef SIGHUP
    SIGHUP,
#endif
};

// A second signal, or one the loop cannot be told of: the temporary file of
// a BACKUP or a save goes, then the signal takes its course.
extern "C" void removeTemporariesAndEnd(int signal) {
    files::removeTemporaryFiles();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// The read end of the signal pipe the loop watches, -1 without one.
int wakeFd = -1;

// The first signal only wakes the loop, which leaves the program the one way.
extern "C" void sessionEnds(int signal) {
    if (endRequested) removeTemporariesAndEnd(signal);
    endRequested = 1;
    if (!platform::writeSignalPipe()) removeTemporariesAndEnd(signal);
}

void sessionEnd_cb(FL_SOCKET, void*) {
    platform::drainSignalPipe();
    if (watchedWindow) watchedWindow->quit(Orvella::Leaving::SessionEnd);
}

}  // namespace

void Orvella::watchSessionEnd(bool on) {
    if (on && !watchedWindow) {
        watchedWindow = this;
        endRequested = 0;
        // Without a pipe (Windows has none the loop can watch) a signal
        // ends the program at once.
        wakeFd = platform::openSignalPipe();
        if (wakeFd >= 0) {
            Fl::add_fd(wakeFd, FL_READ, sessionEnd_cb);
            for (int signal : endSignals) std::signal(signal, sessionEnds);
            return;
        }
        for (int signal : endSignals) std::signal(signal, removeTemporariesAndEnd);
    } else if (!on && watchedWindow == this) {
        for (int signal : endSignals) std::signal(signal, removeTemporariesAndEnd);
        watchedWindow = nullptr;
        if (wakeFd >= 0) {
            Fl::remove_fd(wakeFd);
            platform::closeSignalPipe();
            wakeFd = -1;
        }
    }
}

void Orvella::quit(Leaving how) {
    int error = 0;
    if (!edits_.keepLastDashboard(&error)) {
        // Honest about what the next start finds: the file kept before, if any.
        std::string path = EditSession::lastDashboardPath();
        struct stat st;
        const bool older = stat(path.c_str(), &st) == 0;
        char text[512];
        std::snprintf(text, sizeof text, "The Dashboard could not be kept in %s (%s).\n\n%s", platform::shownPath(path).c_str(),
                      std::strerror(error ? error : EIO),
                      older ? "The next start offers the Dashboard kept before." :
                              "The next start offers no Dashboard to go back to.");
        std::fprintf(stderr, "orvella: %s\n", text);
        // Nobody is left to answer an alert at the end of the session.
        if (how != Leaving::SessionEnd) {
            dialogs::alert("%s", files::doubleAtSigns(text).c_str());
        }
    }
    // An exchange with the pedal ends first: the window goes, and the loop
    // ends when the exchange has.
    if (ExchangeGuard::running()) {
        hide();
        return;
    }
    quitProgram();
}
