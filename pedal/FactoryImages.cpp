#include "pedal/FactoryImages.h"

#include <cstring>

#include "sound/SoundModel.h"

bool composeFactoryImages(PedalState& state, const std::string& binDir, std::string& error) {
    SoundModel model(binDir);
    if (!model.coreFilesOk()) {
        error = "the core files in " + binDir + " are missing or short";
        return false;
    }
    for (PedalPreset& preset : state.presets) {
        model.apply(preset.params);
        std::memcpy(preset.image, model.image(), 512);
    }
    std::memcpy(state.playing, state.presets[0].image, 512);
    return true;
}

std::string folderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}
