#include "shell/startup.h"

#include <cstdlib>

#include "base/files.h"
#include "base/platform.h"
#include "shell/quit.h"

void makeDataFolders(const std::string& homeDrive) {
    std::string maker = homeDrive + "/Kestrova/";
    std::string program = files::dataFolder(homeDrive);
    std::string presets = files::presetFolder(homeDrive);
    if (!platform::folderExists(maker)) {
        platform::makeFolder(maker);
        platform::makeFolder(program);
        platform::makeFolder(presets);
    } else if (!platform::folderExists(program)) {
        platform::makeFolder(program);
        platform::makeFolder(presets);
    } else if (!platform::folderExists(presets)) {
        platform::makeFolder(presets);
    }
}

void makeDataFolders() { makeDataFolders(platform::env("HOMEDRIVE")); }

static QuitHook quitHook = nullptr;

void setQuitHook(QuitHook hook) { quitHook = hook; }

void quitProgram() {
    if (quitHook) {
        quitHook();
        return;
    }
    std::exit(0);
}
