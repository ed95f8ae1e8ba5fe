// The serial port contract (the tty backend and the test double), and the
// serial-driver backend on a pseudo-terminal registered as a virtual pedal.
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
#include <functional>
#include <memory>
#include <ctime>
#include <string>

#include "tests/support/link/FakeBackend.h"
#include "link/PedalLink.h"
#include "link/PedalRegistry.h"
#include "link/TtyBackend.h"
#include "tests/support/pedal/TestPedal.h"

namespace {

using serialport::Port;
using PortPtr = std::unique_ptr<Port>;

// A pseudo-terminal registered as pedal TTY1; the test plays the pedal on its master side.
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
        ASSERT_TRUE(pedalregistry::write(dir, {"Kestrova Drevani", "TTY1", tty, 0}));
    }
    void TearDown() override {
        close(keep);
        close(master);
        unsetenv("ORVELLA_PEDAL_DIR");
        unsetenv("ORVELLA_VIRTUAL_ONLY");
        unsetenv("ORVELLA_LOCK_DIR");
        ASSERT_EQ(system(("rm -rf " + dir).c_str()), 0);
    }
    PortPtr openPedal() {
        PortPtr port;
        EXPECT_EQ(backend.open("TTY1", false, port, why), FT_OK) << why;
        return port;
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

    std::string dir, tty, why;
    int master = -1, keep = -1;
    serialport::TtyBackend backend;
};

// Waits (at most five seconds) until n bytes are queued on the port.
uint32_t awaitQueued(Port& port, uint32_t n) {
    uint32_t rx = 0, tx = 0;
    auto start = std::chrono::steady_clock::now();
    while (port.queues(rx, tx) == FT_OK && rx < n && std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
        port.waitForData(20);
    return rx;
}

// The contract, run against the tty backend and the test double alike: one
// port per device, bytes cross raw both ways and are counted while queued,
// a purge drops what came, rates outside the list are refused, an empty
// serial number names nothing, and a closed port opens again.
struct ContractCase {
    const char* name;
    serialport::Backend* backend;
    std::function<void(const std::string&)> pedalSends;    // the far side sends bytes
    std::function<std::string()> pedalGot;                 // what the far side received
};

TEST_F(TtyBackendTest, EveryBackendKeepsTheContract) {
    serialport::FakeBackend fake;
    fake.devices = {{"Kestrova Drevani", "TTY1"}};
    std::string fakeSends;
    fake.onQueueCheck = [&fakeSends] {
        serialport::FakeBackend::Bytes b(fakeSends.begin(), fakeSends.end());
        fakeSends.clear();
        return b;
    };
    const ContractCase cases[] = {
        {"tty", &backend, [this](const std::string& b) { ASSERT_EQ(write(master, b.data(), b.size()), ssize_t(b.size())); },
         [this] { return readMaster(4); }},
        {"test double", &fake, [&fakeSends](const std::string& b) { fakeSends += b; },
         [&fake] {
             auto w = fake.written();
             return std::string(w.begin(), w.end());
         }},
    };
    for (const ContractCase& c : cases) {
        SCOPED_TRACE(c.name);
        PortPtr port, second;
        ASSERT_EQ(c.backend->open("TTY1", false, port, why), FT_OK);
        EXPECT_EQ(port->device().serial, "TTY1");
        EXPECT_EQ(c.backend->open("TTY1", false, second, why), FT_DEVICE_NOT_OPENED);
        EXPECT_EQ(c.backend->open("", false, second, why), FT_DEVICE_NOT_FOUND);
        EXPECT_EQ(port->setup(115200, 500, 1000), FT_OK);
        EXPECT_EQ(port->setup(12345, 500, 1000), FT_INVALID_BAUD_RATE);
        const uint8_t out[4] = {0x40, 0x0A, 0x0D, 0x03};     // nothing translated or swallowed
        uint32_t n = 0;
        EXPECT_EQ(port->write(out, 4, n), FT_OK);
        EXPECT_EQ(n, 4u);
        EXPECT_EQ(c.pedalGot(), std::string("\x40\x0A\x0D\x03", 4));
        c.pedalSends(std::string("\x11\x13\x0D\x7F\x00", 5));
        EXPECT_EQ(awaitQueued(*port, 5), 5u);
        uint8_t in[8] = {};
        EXPECT_EQ(port->read(in, 5, n), FT_OK);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(in), n), std::string("\x11\x13\x0D\x7F\x00", 5));
        c.pedalSends("xyz");
        EXPECT_EQ(awaitQueued(*port, 3), 3u);
        EXPECT_EQ(port->purge(true, true), FT_OK);
        uint32_t rx = 9, tx = 9;
        EXPECT_EQ(port->queues(rx, tx), FT_OK);
        EXPECT_EQ(rx + tx, 0u);
        c.backend->claim(true);
        port.reset();
        EXPECT_EQ(c.backend->open("TTY1", false, port, why), FT_OK) << "a port closed while claimed opens again";
        port.reset();
        c.backend->claim(false);
    }
    EXPECT_EQ(fake.claims, 0);
}

TEST_F(TtyBackendTest, ReadTimesOutWithTheBytesThatCame) {
    PortPtr port = openPedal();
    ASSERT_EQ(port->setup(115200, 200, 1000), FT_OK);
    ASSERT_EQ(write(master, "abc", 3), 3);
    uint8_t in[16];
    uint32_t n = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port->read(in, 16, n), FT_OK);
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(n, 3u);
    EXPECT_GE(took, 0.19);
    EXPECT_LT(took, 1.0);
}

TEST_F(TtyBackendTest, RawEightNoneOneAndTheBaudRateStayAcrossPorts) {
    PortPtr port = openPedal();
    EXPECT_EQ(port->setup(115200, 0, 0), FT_OK);
    port.reset();
    port = openPedal();
    termios t;
    ASSERT_EQ(tcgetattr(keep, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG), 0u);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS | HUPCL), 0u);   // no parity, one stop bit, no flow control, no hang-up
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
}

TEST_F(TtyBackendTest, CutSerialNumberOpensItsDeviceButNoOtherPrefixDoes) {
    ASSERT_TRUE(pedalregistry::write(dir, {"Kestrova Drevani", "ABCDEFGHIJKLMNO", tty, 0}));
    ASSERT_TRUE(pedalregistry::remove(dir, "TTY1"));
    PortPtr port;
    EXPECT_EQ(backend.open("ABCDEFGHIJ", false, port, why), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(backend.open("ABCDEFGHIJK", false, port, why), FT_OK);
    ASSERT_NE(port, nullptr);
    port.reset();
    EXPECT_EQ(backend.open("ABCDEFGHIJKLMNO", false, port, why), FT_OK);
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
        serialport::TtyBackend other;
        PortPtr port;
        std::string problem;
        bool ok = other.open("Kestrova Drevani", true, port, problem) == FT_DEVICE_NOT_OPENED;
        ok = other.list().size() == 1 && ok;
        ok = other.open("TTY1", false, port, problem) == FT_DEVICE_NOT_OPENED && ok;
        std::fflush(stdout);
        if (write(out[1], problem.data(), problem.size()) < 0) _exit(3);
        _exit(ok && !port ? 0 : 1);
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
    const std::string lockFile = serialport::TtyBackend::lockFileFor(tty);
    serialport::TtyBackend other;
    backend.claim(true);
    for (int transaction = 0; transaction < 2; ++transaction) {
        PortPtr port = openPedal();
        ASSERT_NE(port, nullptr);
        struct stat st;
        ASSERT_EQ(stat(lockFile.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0644u);     // readable by all, written by its owner only
        port.reset();
        PortPtr refused;
        std::string problem;
        EXPECT_EQ(other.open("TTY1", false, refused, problem), FT_DEVICE_NOT_OPENED);
        EXPECT_EQ(problem, "the pedal is in use by another program (pid " + std::to_string(getpid()) + ")");
        EXPECT_EQ(plainOpenError(tty), EBUSY);
    }
    backend.claim(false);
    EXPECT_NE(access(lockFile.c_str(), F_OK), 0) << "the lock file stays after the port was let go";
    EXPECT_EQ(plainOpenError(tty), 0);
    PortPtr port;
    EXPECT_EQ(other.open("TTY1", false, port, why), FT_OK);
}

// A lock file left behind: one of a program that is gone is taken over; its
// late-reply note is waited for only when this user wrote it, since another
// user's note would make every program wait.
TEST_F(TtyBackendTest, LeftLockIsTakenOverAndOnlyOurOwnLateNoteIsTrusted) {
    pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string lockFile = serialport::TtyBackend::lockFileFor(tty);
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
        PortPtr port = openPedal();
        double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ASSERT_NE(port, nullptr);
        EXPECT_EQ(took >= 1.0, c.waits) << "owner " << c.owner << " took " << took << " s";
        struct stat st;
        ASSERT_EQ(stat(lockFile.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, geteuid());
        std::ifstream in(lockFile);
        long pid = 0;
        in >> pid;
        EXPECT_EQ(pid, static_cast<long>(getpid()));
    }
}

// An unplugged bridge: the kernel hangs its terminal up, which then reads as
// empty but polls readable. The read must end with an error, not spin.
TEST_F(TtyBackendTest, ReadingAHungUpTerminalFailsAtOnce) {
    if (geteuid() != 0) GTEST_SKIP() << "hanging a terminal up needs root";
    PortPtr port = openPedal();
    ASSERT_EQ(port->setup(115200, 3000, 1000), FT_OK);
    ASSERT_EQ(ioctl(keep, TIOCVHANGUP), 0);
    uint8_t in[8];
    uint32_t n = 99;
    std::clock_t cpu = std::clock();
    EXPECT_EQ(port->read(in, 8, n), FT_IO_ERROR);
    EXPECT_EQ(n, 0u);
    EXPECT_LT(double(std::clock() - cpu) / CLOCKS_PER_SEC, 0.5);
}

TEST_F(TtyBackendTest, WaitingOnAHungUpDeviceDoesNotSpin) {
    PortPtr port = openPedal();
    close(keep);
    close(master);      // the pedal went away: the terminal hangs up
    keep = master = -1;
    std::clock_t cpu = std::clock();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 40; ++i) port->waitForData(5);
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(took, 0.06);      // every wait blocked a while
    EXPECT_LT(double(std::clock() - cpu) / CLOCKS_PER_SEC, 0.1);
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
    auto found = serialport::realDevices(root + "/bus");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].port, "/dev/ttyUSB2");
    EXPECT_EQ(found[0].serial, "FTB2");
    EXPECT_EQ(found[0].description, "Kestrova Drevani");
    EXPECT_EQ(found[1].port, "/dev/ttyUSB10");
    EXPECT_EQ(found[1].serial, "FTA1");
    EXPECT_TRUE(serialport::realDevices(root + "/missing").empty());
    EXPECT_EQ(system(("rm -rf " + root).c_str()), 0);
}

TEST(RealDevices, ComeBeforeVirtualPedalsUnlessLeftOut) {
    std::string root = miniatureSysfs();
    setenv("ORVELLA_PEDAL_DIR", root.c_str(), 1);
    ASSERT_TRUE(pedalregistry::write(root, {"Kestrova Drevani", "VIRT1", "/dev/null", 0}));
    unsetenv("ORVELLA_VIRTUAL_ONLY");
    auto all = serialport::allDevices(root + "/bus");
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].serial, "FTB2");
    EXPECT_EQ(all[1].serial, "FTA1");
    EXPECT_EQ(all[2].serial, "VIRT1");
    setenv("ORVELLA_VIRTUAL_ONLY", "0", 1);
    EXPECT_EQ(serialport::allDevices(root + "/bus").size(), 3u);
    setenv("ORVELLA_VIRTUAL_ONLY", "1", 1);
    all = serialport::allDevices(root + "/bus");
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
    serialport::TtyBackend backend;
    PortPtr port;
    std::string why;
    ASSERT_EQ(backend.open("VP000001", false, port, why), FT_OK);
    ASSERT_EQ(port->setup(115200, 1000, 1000), FT_OK);
    for (int command = 0; command < 3; ++command) {
        ASSERT_GT(awaitQueued(*port, 1), 0u) << "no stray byte came";
        uint8_t get = protocol::GetStatus, reply = 0;
        uint32_t n = 0;
        ASSERT_EQ(port->write(&get, 1, n), FT_OK);
        ASSERT_EQ(port->read(&reply, 1, n), FT_OK);
        ASSERT_EQ(n, 1u);
        EXPECT_EQ(reply, status) << "command " << command;
    }
}

}  // namespace
