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

namespace serialport {

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

std::string noPermission(const Device& d) {
    return "permission denied on " + d.port + " (serial " + d.serial + "): install the package's udev rule "
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

std::vector<Device> realDevices(const std::string& root) {
    std::vector<Device> found;
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
        Device dev;
        dev.description = readLine(usbDevice + "/product");
        dev.serial = readLine(usbDevice + "/serial");
        dev.port = "/dev/" + name;
        found.push_back(dev);
    }
    return found;
}

std::vector<Device> allDevices(const std::string& busFolder) {
    const char* virtualOnly = std::getenv("ORVELLA_VIRTUAL_ONLY");
    bool realToo = !virtualOnly || !*virtualOnly || std::strcmp(virtualOnly, "0") == 0;
    std::vector<Device> all;
    if (realToo) all = realDevices(busFolder);
    for (const pedalregistry::Entry& e : pedalregistry::list(pedalregistry::folder())) {
        if (!pedalregistry::alive(e)) continue;     // left behind by a pedal that was killed
        Device dev;
        dev.description = e.description;
        dev.serial = e.serial;
        dev.port = e.tty;
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

bool TtyBackend::lock(const std::string& path, std::string& problem) {
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
            problem = inUse(ownerIn(fd));
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
    if (kept_ > 0 || open_.count(path)) return;
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
    // Kept while it tells the next program of a reply still on its way.
    auto late = lateUntil_.find(path);
    const bool notePending = late != lateUntil_.end() && late->second > wallMs();
    struct stat held;
    if (!notePending && fstat(it->second, &held) == 0 && held.st_uid == geteuid()) unlink(lockFileFor(path).c_str());
    ::close(it->second);    // ends the lock
    locks_.erase(it);
}

TtyBackend::~TtyBackend() {
    kept_ = 0;
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

// One open tty.
class TtyBackend::TtyPort : public Port {
public:
    TtyPort(TtyBackend& owner, const Device& device, int fd) : Port(device), owner_(owner), fd_(fd) {}
    ~TtyPort() override {
        if (inFlight_ && !lateNoted_) owner_.writeLockNote(device().port, 0);   // the transaction ended here
        owner_.closed(device().port, fd_);
    }

    FT_STATUS setup(unsigned baud, int readMs, int writeMs) override {
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
        readMs_ = readMs;
        writeMs_ = writeMs;
        if (!makeRaw(fd_, speed)) return FT_IO_ERROR;
        owner_.baud_[device().port] = speed;
        return FT_OK;
    }

    FT_STATUS purge(bool rx, bool tx) override {
        int which = rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : tx ? TCOFLUSH : -1;
        if (which < 0) return FT_OK;
        return tcflush(fd_, which) == 0 ? FT_OK : FT_IO_ERROR;
    }

    FT_STATUS write(const uint8_t* data, uint32_t n, uint32_t& written) override {
        written = 0;
        // Whatever arrived before a command cannot be its reply (a late answer
        // to an earlier one, line noise): dropped, never taken for the next reply.
        tcflush(fd_, TCIFLUSH);
        // Until this port closes, its reply is on its way: a program ended
        // half way (killed) leaves that note, and the next one waits it out.
        owner_.writeLockNote(device().port, wallMs() + InFlightMs);
        inFlight_ = true;
        lateNoted_ = false;
        int64_t deadline = nowMs() + (writeMs_ > 0 ? writeMs_ : 5000);
        while (written < n) {
            ssize_t k = ::write(fd_, data + written, n - written);
            if (k > 0) {
                written += static_cast<uint32_t>(k);
                continue;
            }
            if (k < 0 && errno != EAGAIN && errno != EINTR) return FT_IO_ERROR;
            int64_t left = deadline - nowMs();
            if (left <= 0) break;   // write time-out: FT_OK with the count moved
            pollfd pfd{fd_, POLLOUT, 0};
            if (poll(&pfd, 1, static_cast<int>(std::min<int64_t>(left, 50))) > 0 &&
                (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)))
                return FT_IO_ERROR;
        }
        return FT_OK;
    }

    FT_STATUS read(uint8_t* data, uint32_t n, uint32_t& got) override {
        got = 0;
        int64_t deadline = nowMs() + (readMs_ > 0 ? readMs_ : 5000);
        while (got < n) {
            ssize_t k = ::read(fd_, data + got, n - got);
            if (k > 0) {
                got += static_cast<uint32_t>(k);
                continue;
            }
            if (k < 0 && errno != EAGAIN && errno != EINTR) return FT_IO_ERROR;
            int64_t left = deadline - nowMs();
            if (left <= 0) break;   // read time-out: FT_OK with the count read
            pollfd pfd{fd_, POLLIN, 0};
            int r = poll(&pfd, 1, static_cast<int>(std::min<int64_t>(left, 50)));
            // A hung-up terminal reads as empty yet polls readable: that is the
            // end of the device, not a reason to try again at once.
            bool ended = k == 0 || !(pfd.revents & POLLIN);
            if (r > 0 && ended && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))) return FT_IO_ERROR;
        }
        return FT_OK;
    }

    FT_STATUS queues(uint32_t& rx, uint32_t& tx) override {
        int queued = 0, pending = 0;
        if (ioctl(fd_, FIONREAD, &queued) != 0) return FT_IO_ERROR;
        // The driver's transmit queue (a pseudo-terminal has none: 0).
        if (ioctl(fd_, TIOCOUTQ, &pending) != 0) pending = 0;
        rx = static_cast<uint32_t>(queued);
        tx = static_cast<uint32_t>(pending);
        return FT_OK;
    }

    void waitForData(int timeoutMs) override {
        int queued = 0;
        if (ioctl(fd_, FIONREAD, &queued) != 0) {
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
        pollfd pfd{fd_, POLLIN, 0};
        int r = poll(&pfd, 1, timeoutMs);
        if (r > 0 && !(pfd.revents & POLLIN)) sleepMs(timeoutMs);   // hung up: nothing will come
    }

    void noteLateReply(int ms) override {
        const int64_t until = wallMs() + ms;
        owner_.lateUntil_[device().port] = until;     // this program's next open waits too
        lateNoted_ = true;
        owner_.writeLockNote(device().port, until);
    }

private:
    TtyBackend& owner_;
    int fd_;
    int readMs_ = 0;            // 0: a finite default
    int writeMs_ = 0;
    bool inFlight_ = false;     // a command was sent; the lock file says its reply may come
    bool lateNoted_ = false;    // noteLateReply since that command
};

FT_STATUS TtyBackend::open(const std::string& key, bool byDescription, std::unique_ptr<Port>& port,
                           std::string& problem) {
    port.reset();
    problem.clear();
    FT_STATUS result = FT_DEVICE_NOT_FOUND;
    // The first matching device that opens; a busy or unreadable one does not
    // hide the next.
    for (const Device& dev : allDevices()) {
        if (!matches(dev, key, byDescription)) continue;
        result = FT_DEVICE_NOT_OPENED;
        if (open_.count(dev.port)) continue;    // one port per device
        int fd = -1;
        auto parked = parked_.find(dev.port);
        if (parked != parked_.end()) {      // held for this program's run: already set up
            fd = parked->second;
            parked_.erase(parked);
        } else {
            const bool lockedBefore = locks_.count(dev.port) != 0;
            if (!lock(dev.port, problem)) continue;     // another program of ours has it
            // A device this open could not use is not kept from others.
            auto giveBack = [&] {
                if (!lockedBefore) releaseLock(dev.port);
            };
            fd = ::open(dev.port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) {
                if (errno == EACCES || errno == EPERM) problem = noPermission(dev);
                if (errno == EBUSY) problem = inUse(0);    // opened exclusively by some other program
                giveBack();
                continue;
            }
            auto kept = baud_.find(dev.port);
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
        auto late = lateUntil_.find(dev.port);
        if (late != lateUntil_.end()) {
            awaitLateBytes(fd, late->second);
            lateUntil_.erase(late);
        }
        open_.insert(dev.port);
        port.reset(new TtyPort(*this, dev, fd));
        problem.clear();
        return FT_OK;
    }
    return result;
}

void TtyBackend::closed(const std::string& path, int fd) {
    open_.erase(path);
    if (kept_ > 0) {
        parked_[path] = fd;     // still this program's until its claim ends
        return;
    }
    ioctl(fd, TIOCNXCL);
    ::close(fd);
    unlock(path);
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

void TtyBackend::writeLockNote(const std::string& path, int64_t lateUntil) {
    auto held = locks_.find(path);
    if (held == locks_.end()) return;
    std::string text = std::to_string(static_cast<long>(getpid())) + "\n";
    if (lateUntil) text += "late " + std::to_string(lateUntil) + "\n";
    if (ftruncate(held->second, 0) != 0 || pwrite(held->second, text.data(), text.size(), 0) < 0) {}    // best effort
}

}  // namespace serialport
