// The sound model over the editor's data folder, for the commands that
// compose images (write, preview, restore) or run a sound (render, ir).
#pragma once

#include <memory>

#include "cli/session.h"
#include "sound/SoundEngine.h"

namespace cli {

struct Composer {
    std::unique_ptr<SoundEngine> engine;
};

// Loads the engine from --data DIR, else from the first of the editor's
// data folder candidates whose "bin" holds every core file; refused with
// the folders looked at, or with the damage found.
int loadEngine(Session& s, Composer& c);

}  // namespace cli
