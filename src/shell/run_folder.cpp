#include "shell/run_folder.h"

#include "base/platform.h"
#include "sound/CoreFiles.h"

namespace runfolder {

namespace {

std::vector<std::string> triedFolders;

}  // namespace

std::string use() {
    std::string here = platform::currentFolder();
    triedFolders = datafolder::candidates();
    for (const std::string& folder : triedFolders) {
        if (!holdsCoreFiles(folder)) continue;
        if (folder == triedFolders.front()) return folder;
        for (const char* name : {"HOMEDRIVE", "USERPROFILE", "LOCALAPPDATA", "ORVELLA_PEDAL_DIR"}) {
            std::string value = platform::envSet(name) ? platform::env(name) : std::string();
            if (!value.empty() && value[0] != '/' && !here.empty()) platform::setEnv(name, here + "/" + value);
        }
        if (platform::changeFolder(folder)) return folder;
    }
    return std::string();
}

std::vector<std::string> searched() {
    if (!triedFolders.empty()) return triedFolders;
    std::string here = platform::currentFolder();
    return {here.empty() ? std::string(".") : here};
}

}  // namespace runfolder
