#include "base/platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#else
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

bool folderExists(const std::string& path) {
#ifdef _WIN32
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
#endif
}

bool makeFolder(const std::string& path) {
#ifdef _WIN32
    return _mkdir(path.c_str()) == 0;
#else
    return mkdir(path.c_str(), 0755) == 0;
#endif
}

bool makeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (!part.empty() && !folderExists(part) && !makeFolder(part) && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    return folderExists(path);
}

bool envSet(const char* name) { return std::getenv(name) != nullptr; }

bool setEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    return _putenv_s(name, value.c_str()) == 0;
#else
    return setenv(name, value.c_str(), 1) == 0;
#endif
}

// The user's home folder: HOME, or the account's home when HOME is unset or
// empty, so that folders are never built from an empty prefix (the file
// system's root).
static std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
#ifndef _WIN32
    if (const struct passwd* account = getpwuid(getuid()))
        if (account->pw_dir) return account->pw_dir;
#endif
    return std::string();
}

std::string env(const char* name) {
    const char* value = std::getenv(name);
    // An empty folder variable would put the folders at the file system's root.
    if (std::strcmp(name, "HOMEDRIVE") == 0 || std::strcmp(name, "USERPROFILE") == 0)
        return value && *value ? std::string(value) : homeFolder();
    return value ? std::string(value) : std::string();
}

std::string desktopFolder() {
    std::string profile = env("USERPROFILE");
    std::string desktop = profile + "/Desktop";
    return folderExists(desktop) ? desktop : profile;
}

std::string currentFolder() {
#ifdef _WIN32
    char buffer[MAX_PATH];
    return _getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
#else
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
#endif
}

bool changeFolder(const std::string& path) {
#ifdef _WIN32
    return _chdir(path.c_str()) == 0;
#else
    return chdir(path.c_str()) == 0;
#endif
}

std::string executablePath() {
#ifdef _WIN32
    char buffer[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
#else
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    return length > 0 && length < static_cast<ssize_t>(sizeof buffer) ? std::string(buffer, length)
                                                                      : std::string();
#endif
}

}  // namespace platform
