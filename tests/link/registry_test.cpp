// Virtual pedal registrations: the file format the pedal writes and the link reads.
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
        std::string cmd = "rm -rf " + dir;
        ASSERT_EQ(system(cmd.c_str()), 0);
    }
    std::string dir;
};

TEST_F(RegistryTest, WrittenEntriesComeBackInFileNameOrder) {
    ASSERT_TRUE(pedalregistry::write(dir, {"Kestrova Drevani", "B2", "/dev/pts/9", false}));
    ASSERT_TRUE(pedalregistry::write(dir, {"Kestrova Drevani", "A1", "/dev/pts/8", true}));
    std::ofstream(dir + "/broken.pedal") << "description=no serial\n";
    std::ofstream(dir + "/notes.txt") << "serial=X\ntty=/dev/null\n";
    auto list = pedalregistry::list(dir);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].serial, "A1");
    EXPECT_TRUE(list[0].txStalled);
    EXPECT_EQ(list[1].tty, "/dev/pts/9");
    EXPECT_EQ(list[1].description, "Kestrova Drevani");
    EXPECT_TRUE(pedalregistry::remove(dir, "A1"));
    EXPECT_EQ(pedalregistry::list(dir).size(), 1u);
}

TEST_F(RegistryTest, SerialNumbersCannotEscapeTheFolder) {
    EXPECT_EQ(pedalregistry::fileFor(dir, "../x/y"), dir + "/___x_y.pedal");
}

TEST_F(RegistryTest, VirtualPedalsFollowRealDevicesAndOpenFailsCleanly) {
    ASSERT_TRUE(pedalregistry::write(dir, {"Kestrova Drevani", "GONE1", "/nonexistent/tty", false}));
    auto all = ftdi::allDevices();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back().serial, "GONE1");
    EXPECT_EQ(all.size(), ftdi::realDevices().size() + 1);
    ftdi::TtyBackend backend;
    FT_HANDLE h = nullptr;
    EXPECT_EQ(backend.openEx("GONE1", FT_OPEN_BY_SERIAL_NUMBER, &h), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(backend.openEx("NOBODY", FT_OPEN_BY_SERIAL_NUMBER, &h), FT_DEVICE_NOT_FOUND);
}

}  // namespace
