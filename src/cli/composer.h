// The sound model over the editor's data folder, for the commands that
// compose images (write, preview, restore) or run a sound (render, ir).
#pragma once

#include <memory>

#include "cli/session.h"
#include "sound/SoundModel.h"

namespace cli {

struct Composer {
    std::unique_ptr<SoundModel> model;
};

// Loads the model from --data DIR, else from the first of the editor's
// data folder candidates whose "bin" holds every core file; refused with
// the folders looked at, or with the damage found.
int loadSoundModel(Session& s, Composer& c);

}  // namespace cli
