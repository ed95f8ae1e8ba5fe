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

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "base/dialogs.h"
#include "base/files.h"
#include "base/platform.h"
#include "context/exchange_guard.h"
#include "shell/Orvella.h"
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

#ifndef _WIN32
int wakePipe[2] = {-1, -1};

// The first signal only wakes the loop, which leaves the program the one way.
extern "C" void sessionEnds(int signal) {
    if (endRequested || wakePipe[1] < 0) removeTemporariesAndEnd(signal);
    endRequested = 1;
    char byte = 1;
    ssize_t written = write(wakePipe[1], &byte, 1);
    (void)written;
}

void sessionEnd_cb(FL_SOCKET fd, void*) {
    char byte;
    while (read(fd, &byte, 1) > 0) {
    }
    if (watchedWindow) watchedWindow->quit(Orvella::Leaving::SessionEnd);
}
#endif

}  // namespace

void Orvella::watchSessionEnd(bool on) {
    if (on && !watchedWindow) {
        watchedWindow = this;
        endRequested = 0;
#ifndef _WIN32
        if (pipe(wakePipe) == 0) {
            for (int fd : wakePipe) {
                fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
                fcntl(fd, F_SETFD, FD_CLOEXEC);
            }
            Fl::add_fd(wakePipe[0], FL_READ, sessionEnd_cb);
            for (int signal : endSignals) std::signal(signal, sessionEnds);
            return;
        }
        wakePipe[0] = wakePipe[1] = -1;
#endif
        for (int signal : endSignals) std::signal(signal, removeTemporariesAndEnd);
    } else if (!on && watchedWindow == this) {
        for (int signal : endSignals) std::signal(signal, removeTemporariesAndEnd);
        watchedWindow = nullptr;
#ifndef _WIN32
        if (wakePipe[0] >= 0) {
            Fl::remove_fd(wakePipe[0]);
            close(wakePipe[0]);
            close(wakePipe[1]);
            wakePipe[0] = wakePipe[1] = -1;
        }
#endif
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
