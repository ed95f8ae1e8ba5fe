#include "pedal/VirtualPort.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace {

const int64_t byteNs = 10 * 1000000000LL / 115200;    // start, 8 data and stop bit
const size_t chunk = 16;                                // bytes handed over at once when paced

int64_t nowNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

void sleepUntil(int64_t ns) {
    timespec ts{static_cast<time_t>(ns / 1000000000LL), static_cast<long>(ns % 1000000000LL)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {}
}

bool makeRaw(int fd) {
    termios t;
    if (tcgetattr(fd, &t) != 0) return false;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace

bool VirtualPort::open() {
    close();
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) return false;
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        close();
        return false;
    }
    const char* name = ptsname(master_);
    if (!name) {
        close();
        return false;
    }
    path_ = name;
    keep_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (keep_ < 0 || !makeRaw(keep_)) {
        close();
        return false;
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    rxFreeNs_ = 0;
    return true;
}

void VirtualPort::close() {
    if (keep_ >= 0) ::close(keep_);
    if (master_ >= 0) ::close(master_);
    keep_ = master_ = -1;
    path_.clear();
}

size_t VirtualPort::receive(uint8_t* data, size_t n) {
    if (master_ < 0) return 0;
    ssize_t k = ::read(master_, data, n);
    if (k <= 0) return 0;
    if (paced_) {
        int64_t start = std::max(nowNs(), rxFreeNs_);
        rxFreeNs_ = start + k * byteNs;
        sleepUntil(rxFreeNs_);
    }
    return static_cast<size_t>(k);
}

bool VirtualPort::send(const uint8_t* data, size_t n) {
    if (master_ < 0) return false;
    int64_t next = nowNs();
    size_t done = 0;
    while (done < n) {
        size_t part = paced_ ? std::min(chunk, n - done) : n - done;
        if (paced_) {
            next += static_cast<int64_t>(part) * byteNs;
            sleepUntil(next);
        }
        size_t sent = 0;
        while (sent < part) {
            ssize_t k = ::write(master_, data + done + sent, part - sent);
            if (k > 0) {
                sent += static_cast<size_t>(k);
            } else if (k < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd pfd{master_, POLLOUT, 0};
                if (poll(&pfd, 1, 1000) <= 0) return false;
            } else {
                return false;
            }
        }
        done += part;
    }
    return true;
}
