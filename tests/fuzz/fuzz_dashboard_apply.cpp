// The Dashboard's Apply (every control's handler in turn) against the sound
// model's: for any sequence of 12-byte blocks both end with the same block and
// the same image after each, and every byte of the block is in its range.
// The Dashboard is a toolkit widget, so this target runs with a display.
#include "tests/fuzz/FuzzSupport.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include <cstring>

#include "editor/OV_Parameters.h"
#include "sound/Params.h"
#include "sound/SoundModel.h"
#include "sound/Speakers.h"

using namespace sound;

namespace {

struct Pair {
    Fl_Double_Window window{830, 600};
    OV_Parameters* dash;
    SoundModel model{ORVELLA_BIN_DIR};
    Pair() {
        // Apply prints the volume bytes it sets: not wanted a million times.
        if (!std::freopen("/dev/null", "w", stdout)) std::abort();
        dash = new OV_Parameters(5, 62, 820, 433, nullptr, ORVELLA_BIN_DIR, ORVELLA_IMG_DIR);
        window.end();
        window.show();
        Fl::check();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Pair* pair = new Pair;   // built once: the window lives as long as the process
    FUZZ_CHECK(pair->dash->coreFilesOk && pair->model.coreFilesOk());
    for (size_t at = 0; at + ParamCount <= size; at += ParamCount) {
        const uint8_t* block = data + at;
        pair->dash->apply(block);
        pair->model.apply(block);
        const uint8_t* p = pair->dash->params();
        FUZZ_CHECK(std::memcmp(p, pair->model.params(), ParamCount) == 0);
        FUZZ_CHECK(std::memcmp(pair->dash->image(), pair->model.image(), 512) == 0);
        for (int i = 1; i < ParamCount; ++i) FUZZ_CHECK(p[i] <= paramMax(i, p[Flags]));
        FUZZ_CHECK(isSelectableSpeaker(p[Speaker_L]) && isSelectableSpeaker(p[Speaker_R]));
    }
    return 0;
}
