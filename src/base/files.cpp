#include "base/files.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/platform.h"
#include "base/posix_compat.h"

namespace files {

std::string dataFolder(const std::string& homeDrive) { return homeDrive + "/Kestrova/Orvella/"; }

std::string presetFolder(const std::string& homeDrive) { return dataFolder(homeDrive) + "presets/"; }

bool readFile(const std::string& path, std::vector<uint8_t>& out, int* err, size_t limit) {
    out.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        if (err) *err = errno;
        return false;
    }
    uint8_t chunk[4096];
    size_t n;
    bool ok = true;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        out.insert(out.end(), chunk, chunk + n);
        if (out.size() > limit) {
            ok = false;
            if (err) *err = EFBIG;
            break;
        }
    }
    if (ok && std::ferror(f)) {
        ok = false;
        if (err) *err = errno ? errno : EIO;
    }
    std::fclose(f);
    return ok;
}

AtomicFile::AtomicFile(const std::string& path) : path_(path) {
    temp_ = path + ".tmp" + std::to_string(static_cast<long>(getpid()));
    file_ = std::fopen(temp_.c_str(), "wb");
    if (!file_) error_ = errno;
}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::write(const void* data, size_t size) {
    if (!file_) return false;
    if (size && std::fwrite(data, 1, size, file_) != size) {
        if (!error_) error_ = errno ? errno : EIO;
        return false;
    }
    return true;
}

bool AtomicFile::finish() {
    if (!file_ || error_) {
        discard();
        return false;
    }
    bool ok = std::fflush(file_) == 0 && fsync(fileno(file_)) == 0;
    if (!ok) error_ = errno;
    if (std::fclose(file_) != 0 && ok) {
        ok = false;
        error_ = errno;
    }
    file_ = nullptr;
    if (!ok) std::remove(temp_.c_str());
    return ok;
}

bool AtomicFile::commit() {
    if (!finish()) return false;
    if (!platform::replaceFile(temp_, path_)) {
        error_ = errno;
        std::remove(temp_.c_str());
        return false;
    }
    return true;
}

std::string numberedPath(const std::string& path, int n) {
    if (n <= 1) return path;
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = path.size();
    return path.substr(0, dot) + "_" + std::to_string(n) + path.substr(dot);
}

bool AtomicFile::commitNew(std::string& written) {
    if (!finish()) return false;
    for (int n = 1; n <= 999; ++n) {
        std::string target = numberedPath(path_, n);
        // A hard link is made only where no file of that name exists, so a
        // file that appeared meanwhile is never replaced either.
        int made = link(temp_.c_str(), target.c_str());
        if (made != 0 && (errno == EPERM || errno == EOPNOTSUPP)) {
            // A file system without hard links: check, then rename.
            if (access(target.c_str(), F_OK) == 0) continue;
            made = std::rename(temp_.c_str(), target.c_str());
            if (made == 0) {
                written = target;
                return true;
            }
        }
        if (made == 0) {
            std::remove(temp_.c_str());
            written = target;
            return true;
        }
        if (errno != EEXIST) {
            error_ = errno;
            break;
        }
    }
    if (!error_) error_ = EEXIST;
    std::remove(temp_.c_str());
    return false;
}

void AtomicFile::discard() {
    if (!file_) return;
    std::fclose(file_);
    file_ = nullptr;
    std::remove(temp_.c_str());
}

bool writeFileAtomically(const std::string& path, const void* data, size_t size, int* err) {
    AtomicFile file(path);
    bool ok = file.write(data, size) && file.commit();
    if (!ok && err) *err = file.error();
    return ok;
}

std::string doubleAtSigns(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '@') out += '@';
        out += c;
    }
    return out;
}

bool sameFile(const std::string& a, const std::string& b) {
    char ra[PATH_MAX], rb[PATH_MAX];
    if (!realpath(a.c_str(), ra) || !realpath(b.c_str(), rb)) return false;
    return std::strcmp(ra, rb) == 0;
}

}  // namespace files
