#include "cli/environment.h"

#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "sound/CoreFiles.h"

#ifndef ORVELLA_DATA_FROM_BIN
#define ORVELLA_DATA_FROM_BIN "../share/orvella"
#endif

namespace cli {

namespace {

bool isFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool holdsCoreFiles(const std::string& folder) {
    for (const CoreFileSlice& slice : coreFileSlices) {
        struct stat info;
        std::string path = folder + "/bin/" + slice.name;
        if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    }
    return true;
}

std::string programFolder() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return std::string();
    std::string exe(path, size_t(n));
    size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

}  // namespace

std::string homeDrive() {
    for (const char* name : {"HOMEDRIVE", "HOME"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    const passwd* account = getpwuid(getuid());
    return account && account->pw_dir ? account->pw_dir : "";
}

std::string dataFolder(const std::string& given, std::string& tried) {
    std::vector<std::string> candidates;
    if (!given.empty()) {
        candidates.push_back(given);
    } else {
        char here[PATH_MAX];
        if (getcwd(here, sizeof here)) candidates.push_back(here);
        std::string own = programFolder();
        if (!own.empty()) {
            candidates.push_back(own);
            std::string installed = ORVELLA_DATA_FROM_BIN;
            candidates.push_back(installed[0] == '/' ? installed : own + "/" + installed);
        }
    }
    tried.clear();
    for (const std::string& folder : candidates) {
        if (holdsCoreFiles(folder)) return folder;
        tried += (tried.empty() ? "" : ", ") + folder + "/bin";
    }
    return std::string();
}

bool makeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (!part.empty() && !isFolder(part) && mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    return isFolder(path);
}

}  // namespace cli
