// orvella-cli end to end, as a script runs it, against virtual pedals: the
// bytes the pedal ends up holding, the files written, the exit codes, and
// what reaches the pedal's command log when a command refuses its input.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include <cmath>

#include "tests/cli/CliRun.h"
#include "audio/di_clips.h"
#include "audio/sound_render.h"
#include "dsp/WavFile.h"
#include "tests/support/pedal/TestPedal.h"
#include "presets/PresetFiles.h"
#include "sound/SoundModel.h"

using namespace clitest;

namespace {

// A record inside every range, varied by n (speakers from all four categories).
std::string record(int n) {
    const uint8_t speakers[] = {3, 23, 42, 59, 61, 66, 70, 77, 2, 40, 47, 68};
    uint8_t r[12] = {uint8_t(0x21 ^ (n & 0x1F)), speakers[n % 12], speakers[(n + 5) % 12], uint8_t(n * 5 % 63),
                     uint8_t(62 - n), uint8_t(150 - n), uint8_t(40 + n), uint8_t(10 + n), 100, uint8_t(100 + n),
                     uint8_t(50 + n), uint8_t(40 + n)};
    return std::string(reinterpret_cast<char*>(r), 12);
}

std::string title(const std::string& text) {
    std::string t = text.substr(0, 12);
    t.resize(12, ' ');
    return t;
}

// Eight records from `first` on, then their titles.
std::string bank(int first, const std::string& name) {
    std::string b;
    for (int i = 0; i < 8; ++i) b += record(first + i);
    for (int i = 0; i < 8; ++i) b += title(name + " " + std::to_string(i + 1));
    return b;
}

std::string pedalBank(const testpedal::VirtualPedal& pedal) {
    PedalState state;
    EXPECT_TRUE(pedal.state(state));
    uint8_t b[192];
    state.bank(b);
    return std::string(reinterpret_cast<char*>(b), 192);
}

int count(const std::vector<testpedal::LoggedCommand>& log, const std::string& name) {
    int n = 0;
    for (const testpedal::LoggedCommand& c : log) n += c.name == name;
    return n;
}

// A private HOME and HOMEDRIVE, a pedal folder and one pedal starting from bank(0, "Factory").
class CliOnPedal : public ::testing::Test {
protected:
    void SetUp() override {
        saveEnv("HOME");
        saveEnv("HOMEDRIVE");
        setenv("HOME", files.path().c_str(), 1);
        setenv("HOMEDRIVE", files.path().c_str(), 1);
        pedal = startPedal("VP000001", bank(0, "Factory"));
    }
    void TearDown() override {
        pedals.clear();
        for (auto& saved : savedEnv)
            if (saved.second.first) setenv(saved.first.c_str(), saved.second.second.c_str(), 1);
            else unsetenv(saved.first.c_str());
    }
    testpedal::VirtualPedal* startPedal(const std::string& serial, const std::string& factoryBank,
                                        std::vector<std::string> faults = {}) {
        testpedal::PedalOptions options;
        options.serial = serial;
        options.factory = files.path() + "/" + serial + ".factory";
        options.faults = faults;
        EXPECT_TRUE(writeFile(options.factory, factoryBank));
        pedals.emplace_back(new testpedal::VirtualPedal(folder, options));
        std::string error;
        EXPECT_TRUE(pedals.back()->start(&error)) << error;
        return pedals.back().get();
    }
    std::string file(const std::string& name) const { return files.path() + "/" + name; }
    void saveEnv(const char* name) {
        const char* v = std::getenv(name);
        savedEnv.push_back({name, {v != nullptr, v ? v : ""}});
    }

    TempFolder files;
    testpedal::PedalFolder folder;
    std::vector<std::unique_ptr<testpedal::VirtualPedal>> pedals;
    testpedal::VirtualPedal* pedal = nullptr;
    std::vector<std::pair<std::string, std::pair<bool, std::string>>> savedEnv;
};

TEST_F(CliOnPedal, BackupThenRestoreOfAChangedPedalBringsBackAllEightPresets) {
    // A nightly backup: no file named, so today's file in the preset folder.
    CliResult backup = runCli({"backup", "--quiet"});
    ASSERT_EQ(backup.code, 0) << backup.err;
    std::time_t now = std::time(nullptr);
    std::string path = presetfiles::backupPath(files.path(), *std::localtime(&now));
    EXPECT_EQ(backup.out, path + "\n");
    EXPECT_EQ(backup.err, "");
    ASSERT_EQ(readFile(path), bank(0, "Factory"));

    // The pedal changes: all eight presets replaced from another backup.
    ASSERT_TRUE(writeFile(file("other.bkp"), bank(20, "Other")));
    CliResult change = runCli({"restore", file("other.bkp")});
    ASSERT_EQ(change.code, 0) << change.err;
    ASSERT_EQ(pedalBank(*pedal), bank(20, "Other"));
    // Progress went to standard error as plain lines (not a terminal), the result to standard output.
    EXPECT_NE(change.err.find("restore: 8/8"), std::string::npos) << change.err;
    EXPECT_EQ(change.out, "Restored 8 presets from " + file("other.bkp") + " (verified)\n");

    CliResult restore = runCli({"restore", path, "-q"});
    ASSERT_EQ(restore.code, 0) << restore.err;
    EXPECT_EQ(restore.err, "");
    EXPECT_EQ(pedalBank(*pedal), bank(0, "Factory"));
    // Each image is the one the sound model composes for its record.
    PedalState state;
    ASSERT_TRUE(pedal->state(state));
    SoundModel model(dataFolder() + "/bin");
    for (int i = 0; i < 8; ++i) {
        model.apply(reinterpret_cast<const uint8_t*>(record(i).data()));
        EXPECT_EQ(std::memcmp(state.presets[i].image, model.image(), 512), 0) << "preset " << i + 1;
    }
    // Eight stores, then the whole bank read back for the comparison.
    std::vector<testpedal::LoggedCommand> log = pedal->commands();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().name, "read-all");
}

TEST_F(CliOnPedal, ACorruptedEchoIsRetriedOnceAndAPersistentOneIsAVerificationError) {
    std::vector<uint8_t> lop = presetfiles::encodeLop("Lead", reinterpret_cast<const uint8_t*>(record(3).data()),
                                                      reinterpret_cast<const uint8_t*>(title("Lead").data()));
    ASSERT_TRUE(writeFile(file("Lead.lop"), std::string(lop.begin(), lop.end())));

    ASSERT_TRUE(pedal->setFaults({"corrupt-echo"}));
    CliResult once = runCli({"write", "4", file("Lead.lop")});
    EXPECT_EQ(once.code, 0) << once.err;
    EXPECT_EQ(count(pedal->commands(), "store-image"), 2);
    EXPECT_NE(once.err.find("stored again and verified"), std::string::npos) << once.err;
    PedalState state;
    ASSERT_TRUE(pedal->state(state));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(state.presets[3].params), 12), record(3));

    ASSERT_TRUE(pedal->setFaults({"corrupt-echo-always"}));
    CliResult always = runCli({"write", "4", file("Lead.lop")});
    EXPECT_EQ(always.code, 6);
    EXPECT_EQ(count(pedal->commands(), "store-image"), 4);     // one retry, no more
    ASSERT_EQ(always.errLines().size(), 1u) << always.err;
    EXPECT_EQ(always.out, "");

    // A restore stops at the first preset that cannot be verified.
    ASSERT_TRUE(writeFile(file("other.bkp"), bank(20, "Other")));
    CliResult restore = runCli({"restore", file("other.bkp"), "--quiet"});
    EXPECT_EQ(restore.code, 6);
    EXPECT_EQ(count(pedal->commands(), "store-image"), 6);
    EXPECT_EQ(count(pedal->commands(), "read-all"), 0);
}

// A store the pedal took but never echoed may have changed the preset, and
// the message says so. The pedal answers the status check slowly and stops
// echoing meanwhile, so the store that follows it gets no reply.
TEST_F(CliOnPedal, AStoreThatBreaksOffSaysThePresetMayHoldADamagedCopy) {
    auto runWithoutEcho = [this](const std::vector<std::string>& args) {
        EXPECT_TRUE(pedal->setFaults({"slow-reply=0.6"}));
        size_t logged = pedal->commands().size();
        CliResult r;
        std::thread cli([&r, &args] { r = runCli(args); });
        EXPECT_EQ(pedal->waitForCommands(logged + 1).size(), logged + 1);     // the status check
        EXPECT_TRUE(pedal->setFaults({"no-reply"}));
        cli.join();
        return r;
    };
    std::vector<uint8_t> lop = presetfiles::encodeLop("Lead", reinterpret_cast<const uint8_t*>(record(3).data()),
                                                      reinterpret_cast<const uint8_t*>(title("Lead").data()));
    ASSERT_TRUE(writeFile(file("Lead.lop"), std::string(lop.begin(), lop.end())));
    CliResult write = runWithoutEcho({"write", "4", file("Lead.lop")});
    EXPECT_EQ(write.code, 5) << write.err;
    ASSERT_EQ(write.errLines().size(), 1u) << write.err;
    EXPECT_NE(write.err.find("Storing preset 4 failed on VP000001: "), std::string::npos) << write.err;
    EXPECT_NE(write.err.find("; preset 4 may now hold a damaged copy: write it again\n"), std::string::npos)
        << write.err;
    PedalState state;
    ASSERT_TRUE(pedal->state(state));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(state.presets[3].params), 12), record(3));   // it took it

    ASSERT_TRUE(writeFile(file("other.bkp"), bank(20, "Other")));
    CliResult restore = runWithoutEcho({"restore", file("other.bkp"), "--quiet"});
    EXPECT_EQ(restore.code, 5) << restore.err;
    // Preset 1 failed: no preset before it was stored, and the line does not say so.
    EXPECT_NE(restore.err.find("; preset 1 may now hold a damaged copy\n"), std::string::npos) << restore.err;
    EXPECT_EQ(restore.err.find("the presets before it are stored"), std::string::npos) << restore.err;
    ASSERT_TRUE(pedal->state(state));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(state.presets[0].params), 12), record(20));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(state.presets[1].params), 12), record(1));  // never sent
    EXPECT_EQ(count(pedal->commands(), "store-image"), 2);
}

// "Verified" means read back: a pedal that echoes every image right but keeps
// another title fails write and restore with status 6 after one retry, and
// restore speaks in the program's own notes, not the editor's retry lines.
TEST_F(CliOnPedal, VerifiedMeansReadBackAndRestoreSpeaksInItsOwnNotes) {
    std::vector<uint8_t> lop = presetfiles::encodeLop("Good", reinterpret_cast<const uint8_t*>(record(4).data()),
                                                      reinterpret_cast<const uint8_t*>(title("Checked").data()));
    ASSERT_TRUE(writeFile(file("Good.lop"), std::string(lop.begin(), lop.end())));
    ASSERT_TRUE(pedal->setFaults({"keep-wrong-record"}));
    CliResult write = runCli({"write", "5", file("Good.lop")});
    EXPECT_EQ(write.code, 6) << write.err;
    EXPECT_EQ(write.out, "");
    ASSERT_EQ(write.errLines().size(), 1u) << write.err;
    EXPECT_NE(write.err.find("preset 5: it read back differently from what was sent, also after storing it again"),
              std::string::npos)
        << write.err;
    EXPECT_NE(write.err.find("preset 5 may now hold a damaged copy: write it again"), std::string::npos);
    EXPECT_EQ(count(pedal->commands(), "store-image"), 2);
    EXPECT_EQ(count(pedal->commands(), "read-preset"), 2);
    // Each of the 24 bytes read back counts: the record's 12, then the title's.
    const std::string sent = record(4) + title("Checked");
    for (int n = 0; n < 24; ++n) {
        ASSERT_TRUE(pedal->setFaults({"keep-wrong-byte=" + std::to_string(n)}));
        EXPECT_EQ(runCli({"write", "5", file("Good.lop")}).code, 6) << "byte " << n;
        std::string kept = pedalBank(*pedal);
        EXPECT_NE(kept[n < 12 ? 48 + n : 96 + 48 + n - 12], sent[n]) << "byte " << n;
    }

    ASSERT_TRUE(pedal->setFaults({"keep-wrong-record"}));
    ASSERT_TRUE(writeFile(file("other.bkp"), bank(20, "Other")));
    CliResult restore = runCli({"restore", file("other.bkp")});
    EXPECT_EQ(restore.code, 6) << restore.err;
    EXPECT_NE(restore.err.find("orvella-cli: preset 1: it read back differently from what was sent"), std::string::npos)
        << restore.err;
    EXPECT_EQ(restore.err.find("the presets before it are stored"), std::string::npos) << restore.err;
    EXPECT_EQ(restore.err.find("-->"), std::string::npos) << restore.err;
    EXPECT_EQ(count(pedal->commands(), "store-image"), 2 + 48 + 2);   // preset 1 and its retry: 2 to 8 untouched
    EXPECT_EQ(count(pedal->commands(), "read-all"), 0);

    // A retry that cures an echo is a note of the program's own.
    ASSERT_TRUE(pedal->setFaults({"corrupt-echo"}));
    CliResult cured = runCli({"restore", file("other.bkp")});
    EXPECT_EQ(cured.code, 0) << cured.err;
    EXPECT_NE(cured.err.find("note: preset 1: the pedal's first echo differed from the image; stored again and "
                             "verified\n"),
              std::string::npos)
        << cured.err;
    EXPECT_EQ(cured.err.find("-->"), std::string::npos) << cured.err;
    EXPECT_EQ(pedalBank(*pedal), bank(20, "Other"));

    // A restore that stopped after storing some presets says so.
    ASSERT_TRUE(pedal->setFaults({}));
    size_t logged = pedal->commands().size();
    ASSERT_TRUE(writeFile(file("Good.bkp"), bank(40, "Later")));
    CliResult later;
    std::thread cli([&later, this] { later = runCli({"restore", file("Good.bkp")}); });
    // The status query, then preset 1's header, image and read-back.
    EXPECT_GE(pedal->waitForCommands(logged + 4).size(), logged + 4);
    EXPECT_TRUE(pedal->setFaults({"keep-wrong-record"}));
    cli.join();
    EXPECT_EQ(later.code, 6) << later.err;
    EXPECT_NE(later.err.find("; the presets before it are stored; preset "), std::string::npos) << later.err;
    EXPECT_NE(later.err.find(" may now hold a damaged copy\n"), std::string::npos) << later.err;
}

TEST_F(CliOnPedal, InputThatCannotBeUsedIsRefusedBeforeAByteIsSent) {
    // Backups one byte short, one byte long, empty and doubled.
    for (size_t size : {191u, 193u, 0u, 384u}) {
        std::string bad = file("bad" + std::to_string(size) + ".bkp");
        ASSERT_TRUE(writeFile(bad, bank(0, "X").substr(0, size) + std::string(size > 192 ? size - 192 : 0, 'x')));
        CliResult r = runCli({"restore", bad});
        EXPECT_EQ(r.code, 3) << size;
        ASSERT_EQ(r.errLines().size(), 1u) << r.err;
        EXPECT_NE(r.err.find("holds " + std::to_string(size) + " bytes"), std::string::npos) << r.err;
    }
    // Any 192 bytes are no backup: a plain text file of that size.
    std::string text;
    while (text.size() < 192) text += "Notes for the gig on Friday. ";
    ASSERT_TRUE(writeFile(file("notes.bkp"), text.substr(0, 192)));
    CliResult notes = runCli({"restore", file("notes.bkp")});
    EXPECT_EQ(notes.code, 3);
    EXPECT_NE(notes.err.find("preset 1: its left speaker is 111, which names no speaker"), std::string::npos)
        << notes.err;
    // A preset file too short to hold a record and a title.
    std::vector<uint8_t> lop = presetfiles::encodeLop("Short", reinterpret_cast<const uint8_t*>(record(1).data()),
                                                      reinterpret_cast<const uint8_t*>(title("S").data()));
    ASSERT_TRUE(writeFile(file("short.lop"), std::string(lop.begin(), lop.end() - 1)));
    EXPECT_EQ(runCli({"write", "1", file("short.lop")}).code, 3);
    EXPECT_EQ(runCli({"preview", file("short.lop")}).code, 3);
    EXPECT_EQ(runCli({"preview", file("missing.lop")}).code, 3);
    // A backup into a folder that does not exist, an export under a name that cannot be one.
    EXPECT_EQ(runCli({"backup", file("no/such/folder/x.bkp")}).code, 3);
    EXPECT_EQ(runCli({"export", "1", file("a:b.lop")}).code, 2);
    // Data for composing images that is not there.
    CliResult noData = runCli({"--data", file("nowhere"), "write", "1", file("short.lop")}, false);
    EXPECT_EQ(noData.code, 3);
    EXPECT_EQ(runCli({"--data", file("nowhere"), "restore", file("bad191.bkp")}, false).code, 3);

    EXPECT_TRUE(pedal->commands().empty());
    EXPECT_EQ(runCli({"status"}).code, 0);          // the log does record what arrives
    EXPECT_EQ(pedal->waitForCommands(2).size(), 2u);      // status, then the configuration
    EXPECT_FALSE(std::ifstream(file("no/such/folder/x.bkp")).good());
}

TEST_F(CliOnPedal, TwoPedalsWithoutPedalStopWithTheList) {
    testpedal::VirtualPedal* second = startPedal("VP000002", bank(30, "Second"));
    CliResult r = runCli({"read", "1"});
    EXPECT_EQ(r.code, 4);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("2 pedals found; choose one with --pedal SERIAL"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("  VP000001\tKestrova Drevani\t"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("  VP000002\tKestrova Drevani\t"), std::string::npos) << r.err;
    EXPECT_EQ(runCli({"--pedal", "VP000003", "read", "1"}).code, 4);
    EXPECT_TRUE(pedal->commands().empty());
    EXPECT_TRUE(second->commands().empty());

    CliResult picked = runCli({"read", "2", "--pedal", "VP000002"});
    EXPECT_EQ(picked.code, 0) << picked.err;
    EXPECT_NE(picked.out.find("title:         Second 2\n"), std::string::npos) << picked.out;
    EXPECT_FALSE(second->commands().empty());
    EXPECT_TRUE(pedal->commands().empty());

    CliResult list = runCli({"list"});
    EXPECT_EQ(list.code, 0);
    EXPECT_EQ(list.out.substr(0, 26), "VP000001\tKestrova Drevani\t");
    CliResult json = runCli({"list", "--json"});
    EXPECT_EQ(json.out.rfind("[{\"serial\": \"VP000001\", \"description\": \"Kestrova Drevani\", \"port\": ", 0), 0u)
        << json.out;
    EXPECT_NE(json.out.find(",\n {\"serial\": \"VP000002\""), std::string::npos) << json.out;

    // A shortened option before the command names the pedal as in full.
    CliResult shortened = runCli({"--ped", "VP000002", "-qv", "status"});
    EXPECT_EQ(shortened.code, 0) << shortened.err;
    EXPECT_NE(shortened.out.find("VP000002"), std::string::npos) << shortened.out;
    EXPECT_TRUE(pedal->commands().empty());
}

TEST_F(CliOnPedal, ConfigurationAndFirmware) {
    CliResult set = runCli({"config", "set", "--left", "volume", "--midi", "11"});
    ASSERT_EQ(set.code, 0) << set.err;
    PedalState state;
    ASSERT_TRUE(pedal->state(state));
    EXPECT_EQ(state.globalConfig, (2 << 6) | (0 << 4) | 10);    // right knob kept
    CliResult get = runCli({"config", "get"});
    EXPECT_EQ(get.out, "left knob:     Vol and Phase\nright knob:    Mic Position\nmidi channel:  11\n");
    // Every field not given is kept as the pedal holds it, none of them 0 here.
    ASSERT_EQ(runCli({"config", "set", "--right", "blend", "--midi", "6"}).code, 0);
    ASSERT_EQ(runCli({"config", "set", "--left", "blend"}).code, 0);
    ASSERT_TRUE(pedal->state(state));
    EXPECT_EQ(state.globalConfig, (1 << 6) | (1 << 4) | 5);
    ASSERT_EQ(runCli({"config", "set", "--midi", "16"}).code, 0);
    ASSERT_TRUE(pedal->state(state));
    EXPECT_EQ(state.globalConfig, (1 << 6) | (1 << 4) | 15);

    // A pedal in normal operation refuses an update; one in update mode takes it page by page.
    std::string package = std::string("[\n1\nnotes\n") + std::string(130, '\x5a');
    ASSERT_TRUE(writeFile(file("new.fdt"), package));
    EXPECT_EQ(runCli({"firmware", file("new.fdt")}).code, 7);
    EXPECT_EQ(count(pedal->commands(), "page"), 0);
    pedals.clear();
    testpedal::PedalOptions options;
    options.serial = "VP000009";
    options.updateMode = true;
    testpedal::VirtualPedal loader(folder, options);
    ASSERT_TRUE(loader.start());
    EXPECT_EQ(runCli({"read", "1"}).code, 7);
    // A package is checked before anything is sent: a text file, binary notes.
    for (const std::string& bad : {std::string("LICENCE\nVersion 2, June 1991\n\nEveryone may copy it.\n"),
                                   "[\n1\nbad\x01note\n" + std::string(130, 'x')}) {
        ASSERT_TRUE(writeFile(file("notes.fdt"), bad));
        CliResult refused = runCli({"firmware", file("notes.fdt")});
        EXPECT_EQ(refused.code, 3);
        EXPECT_NE(refused.err.find("is not a firmware package: "), std::string::npos) << refused.err;
    }
    EXPECT_EQ(loader.commands().size(), 1u);       // read's status query only
    CliResult update = runCli({"firmware", file("new.fdt")});
    ASSERT_EQ(update.code, 0) << update.err;
    // read's status, then status, three pages, the version and resume (the
    // last two get no reply: the pedal logs them a moment later)
    std::vector<testpedal::LoggedCommand> log = loader.waitForCommands(7);
    EXPECT_EQ(log.size(), 7u);
    EXPECT_EQ(count(log, "page"), 3);
    EXPECT_EQ(count(log, "version"), 1);
    EXPECT_EQ(log.back().name, "resume");
    ASSERT_TRUE(loader.state(state));
    EXPECT_EQ(state.firmwareVersion, 0x24);
    EXPECT_FALSE(state.updateMode);

    loader.stop();

    // Against a pedal on V2.1: only an older version needs --force; the
    // payload may fill the 65536 bytes the page address reaches, not one more.
    const struct {
        char version;
        size_t payload;
        bool force;
        int code;
        const char* refusal;
    } packages[] = {
        {'5', 130, false, 3, "firmware V0.5, older than the pedal's V2.1: nothing was sent (give --force"},
        {'5', 130, true, 0, ""},
        {'X', 130, false, 0, ""},                   // the same version
        {'Y', 130, false, 0, ""},                   // one newer
        {'W', 130, false, 3, "firmware V2.0, older than the pedal's V2.1"},
        {'X', 65536, false, 0, ""},
        {'X', 65537, false, 3, "holds 65537 bytes of firmware, more than the pedal's 65536: nothing was sent"},
    };
    int serial = 10;
    for (const auto& p : packages) {
        SCOPED_TRACE(std::string(1, p.version) + " " + std::to_string(p.payload));
        options.serial = "VP0000" + std::to_string(serial++);
        testpedal::VirtualPedal again(folder, options);
        ASSERT_TRUE(again.start());
        ASSERT_TRUE(writeFile(file("fw.fdt"), std::string(1, p.version) + "\n0\n" + std::string(p.payload, 'x')));
        std::vector<std::string> args = {"firmware", file("fw.fdt")};
        if (p.force) args.push_back("--force");
        CliResult r = runCli(args);
        EXPECT_EQ(r.code, p.code) << r.err;
        EXPECT_NE(r.err.find(p.refusal), std::string::npos) << r.err;
        // On success: the status query, every page, the version and resume.
        const size_t pages = p.code == 0 ? (p.payload + 63) / 64 : 0;
        EXPECT_EQ(count(p.code == 0 ? again.waitForCommands(pages + 3) : again.commands(), "page"),
                  static_cast<int>(pages));
    }
}

}  // namespace

namespace {

// What a FIFO receives within 20 s, up to `size` bytes; never blocks on a
// writer that does not come.
std::string readFifo(const std::string& path, size_t size) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    std::string got;
    for (int i = 0; fd >= 0 && got.size() < size && i < 2000; ++i) {
        char chunk[256];
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n > 0) got.append(chunk, static_cast<size_t>(n));
        else usleep(10000);
    }
    if (fd >= 0) close(fd);
    return got;
}

bool holdsTemporaryFile(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().find(".tmp") != std::string::npos) return true;
    return false;
}

// The stereo 24-bit file ir writes for a record, made with the library.
std::string irFileOf(const std::string& record12, int rate = 48000) {
    SoundModel model(dataFolder() + "/bin");
    model.apply(reinterpret_cast<const uint8_t*>(record12.data()));
    audio::IrOptions options;
    options.rate = rate;
    options.integer = true;
    const audio::Stereo ir = audio::impulseResponse(model.image(), options);
    wav::Audio a;
    a.rate = rate;
    a.channels = 2;
    for (size_t i = 0; i < ir.frames(); ++i) a.samples.insert(a.samples.end(), {ir.left[i], ir.right[i]});
    const std::vector<uint8_t> bytes = wav::encode(a, wav::Format::Int24);
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

// "-" is standard output for backup and export and standard input for
// restore and write; a FIFO named stays one; a second backup of the day gets
// the next number.
TEST_F(CliOnPedal, FilesLandWhereTheUserPointed) {
    ASSERT_TRUE(writeFile(file("other.bkp"), bank(20, "Other")));
    CliResult restore = runCliWithInput({"restore", "-", "-q"}, file("other.bkp"));
    ASSERT_EQ(restore.code, 0) << restore.err;
    EXPECT_EQ(pedalBank(*pedal), bank(20, "Other"));
    EXPECT_EQ(runCli({"restore", "-"}).code, 3);        // empty standard input: nothing sent
    EXPECT_EQ(pedalBank(*pedal), bank(20, "Other"));

    CliResult backup = runCli({"backup", "-", "-q"});
    ASSERT_EQ(backup.code, 0) << backup.err;
    EXPECT_EQ(backup.out, bank(20, "Other"));
    EXPECT_EQ(backup.err, "");

    CliResult named = runCli({"backup", "/dev/stdout", "-q"});     // the stream, whatever it is
    ASSERT_EQ(named.code, 0) << named.err;
    EXPECT_EQ(named.out, bank(20, "Other"));
    EXPECT_EQ(runCli({"export", "2", "-"}).code, 2);     // no file name to take the preset's name from
    CliResult exported = runCli({"export", "2", "-", "--name", "Two", "-q"});
    ASSERT_EQ(exported.code, 0) << exported.err;
    presetfiles::LocalPreset two;
    ASSERT_EQ(presetfiles::decodeLop(std::vector<uint8_t>(exported.out.begin(), exported.out.end()), two),
              presetfiles::LopStatus::Ok);
    EXPECT_EQ(two.name, "Two");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(two.preset.title()), 12), title("Other 2"));
    ASSERT_TRUE(writeFile(file("two.lop"), exported.out));
    CliResult written = runCliWithInput({"write", "3", "-", "-q"}, file("two.lop"));
    ASSERT_EQ(written.code, 0) << written.err;
    PedalState state;
    ASSERT_TRUE(pedal->state(state));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(state.presets[2].title), 12), title("Other 2"));
    const std::string held = pedalBank(*pedal);

    // A FIFO is written into, not replaced (links and modes are the atomic
    // write's, tested with the preset files).
    ASSERT_EQ(mkfifo(file("pipe").c_str(), 0600), 0);
    CliProcess toPipe({"backup", file("pipe"), "-q"});
    EXPECT_EQ(readFifo(file("pipe"), 192), held);
    EXPECT_EQ(toPipe.finish().code, 0);
    struct stat st;
    ASSERT_EQ(lstat(file("pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // The day's backup twice: the second is numbered, the first kept.
    CliResult first = runCli({"backup", "-q"});
    ASSERT_EQ(first.code, 0) << first.err;
    ASSERT_TRUE(writeFile(file("third.bkp"), bank(40, "Third")));
    ASSERT_EQ(runCli({"restore", file("third.bkp"), "-q"}).code, 0);
    CliResult second = runCli({"backup", "-q"});
    ASSERT_EQ(second.code, 0) << second.err;
    std::string today = first.out.substr(0, first.out.size() - 1);
    EXPECT_EQ(second.out, files::numberedPath(today, 2) + "\n");
    EXPECT_EQ(readFile(today), held);
    EXPECT_EQ(readFile(files::numberedPath(today, 2)), bank(40, "Third"));
    EXPECT_FALSE(holdsTemporaryFile(files.path()));
}

// Ctrl-C: a restore stops between two presets and says which are stored;
// a backup leaves no temporary file beside the one it was writing.
TEST_F(CliOnPedal, InterruptionsLeaveNoTemporaryFileAndSayWhatWasStored) {
    ASSERT_TRUE(writeFile(file("other.bkp"), bank(20, "Other")));
    CliProcess restore({"restore", file("other.bkp"), "-q"});
    ASSERT_TRUE(pedal->waitForCount("store-image", 2));
    kill(restore.pid(), SIGINT);
    CliResult r = restore.finish();
    EXPECT_EQ(r.code, 130) << r.err;
    int stored = count(pedal->commands(), "store-image");
    ASSERT_LT(stored, 8);
    EXPECT_NE(r.err.find("restore interrupted: presets 1 to " + std::to_string(stored) + " already stored; presets " +
                         std::to_string(stored + 1) + " to 8 unchanged"),
              std::string::npos)
        << r.err;
    std::string now = pedalBank(*pedal), other = bank(20, "Other"), factory = bank(0, "Factory");
    for (int i = 0; i < 8; ++i) {
        const std::string& expected = i < stored ? other : factory;
        EXPECT_EQ(now.substr(12 * i, 12), expected.substr(12 * i, 12)) << "preset " << i + 1;
        EXPECT_EQ(now.substr(96 + 12 * i, 12), expected.substr(96 + 12 * i, 12)) << "preset " << i + 1;
    }

    ASSERT_TRUE(pedal->setFaults({"slow-reply=0.7"}));
    CliProcess backup({"backup", file("b.bkp"), "-q"});
    ASSERT_TRUE(pedal->waitForCount("read-all", 1));
    kill(backup.pid(), SIGINT);
    CliResult b = backup.finish();
    EXPECT_EQ(b.signal, SIGINT);
    EXPECT_FALSE(holdsTemporaryFile(files.path()));
    EXPECT_FALSE(std::filesystem::exists(file("b.bkp")));

    // A write ended half way names the preset it may have left damaged.
    std::vector<uint8_t> lop = presetfiles::encodeLop("Lead", reinterpret_cast<const uint8_t*>(record(3).data()),
                                                      reinterpret_cast<const uint8_t*>(title("Lead").data()));
    ASSERT_TRUE(writeFile(file("Lead.lop"), std::string(lop.begin(), lop.end())));
    const size_t headers = pedal->count("store-header");
    CliProcess write({"write", "3", file("Lead.lop"), "-q"});
    ASSERT_TRUE(pedal->waitForCount("store-header", headers + 1));
    kill(write.pid(), SIGINT);
    CliResult w = write.finish();
    EXPECT_EQ(w.signal, SIGINT);
    EXPECT_NE(w.err.find("preset 3 may hold a damaged copy"), std::string::npos) << w.err;
}

// One program owns the pedal: a second one started during a restore is
// refused with the owner's pid and sends nothing; the restore is whole.
TEST_F(CliOnPedal, ASecondProgramFindsThePedalInUseAndChangesNothing) {
    ASSERT_TRUE(writeFile(file("other.bkp"), bank(20, "Other")));
    std::vector<uint8_t> lop = presetfiles::encodeLop("Lead", reinterpret_cast<const uint8_t*>(record(3).data()),
                                                      reinterpret_cast<const uint8_t*>(title("Lead").data()));
    ASSERT_TRUE(writeFile(file("Lead.lop"), std::string(lop.begin(), lop.end())));
    CliProcess restore({"restore", file("other.bkp"), "-q"});
    ASSERT_TRUE(pedal->waitForCount("store-image", 1));
    CliResult second = runCli({"write", "1", file("Lead.lop"), "-q"});
    EXPECT_EQ(second.code, 4);
    EXPECT_EQ(second.errLines(), (std::vector<std::string>{
        "orvella-cli: pedal VP000001: the pedal is in use by another program (pid " + std::to_string(restore.pid()) +
        "); nothing was sent"}));
    CliResult first = restore.finish();
    ASSERT_EQ(first.code, 0) << first.err;
    EXPECT_EQ(pedalBank(*pedal), bank(20, "Other"));
    EXPECT_EQ(count(pedal->commands(), "store-header"), 8);
    EXPECT_EQ(count(pedal->commands(), "status"), 1);      // the second program's never arrived
    EXPECT_EQ(runCli({"write", "1", file("Lead.lop"), "-q"}).code, 0);    // free again
}

// A reply that comes after its time-out never answers the next command, not
// even one from the next program started at once; a reply that cannot come
// (the bridge sends nothing) is told apart from a late one.
TEST_F(CliOnPedal, ALateReplyNeverAnswersTheNextCommand) {
    ASSERT_EQ(runCli({"config", "set", "--left", "volume", "--right", "blend", "--midi", "11", "-q"}).code, 0);
    CliResult before = runCli({"status", "--json"});
    ASSERT_EQ(before.code, 0) << before.err;
    CliResult config = runCli({"config", "get"});
    ASSERT_TRUE(pedal->setFaults({"slow-reply=1.5"}));
    EXPECT_EQ(runCli({"config", "get", "-q"}).code, 5);
    // Cleared without waiting: the pedal still sleeps over its late reply.
    ASSERT_TRUE(writeFile(pedal->registration() + ".faults", ""));
    CliResult after = runCli({"status", "--json"});
    EXPECT_EQ(after.code, 0) << after.err;
    EXPECT_EQ(after.out, before.out);       // status and configuration bytes, each its own
    CliResult configAfter = runCli({"config", "get"});
    EXPECT_EQ(configAfter.out, config.out);

    // Nor when the program waiting for it is killed and can note nothing.
    ASSERT_TRUE(pedal->setFaults({"slow-reply=1.5"}));
    const size_t asked = count(pedal->commands(), "status") + 1;
    CliProcess killed({"config", "get", "-q"});
    ASSERT_TRUE(pedal->waitForCount("status", asked));
    ASSERT_EQ(kill(killed.pid(), SIGKILL), 0);
    killed.finish();
    ASSERT_TRUE(writeFile(pedal->registration() + ".faults", ""));
    after = runCli({"status", "--json"});
    EXPECT_EQ(after.code, 0) << after.err;
    EXPECT_EQ(after.out, before.out);

    // A bridge that never sends (the pedal leaves its one byte unread, shown
    // as a bridge's queue): the error says the pedal took nothing.
    ASSERT_TRUE(pedal->setFaults({"stuck-tx"}));
    CliResult stuck;
    {
        testpedal::StalledBridgesShown shown;
        stuck = runCli({"status", "-q"});
    }
    EXPECT_EQ(stuck.code, 5);
    EXPECT_NE(stuck.err.find("the pedal took nothing (1 byte still waiting to be sent)"), std::string::npos)
            << stuck.err;
    EXPECT_EQ(stuck.err.find("timed out"), std::string::npos) << stuck.err;
}

// A user who may not open the pedals: one line, for the pedal the command
// needs, naming the fix, and nothing else, also under --quiet.
TEST_F(CliOnPedal, APortTheUserMayNotOpenGetsOneLineWithTheFix) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
    startPedal("VP000002", bank(10, "Second"));
    ASSERT_EQ(chmod(folder.path().c_str(), 0755), 0);
    for (const std::string& args : {std::string("-q"), std::string("")}) {
        std::vector<std::string> command = {"--pedal", "VP000002", "status"};
        if (!args.empty()) command.push_back(args);
        CliResult r = CliProcess(command, std::string(), true, 65534).finish();
        EXPECT_EQ(r.code, 4);
        std::vector<std::string> lines = r.errLines();
        ASSERT_EQ(lines.size(), 1u) << r.err;
        EXPECT_EQ(lines[0].rfind("orvella-cli: pedal VP000002: permission denied on /dev/", 0), 0u) << lines[0];
        EXPECT_NE(lines[0].find("udev rule"), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find("'dialout' group"), std::string::npos) << lines[0];
        EXPECT_EQ(r.out, "");
    }
    EXPECT_TRUE(pedal->commands().empty());
}

TEST_F(CliOnPedal, RenderAndIrTakeTheSoundFromThePedalABackupOrALocalPresetAlike) {
    ASSERT_TRUE(writeFile(file("bank.bkp"), bank(0, "Factory")));
    const std::string rec = record(2);
    const std::vector<uint8_t> lop = presetfiles::encodeLop("Third", reinterpret_cast<const uint8_t*>(rec.data()),
                                                            reinterpret_cast<const uint8_t*>(title("T").data()));
    ASSERT_TRUE(writeFile(file("third.lop"), std::string(lop.begin(), lop.end())));

    CliResult r = runCli({"ir", file("pedal.wav"), "--preset", "3"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Factory 3"), std::string::npos) << r.out;
    r = runCli({"ir", file("backup.wav"), "--backup", file("bank.bkp"), "--index", "3"});
    ASSERT_EQ(r.code, 0) << r.err;
    r = runCli({"ir", file("local.wav"), "--lop", file("third.lop")});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string expected = irFileOf(rec);
    EXPECT_EQ(readFile(file("pedal.wav")), expected);
    EXPECT_EQ(readFile(file("backup.wav")), expected);
    EXPECT_EQ(readFile(file("local.wav")), expected);
    r = runCli({"ir", file("441.wav"), "--lop", file("third.lop"), "--rate", "44100"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readFile(file("441.wav")), irFileOf(rec, 44100));

    // A 44.1 kHz stereo DI file, rendered as float: the 48 kHz render of its
    // resampled mix with its tail.
    wav::Audio di;
    di.rate = 44100;
    di.channels = 2;
    for (int i = 0; i < 22050; ++i) di.samples.insert(di.samples.end(), {float(std::sin(i * 0.05) * 0.4), 0.1f});
    std::string error;
    ASSERT_TRUE(wav::write(file("di.wav"), di, wav::Format::Float32, error)) << error;
    r = runCli({"render", file("di.wav"), file("out.wav"), "--lop", file("third.lop"), "--format", "float"});
    ASSERT_EQ(r.code, 0) << r.err;
    wav::Audio out;
    ASSERT_TRUE(wav::read(file("out.wav"), out, error)) << error;
    std::vector<float> in;
    ASSERT_TRUE(audio::loadDiFile(file("di.wav"), in, error));
    SoundModel model(dataFolder() + "/bin");
    model.apply(reinterpret_cast<const uint8_t*>(rec.data()));
    const audio::Stereo rendered = audio::renderSound(model.image(), in).sound;
    ASSERT_GT(out.frames(), 24000u);
    ASSERT_EQ(rendered.frames(), out.frames());
    for (size_t i = 0; i < out.frames(); ++i) {
        ASSERT_EQ(out.samples[2 * i], rendered.left[i]) << i;
        ASSERT_EQ(out.samples[2 * i + 1], rendered.right[i]) << i;
    }

    // "-" is standard input for the recording, the --lop and the --backup
    // file, standard output for the WAV file (the result line then on
    // standard error).
    r = runCliWithInput({"render", "-", "-", "--lop", file("third.lop"), "--format", "float"}, file("di.wav"));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, readFile(file("out.wav")));
    EXPECT_NE(r.err.find("written to standard output"), std::string::npos) << r.err;
    r = runCliWithInput({"ir", "-", "--lop", "-"}, file("third.lop"));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, expected);
    r = runCliWithInput({"ir", file("stdin.wav"), "--backup", "-", "--index", "3"}, file("bank.bkp"));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readFile(file("stdin.wav")), expected);
    EXPECT_EQ(runCli({"render", "-", "-", "--lop", "-"}).code, 2);     // standard input for one file only

    // Input that cannot be used stops before the pedal hears a byte and leaves no file.
    const size_t before = pedal->commands().size();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"render", file("missing.wav"), file("no.wav"), "--preset", "1"},
          {"render", file("third.lop"), file("no.wav"), "--preset", "1"},
          {"ir", file("no-folder/no.wav"), "--preset", "1"}}) {
        r = runCli(args);
        EXPECT_EQ(r.code, 3) << r.err;
    }
    EXPECT_EQ(pedal->commands().size(), before);
    EXPECT_EQ(readFile(file("no.wav")), "");
    EXPECT_EQ(runCli({"ir", file("no.wav"), "--backup", file("bank.bkp")}).code, 2);
    EXPECT_EQ(runCli({"ir", file("no.wav"), "--lop", file("third.lop"), "--preset", "2"}).code, 2);
    EXPECT_EQ(runCli({"ir", file("no.wav"), "--lop", file("third.lop"), "--format", "16"}).code, 2);
}

// A closed standard output or error lends its number to nothing the program
// opens later: neither the result nor the link's lines reach the port's lock
// file or the port. Results that cannot be written (closed, a full device, a
// pipe whose reader is gone) are exit status 3, whatever the command did.
TEST_F(CliOnPedal, ResultsThatCannotBeWrittenAreStatusThreeAndReachNothingElse) {
    TempFolder locks;
    saveEnv("ORVELLA_LOCK_DIR");
    setenv("ORVELLA_LOCK_DIR", locks.path().c_str(), 1);
    const size_t before = pedal->commands().size();
    CliResult r = runCliTo({"--pedal", "VP000001", "read", "1"}, Sink::Closed, Sink::Captured);
    EXPECT_EQ(r.code, 3) << r.err;
    EXPECT_NE(r.err.find("standard output"), std::string::npos) << r.err;
    r = runCliTo({"-v", "read", "1"}, Sink::Closed, Sink::Closed);
    EXPECT_EQ(r.code, 3);
    ASSERT_EQ(runCli({"status", "-q"}).code, 0);
    std::vector<std::string> names;
    for (size_t i = before; i < pedal->commands().size(); ++i) names.push_back(pedal->commands()[i].name);
    EXPECT_EQ(names, (std::vector<std::string>{"status", "read-preset", "status", "read-preset", "status", "get-config"}));
    for (const auto& entry : std::filesystem::directory_iterator(locks.path()))
        EXPECT_EQ(readFile(entry.path()).find("Factory"), std::string::npos) << entry.path();

    for (Sink sink : {Sink::Full, Sink::ClosedPipe})
        for (const std::vector<std::string>& args : {std::vector<std::string>{"read", "1"}, {"list"}, {"--help"},
                                                     {"backup", "-"}, {"status", "--json"}}) {
            r = runCliTo(args, sink, Sink::Captured);
            EXPECT_EQ(r.code, 3) << args[0] << " " << r.err << " signal " << r.signal;
        }

    // A pedal started with its standard streams closed keeps them on the null
    // device: its log and its port do not take their numbers (its messages
    // would otherwise be written into its own port, read back as commands).
    testpedal::PedalOptions closed;
    closed.serial = "VP000002";
    closed.closedStreams = true;
    pedals.emplace_back(new testpedal::VirtualPedal(folder, closed));
    ASSERT_TRUE(pedals.back()->start());
    for (int fd = 0; fd <= 2; ++fd)
        EXPECT_EQ(std::filesystem::read_symlink("/proc/" + std::to_string(pedals.back()->pid()) + "/fd/" +
                                                std::to_string(fd)),
                  "/dev/null") << fd;
    EXPECT_EQ(runCli({"--pedal", "VP000002", "status", "-q"}).code, 0);
}
