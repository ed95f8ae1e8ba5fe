// The serial-driver backend on a pseudo-terminal registered as a virtual pedal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <ctime>
#include <string>

#include "link/PedalLink.h"
#include "link/PedalRegistry.h"
#include "link/TtyBackend.h"
#include "TestPedal.h"

namespace {

class TtyBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orvella-tty-XXXXXX";
        dir = mkdtemp(pattern);
        setenv("ORVELLA_PEDAL_DIR", dir.c_str(), 1);
        setenv("ORVELLA_VIRTUAL_ONLY", "1", 1);
        setenv("ORVELLA_LOCK_DIR", dir.c_str(), 1);    // never a real lock in /run/lock
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        tty = ptsname(master);
        keep = open(tty.c_str(), O_RDWR | O_NOCTTY);   // the far end stays up between opens
        ASSERT_GE(keep, 0);
        ASSERT_TRUE(pedalregistry::write(dir, {"Kestrova Drevani", "TTY1", tty, false, 0}));
    }
    void TearDown() override {
        close(keep);
        close(master);
        unsetenv("ORVELLA_PEDAL_DIR");
        unsetenv("ORVELLA_VIRTUAL_ONLY");
        unsetenv("ORVELLA_LOCK_DIR");
        ASSERT_EQ(system(("rm -rf " + dir).c_str()), 0);
    }
    FT_HANDLE openPedal() {
        FT_HANDLE h = nullptr;
        EXPECT_EQ(backend.openEx("TTY1", FT_OPEN_BY_SERIAL_NUMBER, &h), FT_OK);
        return h;
    }
    std::string readMaster(size_t n) {
        std::string got;
        while (got.size() < n) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 1000) <= 0) break;
            char c[256];
            ssize_t k = read(master, c, sizeof c);
            if (k <= 0) break;
            got.append(c, static_cast<size_t>(k));
        }
        return got;
    }

    std::string dir, tty;
    int master = -1, keep = -1;
    ftdi::TtyBackend backend;
};

TEST_F(TtyBackendTest, BytesCrossRawBothWaysAndQueuesCount) {
    FT_HANDLE h = openPedal();
    ASSERT_NE(h, nullptr);
    uint8_t out[4] = {0x40, 0x0A, 0x0D, 0x03};     // nothing translated or swallowed
    DWORD n = 0;
    EXPECT_EQ(backend.write(h, out, 4, &n), FT_OK);
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(readMaster(4), std::string("\x40\x0A\x0D\x03", 4));
    ASSERT_EQ(write(master, "\x11\x13\x0D\x7F\x00", 5), 5);
    // The terminal hands bytes over asynchronously: wait for them on the device.
    DWORD queued = 0;
    auto start = std::chrono::steady_clock::now();
    while (backend.queueStatus(h, &queued) == FT_OK && queued < 5 &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(10))
        backend.waitForData(h, 50);
    EXPECT_EQ(backend.queueStatus(h, &queued), FT_OK);
    EXPECT_EQ(queued, 5u);
    uint8_t in[8] = {};
    EXPECT_EQ(backend.read(h, in, 5, &n), FT_OK);
    EXPECT_EQ(n, 5u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(in), 5), std::string("\x11\x13\x0D\x7F\x00", 5));
    EXPECT_EQ(backend.close(h), FT_OK);
}

TEST_F(TtyBackendTest, ReadTimesOutWithTheBytesThatCame) {
    FT_HANDLE h = openPedal();
    ASSERT_EQ(backend.setTimeouts(h, 200, 1000), FT_OK);
    ASSERT_EQ(write(master, "abc", 3), 3);
    uint8_t in[16];
    DWORD n = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(backend.read(h, in, 16, &n), FT_OK);
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(n, 3u);
    EXPECT_GE(took, 0.19);
    EXPECT_LT(took, 1.0);
    backend.close(h);
}

TEST_F(TtyBackendTest, RawEightNoneOneAndTheBaudRateStayAcrossHandles) {
    FT_HANDLE h = openPedal();
    EXPECT_EQ(backend.setBaudRate(h, 115200), FT_OK);
    EXPECT_EQ(backend.setBaudRate(h, 12345), FT_INVALID_BAUD_RATE);
    backend.close(h);
    h = openPedal();
    termios t;
    ASSERT_EQ(tcgetattr(keep, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG), 0u);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS | HUPCL), 0u);   // no parity, one stop bit, no flow control, no hang-up
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    backend.close(h);
}

TEST_F(TtyBackendTest, OneHandlePerDeviceAndTheOpenOneIsReported) {
    FT_HANDLE h = openPedal();
    FT_HANDLE second = nullptr;
    EXPECT_EQ(backend.openEx("TTY1", FT_OPEN_BY_SERIAL_NUMBER, &second), FT_DEVICE_NOT_OPENED);
    DWORD count = 0;
    ASSERT_EQ(backend.createDeviceInfoList(&count), FT_OK);
    std::string serial, description;
    FT_HANDLE reported = nullptr;
    ASSERT_EQ(backend.getDeviceInfoDetail(count - 1, serial, description, &reported), FT_OK);
    EXPECT_EQ(serial, "TTY1");
    EXPECT_EQ(reported, h);
    EXPECT_EQ(backend.getDeviceInfoDetail(count, serial, description, &reported), FT_DEVICE_NOT_FOUND);
    backend.close(h);
    EXPECT_EQ(backend.close(h), FT_INVALID_HANDLE);
    EXPECT_EQ(backend.purge(h, 3), FT_INVALID_HANDLE);
}

TEST_F(TtyBackendTest, CutSerialNumberOpensItsDeviceButNoOtherPrefixDoes) {
    ASSERT_TRUE(pedalregistry::write(dir, {"Kestrova Drevani", "ABCDEFGHIJKLMNO", tty, false, 0}));
    ASSERT_TRUE(pedalregistry::remove(dir, "TTY1"));
    FT_HANDLE h = nullptr;
    EXPECT_EQ(backend.openEx("ABCDEFGHIJ", FT_OPEN_BY_SERIAL_NUMBER, &h), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(backend.openEx("", FT_OPEN_BY_SERIAL_NUMBER, &h), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(backend.openEx("ABCDEFGHIJK", FT_OPEN_BY_SERIAL_NUMBER, &h), FT_OK);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(backend.close(h), FT_OK);
    EXPECT_EQ(backend.openEx("ABCDEFGHIJKLMNO", FT_OPEN_BY_SERIAL_NUMBER, &h), FT_OK);
    EXPECT_EQ(backend.close(h), FT_OK);
}

// A user without access to the terminal: the open of the pedal the program
// needs says why and names the fix; listing the devices prints nothing.
// Needs root to become an unprivileged user.
TEST_F(TtyBackendTest, RefusedPermissionIsReportedWithTheFix) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    ASSERT_EQ(chmod(tty.c_str(), 0600), 0);
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
        setenv("ORVELLA_LOCK_DIR", "/tmp", 1);
        ftdi::TtyBackend other;
        FT_HANDLE h = nullptr;
        DWORD count = 0;
        bool ok = other.openEx("Kestrova Drevani", FT_OPEN_BY_DESCRIPTION, &h) == FT_DEVICE_NOT_OPENED;
        ok = other.createDeviceInfoList(&count) == FT_OK && count == 1 && ok;
        ok = other.openEx("TTY1", FT_OPEN_BY_SERIAL_NUMBER, &h) == FT_DEVICE_NOT_OPENED && ok;
        std::fflush(stdout);
        std::string why = other.openProblem();
        if (write(out[1], why.data(), why.size()) < 0) _exit(3);
        _exit(ok && h == nullptr ? 0 : 1);
    }
    close(out[1]);
    std::string said;
    char chunk[256];
    ssize_t k;
    while ((k = read(out[0], chunk, sizeof chunk)) > 0) said.append(chunk, static_cast<size_t>(k));
    close(out[0]);
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 2) << "could not become another user";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // Only the reason, once, from the last open: nothing printed on the way.
    EXPECT_EQ(said.find("permission denied on " + tty + " (serial TTY1)"), 0u) << said;
    EXPECT_NE(said.find("udev rule"), std::string::npos) << said;
    EXPECT_NE(said.find("'dialout' group"), std::string::npos) << said;
    EXPECT_EQ(said.find("permission denied", 1), std::string::npos) << said;
}

// errno of a plain open() of the terminal, as a program outside ours (a
// terminal program) does it; without CAP_SYS_ADMIN even when run as root,
// since that capability passes an exclusive terminal.
int plainOpenError(const std::string& tty) {
    pid_t child = fork();
    if (child == 0) {
        __user_cap_header_struct head{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct caps[2];
        if (syscall(SYS_capget, &head, caps) != 0) _exit(250);
        caps[CAP_SYS_ADMIN / 32].effective &= ~(1u << (CAP_SYS_ADMIN % 32));
        if (syscall(SYS_capset, &head, caps) != 0) _exit(251);
        int fd = open(tty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        _exit(fd >= 0 ? 0 : errno);
    }
    int status = -1;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The claim: while kept, the device is this program's for the whole run,
// across the transactions' handles; another program of ours is refused by
// the lock (and told by whom), a terminal program by the kernel (EBUSY).
// Let go, the lock file goes and anyone may open the terminal.
TEST_F(TtyBackendTest, ClaimHoldsTheDeviceForTheRunThenLetsItGo) {
    const std::string lockFile = ftdi::TtyBackend::lockFileFor(tty);
    ftdi::TtyBackend other;
    backend.claim(true);
    for (int transaction = 0; transaction < 2; ++transaction) {
        FT_HANDLE h = openPedal();
        ASSERT_NE(h, nullptr);
        struct stat st;
        ASSERT_EQ(stat(lockFile.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0644u);     // readable by all, written by its owner only
        EXPECT_EQ(backend.close(h), FT_OK);
        FT_HANDLE refused = nullptr;
        EXPECT_EQ(other.openEx("TTY1", FT_OPEN_BY_SERIAL_NUMBER, &refused), FT_DEVICE_NOT_OPENED);
        EXPECT_EQ(other.openProblem(), "the pedal is in use by another program (pid " + std::to_string(getpid()) + ")");
        EXPECT_EQ(plainOpenError(tty), EBUSY);
    }
    backend.claim(false);
    EXPECT_NE(access(lockFile.c_str(), F_OK), 0) << "the lock file stays after the port was let go";
    EXPECT_EQ(plainOpenError(tty), 0);
    FT_HANDLE h = nullptr;
    EXPECT_EQ(other.openEx("TTY1", FT_OPEN_BY_SERIAL_NUMBER, &h), FT_OK);
    other.close(h);
}

// A lock file left behind: one of a program that is gone is taken over; its
// late-reply note is waited for only when this user wrote it, since another
// user's note would make every program wait.
TEST_F(TtyBackendTest, LeftLockIsTakenOverAndOnlyOurOwnLateNoteIsTrusted) {
    pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string lockFile = ftdi::TtyBackend::lockFileFor(tty);
    struct Case { uid_t owner; bool waits; };
    const Case cases[] = {{geteuid(), true}, {65534, false}};
    for (const Case& c : cases) {
        if (c.owner != geteuid() && geteuid() != 0) continue;     // needs root to own a file as another user
        struct timespec t;
        clock_gettime(CLOCK_REALTIME, &t);
        long long until = static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000 + 1500;
        FILE* f = fopen(lockFile.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fprintf(f, "%ld\nlate %lld\n", static_cast<long>(gone), until);
        fclose(f);
        ASSERT_EQ(chown(lockFile.c_str(), c.owner, c.owner), 0);
        auto start = std::chrono::steady_clock::now();
        FT_HANDLE h = openPedal();
        double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(took >= 1.0, c.waits) << "owner " << c.owner << " took " << took << " s";
        struct stat st;
        ASSERT_EQ(stat(lockFile.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, geteuid());
        std::ifstream in(lockFile);
        long pid = 0;
        in >> pid;
        EXPECT_EQ(pid, static_cast<long>(getpid()));
        backend.close(h);
    }
}

TEST_F(TtyBackendTest, StalledBridgeHoldsWhatIsWrittenUntilPurged) {
    ASSERT_TRUE(pedalregistry::write(dir, {"Kestrova Drevani", "TTY1", tty, true, 0}));
    FT_HANDLE h = openPedal();
    uint8_t header[25] = {0x10};
    DWORD n = 0, rx = 0, tx = 0, ev = 0;
    EXPECT_EQ(backend.write(h, header, 25, &n), FT_OK);
    EXPECT_EQ(backend.getStatus(h, &rx, &tx, &ev), FT_OK);
    EXPECT_EQ(tx, 25u);
    EXPECT_EQ(backend.purge(h, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    EXPECT_EQ(backend.getStatus(h, &rx, &tx, &ev), FT_OK);
    EXPECT_EQ(tx, 0u);
    backend.close(h);
}

// An unplugged bridge: the kernel hangs its terminal up, which then reads as
// empty but polls readable. The read must end with an error, not spin.
TEST_F(TtyBackendTest, ReadingAHungUpTerminalFailsAtOnce) {
    if (geteuid() != 0) GTEST_SKIP() << "hanging a terminal up needs root";
    FT_HANDLE h = openPedal();
    ASSERT_EQ(backend.setTimeouts(h, 3000, 1000), FT_OK);
    ASSERT_EQ(ioctl(keep, TIOCVHANGUP), 0);
    uint8_t in[8];
    DWORD n = 99;
    std::clock_t cpu = std::clock();
    EXPECT_EQ(backend.read(h, in, 8, &n), FT_IO_ERROR);
    EXPECT_EQ(n, 0u);
    EXPECT_LT(double(std::clock() - cpu) / CLOCKS_PER_SEC, 0.5);
    backend.close(h);
}

TEST_F(TtyBackendTest, WaitingOnAHungUpDeviceDoesNotSpin) {
    FT_HANDLE h = openPedal();
    close(keep);
    close(master);      // the pedal went away: the terminal hangs up
    keep = master = -1;
    std::clock_t cpu = std::clock();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 40; ++i) backend.waitForData(h, 5);
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(took, 0.06);      // every wait blocked a while
    EXPECT_LT(double(std::clock() - cpu) / CLOCKS_PER_SEC, 0.1);
    backend.close(h);
}

}  // namespace

namespace {

// A miniature sysfs: two FTDI bridges (listed out of order) and one other adapter.
std::string miniatureSysfs() {
    char pattern[] = "/tmp/orvella-sysfs-XXXXXX";
    std::string root = mkdtemp(pattern);
    auto sh = [](const std::string& cmd) { EXPECT_EQ(system(cmd.c_str()), 0) << cmd; };
    sh("cd " + root + " && mkdir -p bus drivers/ftdi_sio drivers/pl2303"
       " devices/usb1/1-1/1-1:1.0/ttyUSB10 devices/usb1/1-2/1-2:1.0/ttyUSB2 devices/usb1/1-3/1-3:1.0/ttyUSB0"
       " && printf 'Kestrova Drevani\\n' > devices/usb1/1-1/product && printf 'FTA1\\n' > devices/usb1/1-1/serial"
       " && printf 'Kestrova Drevani\\n' > devices/usb1/1-2/product && printf 'FTB2\\n' > devices/usb1/1-2/serial"
       " && printf 'Other\\n' > devices/usb1/1-3/product"
       " && ln -s ../drivers/ftdi_sio devices/usb1/1-1/1-1:1.0/ttyUSB10/driver"
       " && ln -s ../drivers/ftdi_sio devices/usb1/1-2/1-2:1.0/ttyUSB2/driver"
       " && ln -s ../drivers/pl2303 devices/usb1/1-3/1-3:1.0/ttyUSB0/driver"
       " && ln -s ../devices/usb1/1-1/1-1:1.0/ttyUSB10 bus/ttyUSB10"
       " && ln -s ../devices/usb1/1-2/1-2:1.0/ttyUSB2 bus/ttyUSB2"
       " && ln -s ../devices/usb1/1-3/1-3:1.0/ttyUSB0 bus/ttyUSB0");
    return root;
}

TEST(RealDevices, FtdiBridgesComeWithTheirUsbStringsInTtyOrder) {
    std::string root = miniatureSysfs();
    auto found = ftdi::realDevices(root + "/bus");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].path, "/dev/ttyUSB2");
    EXPECT_EQ(found[0].serial, "FTB2");
    EXPECT_EQ(found[0].description, "Kestrova Drevani");
    EXPECT_EQ(found[1].path, "/dev/ttyUSB10");
    EXPECT_EQ(found[1].serial, "FTA1");
    EXPECT_TRUE(ftdi::realDevices(root + "/missing").empty());
    EXPECT_EQ(system(("rm -rf " + root).c_str()), 0);
}

TEST(RealDevices, ComeBeforeVirtualPedalsUnlessLeftOut) {
    std::string root = miniatureSysfs();
    setenv("ORVELLA_PEDAL_DIR", root.c_str(), 1);
    ASSERT_TRUE(pedalregistry::write(root, {"Kestrova Drevani", "VIRT1", "/dev/null", false, 0}));
    unsetenv("ORVELLA_VIRTUAL_ONLY");
    auto all = ftdi::allDevices(root + "/bus");
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].serial, "FTB2");
    EXPECT_EQ(all[1].serial, "FTA1");
    EXPECT_EQ(all[2].serial, "VIRT1");
    setenv("ORVELLA_VIRTUAL_ONLY", "0", 1);
    EXPECT_EQ(ftdi::allDevices(root + "/bus").size(), 3u);
    setenv("ORVELLA_VIRTUAL_ONLY", "1", 1);
    all = ftdi::allDevices(root + "/bus");
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].serial, "VIRT1");
    unsetenv("ORVELLA_VIRTUAL_ONLY");
    unsetenv("ORVELLA_PEDAL_DIR");
    EXPECT_EQ(system(("rm -rf " + root).c_str()), 0);
}

}  // namespace

namespace {

// Whatever arrived before a command is not its reply: a pedal that sends a
// stray byte while the line is idle, with the device already open, still
// gets its status byte read as the reply to the next command.
TEST(TtyBackendStray, AStrayByteBeforeACommandIsNotItsReply) {
    testpedal::PedalFolder folder;
    testpedal::VirtualPedal pedal(folder);
    std::string error;
    ASSERT_TRUE(pedal.start(&error)) << error;
    PedalLink link;
    link.setSink(PedalLink::quiet());
    ASSERT_TRUE(link.selectSerial("VP000001"));
    ASSERT_TRUE(link.getOneByte(protocol::GetStatus).ok());
    const uint8_t status = link.reply()[0];
    ASSERT_TRUE(pedal.setFaults({"stray-byte"}));
    ftdi::TtyBackend backend;
    FT_HANDLE h = nullptr;
    ASSERT_EQ(backend.openEx("VP000001", FT_OPEN_BY_SERIAL_NUMBER, &h), FT_OK);
    ASSERT_EQ(backend.setTimeouts(h, 1000, 1000), FT_OK);
    for (int command = 0; command < 3; ++command) {
        DWORD queued = 0;
        auto start = std::chrono::steady_clock::now();
        while (backend.queueStatus(h, &queued) == FT_OK && queued == 0 &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
            backend.waitForData(h, 50);
        ASSERT_GT(queued, 0u) << "no stray byte came";
        uint8_t get = protocol::GetStatus, reply = 0;
        DWORD n = 0;
        ASSERT_EQ(backend.write(h, &get, 1, &n), FT_OK);
        ASSERT_EQ(backend.read(h, &reply, 1, &n), FT_OK);
        ASSERT_EQ(n, 1u);
        EXPECT_EQ(reply, status) << "command " << command;
    }
    backend.close(h);
}

}  // namespace
