// The few POSIX calls the file helpers use, for Windows: flushing a file to
// the disk, hard links (made only where no file exists) and resolving a path.
// Elsewhere this is <unistd.h>.
#pragma once

#ifdef _WIN32
#include <errno.h>
#include <io.h>
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
#else
#include <unistd.h>
#endif
