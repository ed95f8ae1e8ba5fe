#include "cli/composer.h"

#include <string>
#include <vector>

#include "base/data_folder.h"
#include "base/platform.h"
#include "sound/CoreFiles.h"

using namespace sound;

namespace cli {

namespace {

// The folder whose "bin" holds every core file: `given` when not empty (""
// when it holds them not), else the first of the editor's candidates that
// does. `tried` lists the "bin" folders looked at.
std::string dataFolder(const std::string& given, std::string& tried) {
    std::vector<std::string> folders = given.empty() ? datafolder::candidates() : std::vector<std::string>{given};
    tried.clear();
    for (const std::string& folder : folders) {
        if (holdsCoreFiles(folder)) return folder;
        tried += (tried.empty() ? "" : ", ") + platform::shownPath(folder + "/bin");
    }
    return std::string();
}

}  // namespace

int loadSoundModel(Session& s, Composer& c) {
    std::string tried;
    std::string folder = dataFolder(s.o.data, tried);
    if (folder.empty())
        return s.fail(ExitFile, "the editor's data (core files in a \"bin\" folder) is not in " + tried +
                                    (s.o.data.empty() ? "; name its folder with --data DIR" : ""));
    c.model.reset(new SoundModel(folder + "/bin"));
    if (!c.model->coreFilesOk()) {
        std::string problems = c.model->loadProblems();
        while (!problems.empty() && problems.back() == '\n') problems.pop_back();
        for (char& ch : problems)
            if (ch == '\n') ch = ';';
        return s.fail(ExitFile, "the editor's data in " + platform::shownPath(folder + "/bin") + " is damaged: " + problems);
    }
    return ExitOk;
}

}  // namespace cli
