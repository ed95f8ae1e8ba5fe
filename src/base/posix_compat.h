// The few POSIX calls the file helpers use, for Windows: flushing a file to
// the disk, hard links (made only where no file exists) and resolving a path.
// Elsewhere this is <unistd.h>.
#pragma once

#ifdef _WIN32
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <unistd.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "base/platform.h"

inline int fsync(int fd) { return _commit(fd); }

inline int link(const char* existing, const char* created) {
    if (CreateHardLinkW(platform::widen(created).c_str(), platform::widen(existing).c_str(), nullptr)) return 0;
    DWORD code = GetLastError();
    errno = code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS ? EEXIST
            : code == ERROR_INVALID_FUNCTION || code == ERROR_NOT_SUPPORTED ? EPERM
            : code == ERROR_ACCESS_DENIED ? EACCES
                                          : EIO;
    return -1;
}

#ifndef PATH_MAX
#define PATH_MAX 4096
#endif

// The absolute form of an existing path in resolved (PATH_MAX bytes), NULL when it does not exist.
inline char* realpath(const char* path, char* resolved) {
    std::wstring wide = platform::widen(path);
    if (wide.empty() || GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) {
        errno = ENOENT;
        return nullptr;
    }
    wchar_t full[PATH_MAX];
    if (!_wfullpath(full, wide.c_str(), PATH_MAX)) return nullptr;
    std::string out = platform::narrow(full);
    for (char& c : out) {
        if (c == '\\') c = '/';
        else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');   // names are case-blind
    }
    if (out.size() >= PATH_MAX) return nullptr;
    std::copy(out.begin(), out.end(), resolved);
    resolved[out.size()] = 0;
    return resolved;
}
// Windows has no symbolic links in the sense followed here, no owners to
// keep and no POSIX mode bits beyond read-only: a path is its own target and
// a replacement keeps what a new file gets.
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif
#ifndef S_ISLNK
#define S_ISLNK(mode) 0
#endif
inline int lstat(const char* path, struct stat* st) { return stat(path, st); }
inline int readlink(const char*, char*, size_t) {
    errno = EINVAL;
    return -1;
}
inline int geteuid() { return 1; }
inline int fchown(int, int, int) { return 0; }
inline int fchmod(int, int) { return 0; }
#else
#include <unistd.h>
#ifndef O_BINARY
#define O_BINARY 0
#endif
#endif
