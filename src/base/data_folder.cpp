#include "base/data_folder.h"

#include <algorithm>

#include "base/platform.h"

#ifndef ORVELLA_DATA_FROM_BIN
#define ORVELLA_DATA_FROM_BIN "../share/orvella"
#endif

namespace datafolder {

namespace {

std::string folderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Removes "." and "name/.." steps, so messages name the folder plainly.
std::string tidy(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..") parts.pop_back();
            else if (path[0] != '/') parts.push_back(part);
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out = path.empty() || path[0] != '/' ? "" : "/";
    for (size_t i = 0; i < parts.size(); ++i) out += (i ? "/" : "") + parts[i];
    return out.empty() ? std::string(".") : out;
}

}  // namespace

std::vector<std::string> candidates(const std::string& workingFolder, const std::string& executable,
                                    const std::string& dataFromBin) {
    std::vector<std::string> folders;
    auto add = [&folders](const std::string& folder) {
        if (folder.empty()) return;
        std::string clean = tidy(folder);
        if (std::find(folders.begin(), folders.end(), clean) == folders.end()) folders.push_back(clean);
    };
    add(workingFolder);
    std::string programFolder = folderOf(executable);
    if (!programFolder.empty()) {
        add(programFolder);
        if (!dataFromBin.empty())
            add(dataFromBin[0] == '/' ? dataFromBin : programFolder + "/" + dataFromBin);
    }
    return folders;
}

std::vector<std::string> candidates() {
    return candidates(platform::currentFolder(), platform::executablePath(), ORVELLA_DATA_FROM_BIN);
}

}  // namespace datafolder
