#include "base/files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <csignal>
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
    bool ok = readStream(f, out, err, limit);
    std::fclose(f);
    return ok;
}

bool readStream(std::FILE* f, std::vector<uint8_t>& out, int* err, size_t limit) {
    out.clear();
    uint8_t chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        out.insert(out.end(), chunk, chunk + n);
        if (out.size() > limit) {
            if (err) *err = EFBIG;
            return false;
        }
    }
    if (std::ferror(f)) {
        if (err) *err = errno ? errno : EIO;
        return false;
    }
    return true;
}

namespace {

// The temporary files open now, for removeTemporaryFiles(); a handful at most.
const int maxTemps = 8;
char tempNames[maxTemps][PATH_MAX];
volatile std::sig_atomic_t tempUsed[maxTemps];

void rememberTemp(const std::string& name) {
    if (name.size() >= PATH_MAX) return;
    for (int i = 0; i < maxTemps; ++i) {
        if (tempUsed[i]) continue;
        std::memcpy(tempNames[i], name.c_str(), name.size() + 1);
        tempUsed[i] = 1;
        return;
    }
}

void forgetTemp(const std::string& name) {
    for (int i = 0; i < maxTemps; ++i)
        if (tempUsed[i] && name == tempNames[i]) tempUsed[i] = 0;
}

// The descriptor /dev/stdout, /dev/stderr, /dev/fd/N or /proc/self/fd/N
// names, or -1.
int openStreamNumber(const std::string& path) {
    if (path == "/dev/stdout") return 1;
    if (path == "/dev/stderr") return 2;
    for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        size_t n = std::strlen(prefix);
        if (path.compare(0, n, prefix) != 0 || path.size() == n || path.size() > n + 4) continue;
        int fd = 0;
        for (size_t i = n; i < path.size(); ++i) {
            if (path[i] < '0' || path[i] > '9') return -1;
            fd = fd * 10 + (path[i] - '0');
        }
        return fd;
    }
    return -1;
}

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::string();
    return path.substr(0, slash + 1);
}

}  // namespace

void removeTemporaryFiles() {
    for (int i = 0; i < maxTemps; ++i)
        if (tempUsed[i]) unlink(tempNames[i]);
}

std::string followLinks(const std::string& path, int* err) {
    std::string at = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
        char to[PATH_MAX];
        ssize_t n = readlink(at.c_str(), to, sizeof to - 1);
        if (n < 0) return at;
        to[n] = 0;
        at = to[0] == '/' ? std::string(to) : folderOf(at) + to;
    }
    if (err) *err = ELOOP;
    return at;
}

AtomicFile::AtomicFile(const std::string& path) : path_(path) {
    // /dev/stdout and its kin name a stream this process already has open:
    // it is written as it is (a pipe, a terminal, a file opened for appending).
    streamFd_ = openStreamNumber(path);
    if (streamFd_ >= 0) {
        struct stat st;
        if (fstat(streamFd_, &st) != 0) {
            error_ = errno;
            return;
        }
        target_ = path;
        direct_ = directOpen_ = true;
        return;
    }
    int loop = 0;
    target_ = followLinks(path, &loop);
    if (loop) {
        error_ = loop;
        return;
    }
    struct stat old;
    bool exists = stat(target_.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) {
        error_ = EISDIR;
        return;
    }
    if (exists && !S_ISREG(old.st_mode)) {
        // Opened only at commit: a FIFO would wait here for its reader, and
        // a device should see nothing of a failed run.
        if (access(target_.c_str(), W_OK) != 0) {
            error_ = errno;
            return;
        }
        direct_ = directOpen_ = true;
        return;
    }
    temp_ = target_ + ".tmp" + std::to_string(static_cast<long>(getpid()));
    int fd = open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_BINARY, 0666);
    if (fd < 0 && errno == EEXIST && unlink(temp_.c_str()) == 0)      // left by a dead process of the same id
        fd = open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_BINARY, 0666);
    if (fd < 0) {
        error_ = errno;
        return;
    }
    rememberTemp(temp_);
    if (exists) {
        // The replacement keeps what the user (or root) set on the old file.
        if (geteuid() == 0 && fchown(fd, old.st_uid, old.st_gid) != 0) error_ = errno;
        if (fchmod(fd, old.st_mode & 07777) != 0 && !error_) error_ = errno;
    }
    file_ = fdopen(fd, "wb");
    if (!file_) {
        if (!error_) error_ = errno;
        ::close(fd);
        dropTemp();
    }
}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::write(const void* data, size_t size) {
    if (direct_) {
        if (!directOpen_) return false;
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        kept_.insert(kept_.end(), bytes, bytes + size);
        return true;
    }
    if (!file_) return false;
    if (size && std::fwrite(data, 1, size, file_) != size) {
        if (!error_) error_ = errno ? errno : EIO;
        return false;
    }
    return true;
}

void AtomicFile::dropTemp() {
    if (temp_.empty()) return;
    std::remove(temp_.c_str());
    forgetTemp(temp_);
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
    if (!ok) dropTemp();
    return ok;
}

bool AtomicFile::writeDirect() {
    directOpen_ = false;
    int fd = streamFd_ >= 0 ? dup(streamFd_) : open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_BINARY);
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    size_t done = 0;
    while (done < kept_.size()) {
        ssize_t n = ::write(fd, kept_.data() + done, kept_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = n < 0 ? errno : EIO;
            ::close(fd);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    kept_.clear();
    if (::close(fd) != 0 && errno != EINTR) {
        error_ = errno;
        return false;
    }
    return true;
}

bool AtomicFile::commit() {
    if (direct_) return directOpen_ && !error_ && writeDirect();
    if (!finish()) return false;
    if (!platform::replaceFile(temp_, target_)) {
        error_ = errno;
        dropTemp();
        return false;
    }
    forgetTemp(temp_);
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
    if (direct_) {      // a device or FIFO under that name: the name is taken
        discard();
        error_ = EEXIST;
        return false;
    }
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
                forgetTemp(temp_);
                written = target;
                return true;
            }
        }
        if (made == 0) {
            dropTemp();
            written = target;
            return true;
        }
        if (errno != EEXIST) {
            error_ = errno;
            break;
        }
    }
    if (!error_) error_ = EEXIST;
    dropTemp();
    return false;
}

void AtomicFile::discard() {
    directOpen_ = false;
    kept_.clear();
    if (!file_) return;
    std::fclose(file_);
    file_ = nullptr;
    dropTemp();
}

bool writeFileAtomically(const std::string& path, const void* data, size_t size, int* err) {
    AtomicFile file(path);
    bool ok = file.write(data, size) && file.commit();
    if (!ok && err) *err = file.error();
    return ok;
}

bool writeTextFile(const std::string& path, const std::string& text, int* err) {
#ifdef _WIN32
    std::string lines;
    lines.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) lines += '\r';
        lines += text[i];
    }
    return writeFileAtomically(path, lines.data(), lines.size(), err);
#else
    return writeFileAtomically(path, text.data(), text.size(), err);
#endif
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
