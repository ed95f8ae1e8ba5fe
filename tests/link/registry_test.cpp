// Virtual pedal registrations: the file format the pedal writes and the link reads.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>

#include "link/PedalRegistry.h"
#include "link/TtyBackend.h"

namespace {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orvella-registry-XXXXXX";
        dir = mkdtemp(pattern);
        setenv("ORVELLA_PEDAL_DIR", dir.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("ORVELLA_PEDAL_DIR");
        unsetenv("ORVELLA_VIRTUAL_ONLY");
        std::string cmd = "rm -rf " + dir;
        ASSERT_EQ(system(cmd.c_str()), 0);
    }
    std::string dir;
};

TEST_F(RegistryTest, WrittenEntriesComeBackInFileNameOrder) {
    ASSERT_TRUE(pedalregistry::write(dir, {"Kestrova Drevani", "B2", "/dev/pts/9", 0}));
    ASSERT_TRUE(pedalregistry::write(dir, {"Kestrova Drevani", "A1", "/dev/pts/8", 0}));
    std::ofstream(dir + "/broken.pedal") << "description=no serial\n";
    std::ofstream(dir + "/notes.txt") << "serial=X\ntty=/dev/null\n";
    auto list = pedalregistry::list(dir);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].serial, "A1");
    EXPECT_EQ(list[1].tty, "/dev/pts/9");
    EXPECT_EQ(list[1].description, "Kestrova Drevani");
    EXPECT_TRUE(pedalregistry::remove(dir, "A1"));
    EXPECT_EQ(pedalregistry::list(dir).size(), 1u);
}

TEST_F(RegistryTest, SerialNumbersCannotEscapeTheFolder) {
    EXPECT_EQ(pedalregistry::fileFor(dir, "../x/y"), dir + "/___x_y.pedal");
}

TEST_F(RegistryTest, VirtualPedalsFollowRealDevicesAndOpenFailsCleanly) {
    ASSERT_TRUE(pedalregistry::write(dir, {"Kestrova Drevani", "GONE1", "/nonexistent/tty", 0}));
    auto all = serialport::allDevices();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back().serial, "GONE1");
    EXPECT_EQ(all.size(), serialport::realDevices().size() + 1);
    serialport::TtyBackend backend;
    std::unique_ptr<serialport::Port> port;
    std::string why;
    EXPECT_EQ(backend.open("GONE1", false, port, why), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(port, nullptr);
    EXPECT_EQ(backend.open("NOBODY", false, port, why), FT_DEVICE_NOT_FOUND);
}

}  // namespace

namespace {

TEST_F(RegistryTest, RegistrationsOfDeadPedalsAreSkipped) {
    pedalregistry::Entry dead{"Kestrova Drevani", "DEAD1", "/dev/null", 0};
    dead.pid = 999999999;   // beyond any process number
    pedalregistry::Entry live{"Kestrova Drevani", "LIVE1", "/dev/null", 0};
    live.pid = static_cast<long>(getpid());
    ASSERT_TRUE(pedalregistry::write(dir, dead));
    ASSERT_TRUE(pedalregistry::write(dir, live));
    EXPECT_EQ(pedalregistry::list(dir).size(), 2u);
    auto all = serialport::allDevices();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back().serial, "LIVE1");
    EXPECT_EQ(all.size(), serialport::realDevices().size() + 1);
}

// A number pid_t cannot hold would wrap (4294967296 to 0: this process's
// group; 4294967295 to -1: every process) and look alive.
TEST_F(RegistryTest, RegistrationsNamingNoPossibleProcessAreSkipped) {
    setenv("ORVELLA_VIRTUAL_ONLY", "1", 1);
    for (const char* pid : {"4294967296", "4294967295", "-1", "0x10", "12ab", "99999999999999999999"}) {
        std::ofstream(dir + "/ODD.pedal") << "description=Kestrova Drevani\nserial=ODD\ntty=/dev/null\npid=" << pid
                                          << "\n";
        auto entries = pedalregistry::list(dir);
        ASSERT_EQ(entries.size(), 1u) << pid;
        EXPECT_EQ(entries[0].pid, -1) << pid;
        EXPECT_FALSE(pedalregistry::alive(entries[0])) << pid;
        EXPECT_TRUE(serialport::allDevices().empty()) << pid;
    }
    std::ofstream(dir + "/ODD.pedal") << "serial=ODD\ntty=/dev/null\npid=" << getpid() << "\n";
    EXPECT_TRUE(pedalregistry::alive(pedalregistry::list(dir).at(0)));
}

TEST_F(RegistryTest, OpenByDescriptionSkipsDevicesThatWillNotOpen) {
    setenv("ORVELLA_VIRTUAL_ONLY", "1", 1);     // a pedal plugged in stays out of this
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    ASSERT_TRUE(pedalregistry::write(dir, {"Kestrova Drevani", "A-GONE", "/nonexistent/tty", 0}));
    ASSERT_TRUE(pedalregistry::write(dir, {"Kestrova Drevani", "B-NULL", "/dev/null", 0}));   // no terminal
    ASSERT_TRUE(pedalregistry::write(dir, {"Kestrova Drevani", "C-LIVE", ptsname(master), 0}));
    serialport::TtyBackend backend;
    std::unique_ptr<serialport::Port> port, again;
    std::string why;
    ASSERT_EQ(backend.open("Kestrova Drevani", true, port, why), FT_OK);
    EXPECT_EQ(port->device().serial, "C-LIVE");
    EXPECT_EQ(backend.open("Kestrova Drevani", true, again, why), FT_DEVICE_NOT_OPENED);
    port.reset();
    close(master);
}

}  // namespace
