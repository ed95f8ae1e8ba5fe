#include "link/TtyBackend.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "link/PedalRegistry.h"

namespace ftdi {

struct TtyBackend::Port {
    int fd = -1;
    std::string path;
    bool txStalled = false;
    DWORD held = 0;             // bytes a stalled bridge keeps in its transmit queue
    int readTimeoutMs = 0;      // 0: the library default, wait forever; kept finite below
    int writeTimeoutMs = 0;
    bool inFlight = false;      // a command was sent; the lock file says its reply may come
    bool lateNoted = false;     // noteLateReply since that command
};

namespace {

std::string readLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

std::string parentOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

int ttyNumber(const std::string& name) { return std::atoi(name.c_str() + 6); }  // after "ttyUSB"

void sleepUs(long us) {
    timespec ts{us / 1000000, (us % 1000000) * 1000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {}
}

void sleepMs(int ms) { sleepUs(ms * 1000L); }

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string noPermission(const TtyDevice& d) {
    return "permission denied on " + d.path + " (serial " + d.serial + "): install the package's udev rule "
           "(70-orvella-drevani.rules), or add your user to the 'dialout' group "
           "(sudo usermod -aG dialout $USER) and log in again";
}

std::string inUse(long pid) {
    std::string text = "the pedal is in use by another program";
    return pid > 0 ? text + " (pid " + std::to_string(pid) + ")" : text;
}

// The pid a lock file names, or 0.
long ownerIn(int fd) {
    char text[32] = {0};
    ssize_t n = pread(fd, text, sizeof text - 1, 0);
    if (n <= 0) return 0;
    char* end = nullptr;
    long pid = std::strtol(text, &end, 10);
    return end != text && pid > 0 ? pid : 0;
}

int64_t wallMs() {
    timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// The "late MS" note of a lock file, or 0.
int64_t lateNoteIn(int fd) {
    char text[64] = {0};
    ssize_t n = pread(fd, text, sizeof text - 1, 0);
    if (n <= 0) return 0;
    const char* at = std::strstr(text, "\nlate ");
    if (!at) return 0;
    long long until = std::strtoll(at + 6, nullptr, 10);
    return until > 0 ? static_cast<int64_t>(until) : 0;
}

// Raw 8N1 without flow control, receiver on, modem lines ignored. No hang-up
// on close: the bridge's modem lines stay as they are from one transaction to
// the next, as they do when the library closes a device.
bool makeRaw(int fd, speed_t speed) {
    termios t;
    if (tcgetattr(fd, &t) != 0) return false;
    cfmakeraw(&t);
    t.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE | HUPCL);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

// Low-latency mode keeps the bridge from holding short replies back for its
// latency timer; pseudo-terminals and drivers without it simply refuse.
void askLowLatency(int fd) {
    serial_struct ss;
    if (ioctl(fd, TIOCGSERIAL, &ss) == 0) {
        ss.flags |= ASYNC_LOW_LATENCY;
        ioctl(fd, TIOCSSERIAL, &ss);
    }
}

}  // namespace

std::vector<TtyDevice> realDevices(const std::string& root) {
    std::vector<TtyDevice> found;
    DIR* d = opendir(root.c_str());
    if (!d) return found;
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) {
        if (std::strncmp(e->d_name, "ttyUSB", 6) == 0) names.push_back(e->d_name);
    }
    closedir(d);
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return ttyNumber(a) < ttyNumber(b); });
    for (const std::string& name : names) {
        std::string entry = root + "/" + name;
        char driver[PATH_MAX];
        ssize_t n = readlink((entry + "/driver").c_str(), driver, sizeof driver - 1);
        if (n <= 0) continue;
        driver[n] = 0;
        const char* base = std::strrchr(driver, '/');
        if (std::strcmp(base ? base + 1 : driver, "ftdi_sio") != 0) continue;
        char real[PATH_MAX];
        if (!realpath(entry.c_str(), real)) continue;
        std::string usbDevice = parentOf(parentOf(real));   // .../1-1/1-1:1.0/ttyUSB0 -> .../1-1
        TtyDevice dev;
        dev.description = readLine(usbDevice + "/product");
        dev.serial = readLine(usbDevice + "/serial");
        dev.path = "/dev/" + name;
        found.push_back(dev);
    }
    return found;
}

std::vector<TtyDevice> allDevices(const std::string& busFolder) {
    const char* virtualOnly = std::getenv("ORVELLA_VIRTUAL_ONLY");
    bool realToo = !virtualOnly || !*virtualOnly || std::strcmp(virtualOnly, "0") == 0;
    std::vector<TtyDevice> all;
    if (realToo) all = realDevices(busFolder);
    for (const pedalregistry::Entry& e : pedalregistry::list(pedalregistry::folder())) {
        if (!pedalregistry::alive(e)) continue;     // left behind by a pedal that was killed
        TtyDevice dev;
        dev.description = e.description;
        dev.serial = e.serial;
        dev.path = e.tty;
        dev.txStalled = e.txStalled;
        all.push_back(dev);
    }
    return all;
}

std::string TtyBackend::lockFileFor(const std::string& devicePath) {
    std::string folder;
    const char* given = std::getenv("ORVELLA_LOCK_DIR");
    if (given && *given)
        folder = given;
    else if (access("/run/lock", W_OK) == 0)
        folder = "/run/lock";
    else
        folder = std::getenv("TMPDIR") && *std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    std::string name = devicePath.compare(0, 5, "/dev/") == 0 ? devicePath.substr(5) : devicePath;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') c = '_';
    return folder + "/orvella-" + name + ".lock";
}

bool TtyBackend::lock(const std::string& path) {
    if (locks_.count(path)) return true;
    const std::string name = lockFileFor(path);
    // A lock file removed by its owner between our open and our lock is not
    // the lock any more: try again on the new one.
    for (int attempt = 0; attempt < 5; ++attempt) {
        int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) fd = ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        // No lock file possible (a read-only folder): the exclusive open still
        // keeps other programs out while the port is held.
        if (fd < 0) return true;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK) {     // a file system without locks: as above
                ::close(fd);
                return true;
            }
            problem_ = inUse(ownerIn(fd));
            ::close(fd);
            return false;
        }
        struct stat held, now;
        if (fstat(fd, &held) != 0 || stat(name.c_str(), &now) != 0 || held.st_ino != now.st_ino ||
            held.st_dev != now.st_dev) {
            ::close(fd);
            continue;
        }
        if (held.st_uid != geteuid()) {
            // Another user's file, left by a program that is gone (we hold
            // its lock): its notes are not ours to trust. Taken over when
            // the folder lets us, else used as it is, for the lock alone.
            if (unlink(name.c_str()) == 0) {
                ::close(fd);
                continue;
            }
            locks_[path] = fd;
            return true;
        }
        fchmod(fd, 0644);   // readable by all, written by its owner only
        // A late reply the last owner left behind; a note far in the future
        // (a clock set back, a damaged file) is not waited for.
        const int64_t late = lateNoteIn(fd), nowMs = wallMs();
        if (late > nowMs && late - nowMs <= 10000) lateUntil_[path] = late;
        locks_[path] = fd;
        writeLockNote(path, 0);
        return true;
    }
    return true;
}

void TtyBackend::unlock(const std::string& path) {
    if (kept_ > 0 || portOn(path)) return;
    auto parked = parked_.find(path);
    if (parked != parked_.end()) {
        ioctl(parked->second, TIOCNXCL);
        ::close(parked->second);
        parked_.erase(parked);
    }
    releaseLock(path);
}

void TtyBackend::releaseLock(const std::string& path) {
    auto it = locks_.find(path);
    if (it == locks_.end()) return;
    // Removed while still locked, so no program takes a lock on a file that
    // is going; one that opened it just before checks it is still there.
    struct stat held;
    if (fstat(it->second, &held) == 0 && held.st_uid == geteuid()) unlink(lockFileFor(path).c_str());
    ::close(it->second);    // ends the lock
    locks_.erase(it);
}

TtyBackend::~TtyBackend() {
    kept_ = 0;
    while (!open_.empty()) close(open_.back());
    claim(false);
}

void TtyBackend::claim(bool keep) {
    if (keep) {
        ++kept_;
        return;
    }
    if (kept_ > 0) --kept_;
    if (kept_ > 0) return;
    std::vector<std::string> held;
    for (const auto& lock : locks_) held.push_back(lock.first);
    for (const auto& parked : parked_) held.push_back(parked.first);
    for (const std::string& path : held) unlock(path);
}

bool TtyBackend::matches(const TtyDevice& dev, const char* arg, DWORD flags) {
    if (flags == FT_OPEN_BY_DESCRIPTION) return dev.description == arg;
    if (dev.serial == arg) return true;
    // The link keeps serial numbers cut to 11 characters; such a cut one still
    // opens the device whose longer serial number it begins.
    size_t n = std::strlen(arg);
    return n == cutSerialLength && dev.serial.size() > n && dev.serial.compare(0, n, arg) == 0;
}

TtyBackend::Port* TtyBackend::port(FT_HANDLE handle) const {
    for (Port* p : open_) {
        if (p == handle) return p;
    }
    return nullptr;
}

TtyBackend::Port* TtyBackend::portOn(const std::string& path) const {
    for (Port* p : open_) {
        if (p->path == path) return p;
    }
    return nullptr;
}

FT_STATUS TtyBackend::openEx(const char* arg, DWORD flags, FT_HANDLE* handle) {
    if (!handle || !arg) return FT_INVALID_PARAMETER;
    *handle = nullptr;
    problem_.clear();
    if (flags != FT_OPEN_BY_SERIAL_NUMBER && flags != FT_OPEN_BY_DESCRIPTION) return FT_INVALID_PARAMETER;
    // An empty serial number names no device (a bridge without one would match).
    if (!*arg) return FT_DEVICE_NOT_FOUND;
    FT_STATUS result = FT_DEVICE_NOT_FOUND;
    // The first matching device that opens; a busy or unreadable one does not
    // hide the next.
    for (const TtyDevice& dev : allDevices()) {
        if (!matches(dev, arg, flags)) continue;
        result = FT_DEVICE_NOT_OPENED;
        if (portOn(dev.path)) continue;     // one handle per device
        int fd = -1;
        auto parked = parked_.find(dev.path);
        if (parked != parked_.end()) {      // held for this program's run: already set up
            fd = parked->second;
            parked_.erase(parked);
        } else {
            const bool lockedBefore = locks_.count(dev.path) != 0;
            if (!lock(dev.path)) continue;      // another program of ours has it
            // A device this open could not use is not kept from others.
            auto giveBack = [&] {
                if (!lockedBefore) releaseLock(dev.path);
            };
            fd = ::open(dev.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) {
                if (errno == EACCES || errno == EPERM) problem_ = noPermission(dev);
                if (errno == EBUSY) problem_ = inUse(0);    // opened exclusively by some other program
                giveBack();
                continue;
            }
            auto kept = baud_.find(dev.path);
            if (!makeRaw(fd, kept == baud_.end() ? B9600 : static_cast<speed_t>(kept->second))) {
                ::close(fd);
                giveBack();
                continue;
            }
            // No other program may open the terminal while it is held (the
            // kernel refuses it with EBUSY; root excepted).
            ioctl(fd, TIOCEXCL);
            askLowLatency(fd);
        }
        // A closed serial port receives nothing; drop whatever a late reply
        // left on the far end of a pseudo-terminal meanwhile.
        tcflush(fd, TCIFLUSH);
        auto late = lateUntil_.find(dev.path);
        if (late != lateUntil_.end()) {
            awaitLateBytes(fd, late->second);
            lateUntil_.erase(late);
        }
        Port* p = new Port;
        p->fd = fd;
        p->path = dev.path;
        p->txStalled = dev.txStalled;
        open_.push_back(p);
        *handle = p;
        problem_.clear();
        return FT_OK;
    }
    return result;
}

void TtyBackend::awaitLateBytes(int fd, int64_t untilMs) {
    // Once some bytes came and the line has been quiet for a moment, the
    // reply is over; either way what came is dropped.
    const int quietMs = 100;
    bool seen = false;
    for (int64_t now = wallMs(); now < untilMs; now = wallMs()) {
        pollfd w{fd, POLLIN, 0};
        int wait = static_cast<int>(std::min<int64_t>(untilMs - now, seen ? quietMs : 50));
        int ready = poll(&w, 1, wait);
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0) {
            seen = true;
            tcflush(fd, TCIFLUSH);
        } else if (ready == 0 && seen) {
            break;
        }
    }
    tcflush(fd, TCIFLUSH);
}

void TtyBackend::noteLateReply(FT_HANDLE handle, int ms) {
    Port* p = port(handle);
    if (!p) return;
    const int64_t until = wallMs() + ms;
    lateUntil_[p->path] = until;    // this program's next open waits too
    p->lateNoted = true;
    writeLockNote(p->path, until);
}

void TtyBackend::writeLockNote(const std::string& path, int64_t lateUntil) {
    auto held = locks_.find(path);
    if (held == locks_.end()) return;
    std::string text = std::to_string(static_cast<long>(getpid())) + "\n";
    if (lateUntil) text += "late " + std::to_string(lateUntil) + "\n";
    if (ftruncate(held->second, 0) != 0 || pwrite(held->second, text.data(), text.size(), 0) < 0) {}    // best effort
}

FT_STATUS TtyBackend::createDeviceInfoList(DWORD* count) {
    // A device the user may not open is still listed; opening it says why.
    listed_ = allDevices();
    if (count) *count = static_cast<DWORD>(listed_.size());
    return FT_OK;
}

FT_STATUS TtyBackend::getDeviceInfoDetail(DWORD index, std::string& serial, std::string& description,
                                          FT_HANDLE* handle) {
    if (index >= listed_.size()) return FT_DEVICE_NOT_FOUND;
    const TtyDevice& dev = listed_[index];
    serial = dev.serial;
    description = dev.description;
    if (handle) *handle = portOn(dev.path);
    return FT_OK;
}

std::string TtyBackend::portName(DWORD index) const {
    return index < listed_.size() ? listed_[index].path : std::string();
}

FT_STATUS TtyBackend::setUSBParameters(FT_HANDLE handle, DWORD, DWORD) {
    // Transfer sizes belong to the USB layer, which the kernel driver manages.
    return port(handle) ? FT_OK : FT_INVALID_HANDLE;
}

FT_STATUS TtyBackend::setTimeouts(FT_HANDLE handle, DWORD readMs, DWORD writeMs) {
    Port* p = port(handle);
    if (!p) return FT_INVALID_HANDLE;
    p->readTimeoutMs = static_cast<int>(readMs);
    p->writeTimeoutMs = static_cast<int>(writeMs);
    return FT_OK;
}

FT_STATUS TtyBackend::setBaudRate(FT_HANDLE handle, DWORD baud) {
    Port* p = port(handle);
    if (!p) return FT_INVALID_HANDLE;
    speed_t speed;
    switch (baud) {
    case 9600: speed = B9600; break;
    case 19200: speed = B19200; break;
    case 38400: speed = B38400; break;
    case 57600: speed = B57600; break;
    case 115200: speed = B115200; break;
    case 230400: speed = B230400; break;
    default: return FT_INVALID_BAUD_RATE;
    }
    if (!makeRaw(p->fd, speed)) return FT_IO_ERROR;
    baud_[p->path] = speed;
    return FT_OK;
}

FT_STATUS TtyBackend::purge(FT_HANDLE handle, DWORD mask) {
    Port* p = port(handle);
    if (!p) return FT_INVALID_HANDLE;
    int which = (mask & FT_PURGE_RX) && (mask & FT_PURGE_TX) ? TCIOFLUSH
                : (mask & FT_PURGE_RX)                        ? TCIFLUSH
                : (mask & FT_PURGE_TX)                        ? TCOFLUSH
                                                               : -1;
    if (mask & FT_PURGE_TX) p->held = 0;
    if (which < 0) return FT_OK;
    return tcflush(p->fd, which) == 0 ? FT_OK : FT_IO_ERROR;
}

FT_STATUS TtyBackend::write(FT_HANDLE handle, const uint8_t* data, DWORD n, DWORD* written) {
    Port* p = port(handle);
    if (written) *written = 0;
    if (!p) return FT_INVALID_HANDLE;
    if (p->txStalled) {     // accepted into the queue, never sent
        p->held += n;
        if (written) *written = n;
        return FT_OK;
    }
    // Whatever arrived before a command cannot be its reply (a late answer
    // to an earlier one): dropped, so it is never taken for the next reply.
    tcflush(p->fd, TCIFLUSH);
    // Until this handle closes, its reply is on its way: a program ended
    // half way (killed) leaves that note, and the next one waits it out.
    writeLockNote(p->path, wallMs() + InFlightMs);
    p->inFlight = true;
    p->lateNoted = false;
    int limit = p->writeTimeoutMs > 0 ? p->writeTimeoutMs : 5000;
    int64_t deadline = nowMs() + limit;
    DWORD done = 0;
    while (done < n) {
        ssize_t k = ::write(p->fd, data + done, n - done);
        if (k > 0) {
            done += static_cast<DWORD>(k);
            continue;
        }
        if (k < 0 && errno != EAGAIN && errno != EINTR) {
            if (written) *written = done;
            return FT_IO_ERROR;
        }
        int64_t left = deadline - nowMs();
        if (left <= 0) break;   // write time-out: FT_OK with the count moved
        pollfd pfd{p->fd, POLLOUT, 0};
        if (poll(&pfd, 1, static_cast<int>(std::min<int64_t>(left, 50))) > 0 &&
            (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            if (written) *written = done;
            return FT_IO_ERROR;
        }
    }
    if (written) *written = done;
    return FT_OK;
}

FT_STATUS TtyBackend::read(FT_HANDLE handle, uint8_t* data, DWORD n, DWORD* got) {
    Port* p = port(handle);
    if (got) *got = 0;
    if (!p) return FT_INVALID_HANDLE;
    int limit = p->readTimeoutMs > 0 ? p->readTimeoutMs : 5000;
    int64_t deadline = nowMs() + limit;
    DWORD done = 0;
    while (done < n) {
        ssize_t k = ::read(p->fd, data + done, n - done);
        if (k > 0) {
            done += static_cast<DWORD>(k);
            continue;
        }
        if (k < 0 && errno != EAGAIN && errno != EINTR) {
            if (got) *got = done;
            return FT_IO_ERROR;
        }
        int64_t left = deadline - nowMs();
        if (left <= 0) break;   // read time-out: FT_OK with the count read
        pollfd pfd{p->fd, POLLIN, 0};
        int r = poll(&pfd, 1, static_cast<int>(std::min<int64_t>(left, 50)));
        // A hung-up terminal reads as empty yet polls readable: that is the
        // end of the device, not a reason to try again at once.
        bool ended = k == 0 || !(pfd.revents & POLLIN);
        if (r > 0 && ended && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            if (got) *got = done;
            return FT_IO_ERROR;
        }
    }
    if (got) *got = done;
    return FT_OK;
}

FT_STATUS TtyBackend::queueStatus(FT_HANDLE handle, DWORD* rx) {
    Port* p = port(handle);
    if (!p) return FT_INVALID_HANDLE;
    int queued = 0;
    if (ioctl(p->fd, FIONREAD, &queued) != 0) return FT_IO_ERROR;
    if (rx) *rx = static_cast<DWORD>(queued);
    return FT_OK;
}

FT_STATUS TtyBackend::getStatus(FT_HANDLE handle, DWORD* rx, DWORD* tx, DWORD* events) {
    Port* p = port(handle);
    if (!p) return FT_INVALID_HANDLE;
    int queued = 0, pending = 0;
    if (ioctl(p->fd, FIONREAD, &queued) != 0) return FT_IO_ERROR;
    if (ioctl(p->fd, TIOCOUTQ, &pending) != 0) pending = 0;
    pending += static_cast<int>(p->held);
    if (rx) *rx = static_cast<DWORD>(queued);
    if (tx) *tx = static_cast<DWORD>(pending);
    if (events) *events = 0;
    return FT_OK;
}

FT_STATUS TtyBackend::close(FT_HANDLE handle) {
    Port* p = port(handle);
    if (!p) return FT_INVALID_HANDLE;
    open_.erase(std::find(open_.begin(), open_.end(), p));
    if (p->inFlight && !p->lateNoted) writeLockNote(p->path, 0);   // the transaction ended here
    if (kept_ > 0) {
        parked_[p->path] = p->fd;      // still this program's until its claim ends
    } else {
        ioctl(p->fd, TIOCNXCL);
        ::close(p->fd);
        unlock(p->path);
    }
    delete p;
    return FT_OK;
}

void TtyBackend::waitForData(FT_HANDLE handle, int timeoutMs) {
    Port* p = port(handle);
    int queued = 0;
    if (!p || ioctl(p->fd, FIONREAD, &queued) != 0) {
        sleepMs(timeoutMs);     // the device is gone: nothing will come
        return;
    }
    if (queued > 0) {
        // Bytes already waiting keep poll() readable; nap instead of spinning
        // while the rest of a reply comes in. A byte takes 87 us at 115200
        // baud, so a short nap keeps the reply's tail from waiting long.
        sleepUs(std::min(timeoutMs * 1000L, 500L));
        return;
    }
    pollfd pfd{p->fd, POLLIN, 0};
    int r = poll(&pfd, 1, timeoutMs);
    if (r > 0 && !(pfd.revents & POLLIN)) sleepMs(timeoutMs);   // hung up: nothing will come
}

}  // namespace ftdi
