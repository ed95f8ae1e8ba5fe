#include "tests/presets/TransportFixture.h"

#include "tests/support/gui/StatusLog.h"

#include <cstring>
#include <ctime>
#include <unistd.h>

namespace presettest {

void Transport::SetUp() {
    env.reset(new gui::TestEnvironment());
    dialogs.reset(new gui::RecordingDialogs());
    // The pedal starts with known presets: record(i) titled "Factory i+1".
    std::string factory = env->root + "/factory.bank";
    ASSERT_TRUE(gui::TestEnvironment::writeFile(factory, testpedal::knownBank()));
    pedals.reset(new testpedal::PedalFolder());
    testpedal::PedalOptions options;
    options.serial = "VP00000001";
    options.factory = factory;
    pedal.reset(new testpedal::VirtualPedal(*pedals, options));
    std::string error;
    ASSERT_TRUE(pedal->start(&error)) << error;
    window = env->openWindow();
    ASSERT_TRUE(window->transportPanel()->active()) << log();
    dialogs->clear();
    logAtStart = log();
}

void Transport::TearDown() {
    window.reset();
    pedal.reset();                              // stopped before its folder goes
    pedals.reset();
    PresetsGui::TearDown();
}

std::string Transport::log() const { return gui::logText(window.get()); }

std::vector<std::string> Transport::newLines() const {
    std::vector<std::string> lines;
    std::string text = newLog();
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = text.substr(start, end - start);
        EXPECT_EQ(line.substr(0, 1), "[");
        EXPECT_EQ(line.substr(9, 4), "] : ");
        lines.push_back(line.substr(14));
    }
    return lines;
}

std::string Transport::today() const {
    std::time_t now = std::time(nullptr);
    return presetfiles::backupPath(env->home, *std::localtime(&now));
}

std::vector<uint8_t> Transport::pedalBank() const {
    uint8_t bank[192];
    pedalState().bank(bank);
    return bytesOf(bank, 192);
}

std::string Transport::pickBackup() {
    std::string bank;
    for (int i = 0; i < 8; ++i) {
        std::vector<uint8_t> r = record(10 + i);
        bank.append(r.begin(), r.end());
    }
    for (int i = 0; i < 8; ++i) bank += title("Backup " + std::to_string(i));
    std::string path = env->root + "/other.bkp";
    EXPECT_TRUE(gui::TestEnvironment::writeFile(path, bank));
    dialogs->choiceAnswers.push_back(1);
    dialogs->chooserAnswers.push_back({path});
    return bank;
}

int Transport::stores() const {
    int n = 0;
    for (const testpedal::LoggedCommand& c : pedal->commands()) n += c.name == "store-image";
    return n;
}

PedalState Transport::pedalState() const {
    PedalState s;
    EXPECT_TRUE(pedal->state(s));
    return s;
}

bool Transport::waitUntilPlaying(const uint8_t* image) const {
    for (int i = 0; i < 1000; ++i) {
        PedalState s;
        if (pedal->state(s) && std::memcmp(s.playing, image, 512) == 0) return true;
        usleep(10000);
    }
    return false;
}

}  // namespace presettest
