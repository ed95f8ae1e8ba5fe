// The link talking to real orvella-pedal processes over pseudo-terminals.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <cstring>

#include "pedal/PedalFaults.h"
#include "tests/support/pedal/TestPedal.h"
#include "link/OV_UsbController.h"
#include "link/PedalRegistry.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testpedal::PedalFolder;
using testpedal::PedalOptions;
using testpedal::VirtualPedal;

PedalOptions withSerial(const std::string& serial) {
    PedalOptions o;
    o.serial = serial;
    return o;
}

class EndToEnd : public ::testing::Test {
protected:
    EndToEnd() : usb(415, 445, 200, 24) {
        for (int i = 0; i < 8; ++i) usb.presetAddress[i] = static_cast<uint8_t>(2 * i);
    }
    // Enumerates, keeping stdout out of the test output.
    bool connect() {
        ::testing::internal::CaptureStdout();
        bool ok = usb.openByDescription();
        lastOutput = ::testing::internal::GetCapturedStdout();
        return ok;
    }
    void quiet() { ::testing::internal::CaptureStdout(); }
    std::string heard() { return lastOutput = ::testing::internal::GetCapturedStdout(); }

    static Bytes image(uint8_t seed) {
        Bytes b(512);
        for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(seed + 13 * i);
        b[0] = 0x01;
        return b;
    }

    PedalFolder folder;
    OV_UsbController usb;
    std::string lastOutput;
};

// True once bytes wait on the pedal's terminal while no transaction has it
// open (the late reply has landed there), within ten seconds.
bool lateByteArrived(const std::string& dir) {
    auto entries = pedalregistry::list(dir);
    if (entries.size() != 1) return false;
    int fd = open(entries[0].tty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    pollfd p{fd, POLLIN, 0};
    bool arrived = poll(&p, 1, 10000) > 0 && (p.revents & POLLIN);
    close(fd);
    return arrived;
}

const uint8_t params[12] = {0x21, 7, 23, 10, 50, 180, 20, 0, 100, 125, 40, 60};
const uint8_t title[12] = {'E', 'n', 'd', ' ', 't', 'o', ' ', 'e', 'n', 'd', ' ', ' '};

TEST_F(EndToEnd, StoredPresetReadsBackAndSurvivesARestart) {
    auto pedal = std::make_unique<VirtualPedal>(folder, withSerial("E2E001"));
    std::string error;
    ASSERT_TRUE(pedal->start(&error)) << error;
    ASSERT_TRUE(connect());
    EXPECT_STREQ(usb.serialNumber[0], "E2E001");
    EXPECT_EQ(usb.deviceCount, 1u);

    Bytes img = image(3);
    quiet();
    EXPECT_EQ(usb.storePreset(4, params, title, img.data()), 0);
    EXPECT_EQ(Bytes(usb.reply(), usb.reply() + 512), img);
    ASSERT_TRUE(pedal->stop());

    pedal = std::make_unique<VirtualPedal>(folder, withSerial("E2E001"));
    ASSERT_TRUE(pedal->start(&error)) << error;
    EXPECT_TRUE(usb.readPreset(4));
    heard();
    EXPECT_EQ(0, std::memcmp(usb.reply(), params, 12));
    EXPECT_EQ(0, std::memcmp(usb.reply() + 12, title, 12));

    PedalState state;
    ASSERT_TRUE(pedal->state(state));
    EXPECT_EQ(0, std::memcmp(state.presets[4].image, img.data(), 512));
    EXPECT_EQ(0, std::memcmp(state.playing, img.data(), 512));   // reading a preset plays it
}

// The state file is replaced by a rename, never rewritten where it lies: a
// second name for the old file keeps the old contents.
TEST_F(EndToEnd, StateIsReplacedNotRewrittenAndAWrongRecordShowsOnlyOnReadBack) {
    PedalOptions options = withSerial("E2E009");
    options.faults = {"keep-wrong-record"};
    VirtualPedal pedal(folder, options);
    std::string error;
    ASSERT_TRUE(pedal.start(&error)) << error;
    const std::string oldName = folder.path() + "/old.state";
    ASSERT_EQ(link(pedal.statePath().c_str(), oldName.c_str()), 0);
    PedalState before;
    std::string loadError;
    ASSERT_TRUE(before.load(oldName, loadError)) << loadError;

    ASSERT_TRUE(connect());
    Bytes img = image(9);
    quiet();
    EXPECT_EQ(usb.storePreset(2, params, title, img.data()), 0);
    EXPECT_EQ(Bytes(usb.reply(), usb.reply() + 512), img);     // the echo is right
    EXPECT_TRUE(usb.readAll());
    heard();
    EXPECT_EQ(0, std::memcmp(usb.reply() + 24, params, 12));
    EXPECT_EQ(0, std::memcmp(usb.reply() + 96 + 24, title, 11));
    EXPECT_NE(usb.reply()[96 + 24 + 11], title[11]);           // the kept title is not

    PedalState old;
    ASSERT_TRUE(old.load(oldName, loadError)) << loadError;
    uint8_t oldBank[192], bankBefore[192];
    old.bank(oldBank);
    before.bank(bankBefore);
    EXPECT_EQ(0, std::memcmp(oldBank, bankBefore, 192));
    EXPECT_EQ(0, std::memcmp(old.playing, before.playing, 512));
    struct stat a, b;
    ASSERT_EQ(stat(oldName.c_str(), &a), 0);
    ASSERT_EQ(stat(pedal.statePath().c_str(), &b), 0);
    EXPECT_NE(a.st_ino, b.st_ino);
    EXPECT_EQ(access((pedal.statePath() + ".tmp").c_str(), F_OK), -1);
}

TEST_F(EndToEnd, ReadAllReturnsTheFactoryBankAndTheLogShowsEachCommand) {
    std::string factory = folder.path() + "/factoryset.fap";
    Bytes bank(192);
    for (size_t i = 0; i < bank.size(); ++i) bank[i] = static_cast<uint8_t>(i);
    FILE* f = std::fopen(factory.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(bank.data(), 1, bank.size(), f);
    std::fclose(f);
    PedalOptions o = withSerial("E2E002");
    o.factory = factory;
    VirtualPedal pedal(folder, o);
    ASSERT_TRUE(pedal.start());
    ASSERT_TRUE(connect());
    quiet();
    EXPECT_TRUE(usb.readAll());
    EXPECT_TRUE(usb.getOneByte(0x50));
    heard();
    EXPECT_EQ(usb.reply()[0], 0xA1);   // normal firmware 2.1
    quiet();
    ASSERT_TRUE(usb.readAll());
    heard();
    EXPECT_EQ(Bytes(usb.reply(), usb.reply() + 192), bank);
    quiet();
    EXPECT_EQ(usb.oneByte(0x30, 0x42), 0);
    Bytes preview = image(9);
    EXPECT_EQ(usb.writePreview(preview.data()), 0);
    EXPECT_TRUE(usb.getOneByte(0x20));
    heard();
    EXPECT_EQ(usb.reply()[0], 0x42);

    auto log = pedal.commands();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[0].name, "read-all");
    EXPECT_EQ(log[0].replied, 192u);
    EXPECT_EQ(log[1].name, "status");
    EXPECT_EQ(log[3].bytes, (Bytes{0x30, 0x42}));
    EXPECT_EQ(log[4].name, "preview");
    EXPECT_EQ(log[4].bytes, preview);
    EXPECT_EQ(log[4].replied, 0u);
}

TEST_F(EndToEnd, TwoPedalsAreListedInOrderAndEachAnswersForItself) {
    VirtualPedal first(folder, withSerial("PEDALA"));
    VirtualPedal second(folder, withSerial("PEDALB"));
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(connect());
    EXPECT_EQ(usb.deviceCount, 2u);
    EXPECT_STREQ(usb.serialNumber[0], "PEDALA");
    EXPECT_STREQ(usb.serialNumber[1], "PEDALB");
    EXPECT_NE(lastOutput.find("setups successful. \nUSB Parameters, Timeouts, and Baud-rate setups FAILED. \n"),
              std::string::npos);

    std::strcpy(usb.serialNumber[0], "PEDALB");     // the user picked the second pedal
    quiet();
    EXPECT_EQ(usb.oneByte(0xD0, 150), 0);
    heard();
    ASSERT_EQ(second.waitForCommands(1).size(), 1u);
    EXPECT_TRUE(first.commands().empty());
    EXPECT_EQ(second.commands()[0].bytes, (Bytes{0xD0, 0x96}));
}

TEST_F(EndToEnd, CorruptedEchoReachesTheCallerOnceOrAlways) {
    VirtualPedal pedal(folder, withSerial("E2E003"));
    ASSERT_TRUE(pedal.start());
    ASSERT_TRUE(connect());
    Bytes img = image(5);
    ASSERT_TRUE(pedal.setFaults({"corrupt-echo"}));
    quiet();
    EXPECT_EQ(usb.storePreset(0, params, title, img.data()), 0);     // the link does not compare
    EXPECT_NE(Bytes(usb.reply(), usb.reply() + 512), img);
    EXPECT_EQ(usb.storePreset(0, params, title, img.data()), 0);
    EXPECT_EQ(Bytes(usb.reply(), usb.reply() + 512), img);             // once only
    ASSERT_TRUE(pedal.setFaults({"corrupt-echo-always"}));
    Bytes page(64, 0x77);
    EXPECT_EQ(usb.writePage(0x0100, page.data()), 0);
    heard();
    EXPECT_NE(Bytes(usb.reply(), usb.reply() + 64), page);
    auto log = pedal.commands();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_TRUE(log[1].corrupted);
    EXPECT_FALSE(log[3].corrupted);
    EXPECT_TRUE(log[4].corrupted);
}

TEST_F(EndToEnd, UnpluggedPedalIsAFailedOpenUntilPluggedBackIn) {
    VirtualPedal pedal(folder, withSerial("E2E004"));
    ASSERT_TRUE(pedal.start());
    ASSERT_TRUE(connect());
    ASSERT_TRUE(pedal.unplug());
    quiet();
    EXPECT_FALSE(usb.getOneByte(0x50));
    EXPECT_EQ(heard(), "Device FAILED to open, error code : 2 \n\n");
    EXPECT_EQ(usb.deviceCount, 0u);
    EXPECT_FALSE(connect());
    ASSERT_TRUE(pedal.plugIn());
    ASSERT_TRUE(connect());
    quiet();
    EXPECT_TRUE(usb.getOneByte(0x50));
    heard();
}

TEST_F(EndToEnd, SilentAndStalledPedalsTimeOut) {
    VirtualPedal pedal(folder, withSerial("E2E005"));
    ASSERT_TRUE(pedal.start());
    ASSERT_TRUE(connect());
    ASSERT_TRUE(pedal.setFaults({"no-reply"}));
    quiet();
    EXPECT_FALSE(usb.readPreset(0));
    EXPECT_NE(heard().find("Read parameters TIMEOUT. \n\nNumber of bytes received : 0 \n\n"), std::string::npos);
    ASSERT_TRUE(pedal.setFaults({"short-reply"}));
    quiet();
    EXPECT_FALSE(usb.readAll());
    EXPECT_NE(heard().find("Number of bytes received : 96 \n\n"), std::string::npos);
    ASSERT_TRUE(pedal.setFaults({"stuck-tx"}));
    Bytes img = image(1);
    quiet();
    EXPECT_EQ(usb.storePreset(0, params, title, img.data()), 100);
    EXPECT_NE(heard().find("Number of transmitted bytes get read : 0 \n\n"), std::string::npos);
    ASSERT_TRUE(pedal.setFaults({}));
    quiet();
    EXPECT_TRUE(usb.readPreset(0));     // the pedal is usable again
    heard();
}

TEST_F(EndToEnd, SlowRepliesCountAgainstTheLimitAndWireSpeedPacesBytes) {
    PedalOptions o = withSerial("E2E008");
    o.wireSpeed = true;
    VirtualPedal pedal(folder, o);
    ASSERT_TRUE(pedal.start());
    ASSERT_TRUE(connect());
    quiet();
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(usb.readAll());
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(took, 193 * 10 / 115200.0);     // 193 bytes cannot cross the wire faster
    ASSERT_TRUE(pedal.setFaults({"slow-reply=0.5"}));
    EXPECT_TRUE(usb.getOneByte(0x50));
    ASSERT_TRUE(pedal.setFaults({"slow-reply=1.6"}));
    EXPECT_FALSE(usb.getOneByte(0x50));
    EXPECT_NE(heard().find("Get One Byte TIMEOUT. \n\n"), std::string::npos);
    // The late status byte must not pass for the next reply.
    ASSERT_EQ(pedal.waitForCommands(3).size(), 3u);
    ASSERT_TRUE(pedal.setFaults({}));
    ASSERT_TRUE(lateByteArrived(folder.path()));
    quiet();
    EXPECT_EQ(usb.oneByte(0x30, 0x42), 0);
    EXPECT_TRUE(usb.getOneByte(0x20));
    heard();
    EXPECT_EQ(usb.reply()[0], 0x42);
}

TEST_F(EndToEnd, FirmwareUpdateModeTakesPagesAndResumes) {
    PedalOptions o = withSerial("E2E006");
    o.updateMode = true;
    o.firmware = 0x23;
    VirtualPedal pedal(folder, o);
    ASSERT_TRUE(pedal.start());
    ASSERT_TRUE(connect());
    quiet();
    ASSERT_TRUE(usb.getOneByte(0x50));
    EXPECT_EQ(usb.reply()[0], 0x23);
    Bytes page(64);
    for (int i = 0; i < 64; ++i) page[i] = static_cast<uint8_t>(i * 3);
    EXPECT_EQ(usb.writePage(0x1234, page.data()), 0);
    EXPECT_EQ(Bytes(usb.reply(), usb.reply() + 64), page);
    EXPECT_EQ(usb.oneByte(0xB0, 0x24), 0);
    EXPECT_EQ(usb.sendOneMessage(0xFF), OV_UsbController::Written);
    ASSERT_TRUE(usb.getOneByte(0x50));
    heard();
    EXPECT_EQ(usb.reply()[0], 0xA4);
    auto log = pedal.commands();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(Bytes(log[1].bytes.begin(), log[1].bytes.begin() + 3), (Bytes{0xA0, 0x34, 0x12}));
}

TEST_F(EndToEnd, PedalRemovesItsRegistrationWhenStopped) {
    VirtualPedal pedal(folder, withSerial("E2E007"));
    ASSERT_TRUE(pedal.start());
    EXPECT_EQ(access(pedal.registration().c_str(), F_OK), 0);
    EXPECT_TRUE(pedal.stop());
    EXPECT_EQ(access(pedal.registration().c_str(), F_OK), -1);
    EXPECT_FALSE(connect());
    EXPECT_EQ(lastOutput, "FT_OpenEx (open by description) FAILED. Error code 2\n");
}

}  // namespace

namespace {

std::string runPedal(const std::string& args, int& status) {
    std::string out;
    // A pedal that should have refused to start is ended rather than awaited forever.
    FILE* p = popen(("timeout 20 " + VirtualPedal::program() + " " + args + " 2>&1").c_str(), "r");
    if (!p) return out;
    char chunk[512];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, p)) > 0) out.append(chunk, n);
    status = pclose(p);
    return out;
}

TEST(PedalProgram, HelpListsEveryOption) {
    int status = -1;
    std::string help = runPedal("--help", status);
    EXPECT_EQ(status, 0);
    for (const char* option : {"--dir", "--serial", "--description", "--state", "--log", "--faults", "--factory",
                               "--wire-speed", "--update-mode", "--firmware", "--fault", "--render", "--input",
                               "--help", "no-reply", "short-reply", "corrupt-echo", "slow-reply", "stuck-tx",
                               "unplug", "keep-wrong-record"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    EXPECT_NE(runPedal("--fault melt", status).find("unknown fault"), std::string::npos);
    EXPECT_NE(status, 0);
}

TEST(PedalProgram, RefusesASerialNumberAnotherLivePedalHas) {
    PedalFolder folder;
    VirtualPedal pedal(folder, withSerial("TWIN1"));
    ASSERT_TRUE(pedal.start());
    int status = -1;
    std::string out = runPedal("--dir '" + folder.path() + "' --serial TWIN1", status);
    EXPECT_NE(out.find("already runs"), std::string::npos) << out;
    EXPECT_NE(status, 0);
    EXPECT_EQ(access(pedal.registration().c_str(), F_OK), 0);     // the first keeps its registration
    EXPECT_TRUE(pedal.stop());
}

TEST(PedalProgram, RefusesFaultValuesOutOfTheirRange) {
    for (const char* value : {"nan", "inf", "-inf", "-1", "3601", ""}) {
        int status = -1;
        std::string out = runPedal(std::string("--fault 'slow-reply=") + value + "'", status);
        EXPECT_NE(out.find(std::string("slow-reply takes a number of seconds from 0 to 3600, not \"") + value + "\""),
                  std::string::npos)
            << out;
        EXPECT_NE(status, 0);
    }
    // A byte kept wrong is one of the 24 of a record and its title.
    for (const char* value : {"-1", "24", "1x", ""}) {
        PedalFaults kept;
        std::string why;
        EXPECT_FALSE(kept.add(std::string("keep-wrong-byte=") + value, &why)) << value;
        EXPECT_NE(why.find("from 0 to 23"), std::string::npos) << why;
        EXPECT_EQ(kept.keepWrongByte, -1);
    }
    // The same from a faults file: the line is named and nothing is taken.
    char dir[] = "/tmp/orvella-faults-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    std::string path = std::string(dir) + "/p.faults", error;
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_TRUE(f);
    std::fputs("slow-reply=NaN\nno-reply\n", f);
    std::fclose(f);
    PedalFaults faults;
    EXPECT_FALSE(faults.loadFile(path, error));
    EXPECT_NE(error.find("not \"NaN\""), std::string::npos) << error;
    EXPECT_EQ(faults.slowSeconds, 0);
    EXPECT_TRUE(faults.noReply);
    std::remove(path.c_str());
    rmdir(dir);
}

TEST(PedalProgram, NamesTheRealSizeOfAStateFileItRefuses) {
    PedalFolder folder;
    const std::string big = folder.path() + "/big.state", sub = folder.path() + "/sub.state";
    FILE* f = std::fopen(big.c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_EQ(ftruncate(fileno(f), 1 << 20), 0);
    std::fclose(f);
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    int status = -1;
    std::string out = runPedal("--dir '" + folder.path() + "' --serial BIG1 --state '" + big + "'", status);
    EXPECT_NE(out.find("not a pedal state file (1048576 bytes)"), std::string::npos) << out;
    EXPECT_NE(status, 0);
    out = runPedal("--dir '" + folder.path() + "' --serial SUB1 --state '" + sub + "'", status);
    EXPECT_NE(out.find("not a pedal state file (not a file)"), std::string::npos) << out;
    EXPECT_NE(status, 0);
}

TEST(PedalProgram, StartsOverARegistrationNamingAnImpossibleProcess) {
    PedalFolder folder;
    VirtualPedal pedal(folder, withSerial("LEFT1"));
    for (const char* pid : {"4294967296", "4294967295"}) {
        FILE* f = std::fopen(pedal.registration().c_str(), "w");
        ASSERT_TRUE(f);
        std::fprintf(f, "description=Kestrova Drevani\nserial=LEFT1\ntty=/dev/null\npid=%s\n", pid);
        std::fclose(f);
        std::string error;
        ASSERT_TRUE(pedal.start(&error)) << pid << ": " << error;
        // Up once its own registration replaces the one left behind.
        bool registered = false;
        for (int i = 0; i < 2000 && !registered; ++i) {
            auto entries = pedalregistry::list(folder.path());
            registered = entries.size() == 1 && entries[0].pid > 0 && pedalregistry::alive(entries[0]);
            if (!registered) usleep(5000);
        }
        EXPECT_TRUE(registered) << pid;
        EXPECT_TRUE(pedal.stop()) << pid;
    }
}

TEST(PedalProgram, KeepsAStateFileItCannotReadAndRefusesToStart) {
    PedalFolder folder;
    VirtualPedal pedal(folder, withSerial("BAD1"));
    FILE* f = std::fopen(pedal.statePath().c_str(), "wb");
    ASSERT_TRUE(f);
    std::fputs("not a state", f);
    std::fclose(f);
    std::string error;
    EXPECT_FALSE(pedal.start(&error));
    struct stat st;
    ASSERT_EQ(stat(pedal.statePath().c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 11);
}

}  // namespace
