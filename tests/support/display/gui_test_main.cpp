#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/x.H>

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
    bool listing = ::testing::GTEST_FLAG(list_tests);
    if (!listing) openDisplayPatiently();
    return RUN_ALL_TESTS();
}
