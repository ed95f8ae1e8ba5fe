#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/x.H>

#include <csignal>
#include <cstdlib>
#include <unistd.h>

namespace {

// Without DISPLAY (listing the tests at build time) nothing is opened; the
// toolkit reports the problem if a test needs a display after all.
void openDisplayPatiently() {
    if (fl_display || !std::getenv("DISPLAY")) return;
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (Display* display = XOpenDisplay(nullptr)) {
            fl_open_display(display);
            return;
        }
        usleep(50 * 1000);
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // A busy X server may accept a connection and drop it at once: the
    // connection set-up then writes to a closed socket. Ignored, SIGPIPE
    // turns that into a failed open, which is tried again, instead of
    // ending the test program (and any other write to a closed pipe or
    // socket fails with EPIPE, reported by the code that made it).
    std::signal(SIGPIPE, SIG_IGN);
    bool listing = ::testing::GTEST_FLAG(list_tests);
    if (!listing) openDisplayPatiently();
    return RUN_ALL_TESTS();
}
