// End to end: the update prompt in the real main window against a virtual
// pedal started in firmware-update mode, which records the pages it receives,
// echoes them (or corrupts an echo on request) and keeps the version it is given.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Progress.H>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/pedal/TestPedal.h"
#include "tests/support/gui/Events.h"
#include "tests/support/gui/StatusLog.h"
#include "tests/support/gui/RecordingDialogs.h"
#include "tests/support/gui/TestEnvironment.h"
#include "link/OV_UsbController.h"
#include "link/SerialPort.h"
#include "maintenance/OV_UpdatePrompt.h"
#include "presets/OV_TransportPanel.h"
#include "shell/main_window.h"
#include "shell/status_log.h"

namespace {

using Kind = gui::RecordingDialogs::Kind;

// Passes every call on to the serial-driver backend and reports each write
// before it goes out, so a test can look at the window at that moment: the
// state a page left is what the next write finds, however fast the pedal
// answers (the link's waits may find a reply at once and never run the toolkit).
class WriteWatch : public serialport::Backend {
public:
    using Hook = std::function<void(const uint8_t* data, uint32_t n)>;
    explicit WriteWatch(Hook hook) : inner(serialport::backend()), hook(std::move(hook)) {
        serialport::setBackend(this);
    }
    ~WriteWatch() override { serialport::setBackend(nullptr); }

    std::vector<serialport::Device> list() override { return inner.list(); }
    FT_STATUS open(const std::string& key, bool byDescription, std::unique_ptr<serialport::Port>& port,
                   std::string& problem) override {
        FT_STATUS status = inner.open(key, byDescription, port, problem);
        if (port) port.reset(new Watched(std::move(port), hook));
        return status;
    }
    void claim(bool keep) override { inner.claim(keep); }

private:
    class Watched : public serialport::Port {
    public:
        Watched(std::unique_ptr<serialport::Port> port, Hook& hook)
            : Port(port->device()), p(std::move(port)), hook(hook) {}
        FT_STATUS setup(unsigned baud, int r, int w) override { return p->setup(baud, r, w); }
        FT_STATUS write(const uint8_t* data, uint32_t n, uint32_t& written) override {
            hook(data, n);
            return p->write(data, n, written);
        }
        FT_STATUS read(uint8_t* data, uint32_t n, uint32_t& got) override { return p->read(data, n, got); }
        FT_STATUS purge(bool rx, bool tx) override { return p->purge(rx, tx); }
        FT_STATUS queues(uint32_t& rx, uint32_t& tx) override { return p->queues(rx, tx); }
        void waitForData(int ms) override { p->waitForData(ms); }
        void noteLateReply(int ms) override { p->noteLateReply(ms); }

    private:
        std::unique_ptr<serialport::Port> p;
        Hook& hook;
    };
    serialport::Backend& inner;
    Hook hook;
};

class UpdateOnPedal : public ::testing::Test {
protected:
    // Starts the pedal (version 2.3, waiting for firmware) and the window.
    void open(std::vector<std::string> faults = {}) {
        testpedal::PedalOptions options;
        options.serial = "VPFW0001";
        options.updateMode = true;
        options.firmware = 0x23;
        options.faults = faults;
        pedal = std::make_unique<testpedal::VirtualPedal>(folder, options);
        std::string error;
        ASSERT_TRUE(pedal->start(&error)) << error;
        window = env.openWindow();
        prompt = window->updatePrompt();
        dialogs.clear();   // whatever start-up reported is not the prompt's concern
    }

    void TearDown() override {
        window.reset();
        if (pedal) pedal->stop();
    }

    // The commands the pedal logged with this name, waiting up to five seconds
    // (a busy machine may be slow) for the expected number: a command with no
    // reply may still be in flight when the prompt is done with it.
    std::vector<testpedal::LoggedCommand> logged(const std::string& name, size_t expected = 0) {
        std::vector<testpedal::LoggedCommand> found;
        for (int waited = 0; waited <= 5000; waited += 10) {
            found.clear();
            for (const testpedal::LoggedCommand& c : pedal->commands())
                if (c.name == name) found.push_back(c);
            if (found.size() >= expected) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return found;
    }

    std::string log() const { return gui::logText(window.get()); }

    std::string package(const std::string& name, const std::string& bytes) {
        std::string path = env.root + "/" + name;
        gui::TestEnvironment::writeFile(path, bytes);
        return path;
    }

    void click(Fl_Widget* w) {
        gui::clickCentre(w);
        gui::settle();
    }

    // Clicks and returns the command byte of every write the program made
    // meanwhile, counted as it writes (the pedal logs a command a moment later).
    std::vector<uint8_t> clickWatchingWrites(Fl_Widget* w) {
        std::vector<uint8_t> commands;
        WriteWatch watch([&](const uint8_t* data, uint32_t n) { if (n > 0) commands.push_back(data[0]); });
        click(w);
        return commands;
    }

    void browse(const std::string& path) {
        dialogs.chooserAnswers.push_back({path});
        click(prompt->browseButton);
    }

    std::string label() const {
        const char* text = window->usb()->progress->label();
        return text ? text : "";
    }

    gui::TestEnvironment env;
    testpedal::PedalFolder folder;   // after env: the pedals live here while the test runs
    gui::RecordingDialogs dialogs;
    std::unique_ptr<testpedal::VirtualPedal> pedal;
    std::unique_ptr<Orvella> window;
    OV_UpdatePrompt* prompt = nullptr;
};

std::string payloadOf(size_t n) {
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>(0x41 + i % 53);
    return bytes;
}

}  // namespace

TEST_F(UpdateOnPedal, ConnectShowsThePromptWithThePedalsVersion) {
    open();
    EXPECT_TRUE(prompt->visible());
    EXPECT_STREQ(prompt->pedalVersionBox->label(), "V2.3");
    EXPECT_FALSE(window->transportPanel()->active());
    EXPECT_FALSE(prompt->updateButton->active());
}

TEST_F(UpdateOnPedal, PackageIsSentAsVerifiedPagesThenItsVersion) {
    open();
    std::string payload = payloadOf(130);
    browse(package("fw.fdt", "[ new loader\n1\nFixes the relay click\n" + payload));
    EXPECT_STREQ(prompt->fileVersionBox->label(), "V2.4");

    // What the progress bar shows as each page and the version go out.
    struct Bar {
        std::string label;
        int x, y, w, h, font, size;
        Fl_Color colour;
    };
    std::vector<Bar> bars;
    {
        Fl_Progress* bar = window->usb()->progress;
        WriteWatch watch([&](const uint8_t* data, uint32_t n) {
            if ((n == 67 && data[0] == 0xA0) || (n == 2 && data[0] == 0xB0))
                bars.push_back({label(), bar->x(), bar->y(), bar->w(), bar->h(), bar->labelfont(),
                                bar->labelsize(), bar->selection_color()});
        });
        click(prompt->updateButton);
    }

    std::vector<testpedal::LoggedCommand> pages = logged("page", 3);
    ASSERT_EQ(pages.size(), 3u);
    const unsigned addresses[] = {0, 64, 128};
    for (size_t i = 0; i < 3; ++i) {
        ASSERT_EQ(pages[i].bytes.size(), 67u);
        EXPECT_EQ(pages[i].bytes[0], 0xA0);
        EXPECT_EQ(pages[i].bytes[1] | pages[i].bytes[2] << 8, static_cast<int>(addresses[i]));
    }
    EXPECT_EQ(std::string(pages[1].bytes.begin() + 3, pages[1].bytes.end()), payload.substr(64, 64));
    std::string last(pages[2].bytes.begin() + 3, pages[2].bytes.end());
    EXPECT_EQ(last, payload.substr(128, 2) + std::string(62, '\0'));

    std::vector<testpedal::LoggedCommand> versions = logged("version", 1);
    ASSERT_EQ(versions.size(), 1u);
    EXPECT_EQ(versions[0].bytes, (std::vector<uint8_t>{0xB0, 0x24}));
    PedalState state;
    ASSERT_TRUE(pedal->state(state));
    EXPECT_EQ(state.firmwareVersion, 0x24);
    EXPECT_EQ(state.pagesReceived, 3u);

    // The bar, enlarged for the transfer, read 33 % and 67 % while pages
    // went out and 100 % when the version did; then it is back in its place.
    ASSERT_EQ(bars.size(), 4u);
    EXPECT_EQ(bars[1].label, " 33%");
    EXPECT_EQ(bars[2].label, " 67%");
    EXPECT_EQ(bars[3].label, "100%");
    for (const Bar& b : bars) {
        EXPECT_EQ(b.x, 90);
        EXPECT_EQ(b.y, 490);
        EXPECT_EQ(b.w, 440);
        EXPECT_EQ(b.h, 45);
        EXPECT_EQ(b.font, 1);
        EXPECT_EQ(b.size, 18);
    }
    EXPECT_EQ(bars[3].colour, 0x4444ff00u);
    Fl_Progress* bar = window->usb()->progress;
    EXPECT_EQ(bar->x(), 632);
    EXPECT_EQ(bar->y(), 485);
    EXPECT_EQ(bar->w(), 180);
    EXPECT_EQ(bar->h(), 24);
    EXPECT_EQ(bar->labelfont(), 0);
    EXPECT_EQ(bar->labelsize(), 14);
    EXPECT_EQ(label(), "100%");
    EXPECT_EQ(dialogs.count(Kind::Alert), 0);
    ASSERT_EQ(dialogs.count(Kind::Message), 1);
    EXPECT_EQ(dialogs.texts(Kind::Message)[0],
              "Firmware update complete.\n\n You may now restart you pedal or exit this session to continue "
              "with normal operation of your pedal.");
    EXPECT_NE(log().find("] :  Firmware update complete.\n"), std::string::npos);
    EXPECT_STREQ(prompt->cancelButton->label(), "Exit Session");

    dialogs.clear();
    click(prompt->cancelButton);
    EXPECT_EQ(dialogs.count(Kind::Alert), 0);
    EXPECT_NE(log().find("] :  Normal operation resumes.\n"), std::string::npos);
    EXPECT_EQ(logged("resume", 1).size(), 1u);
    ASSERT_TRUE(pedal->state(state));
    EXPECT_FALSE(state.updateMode);
    EXPECT_FALSE(prompt->visible());
}

TEST_F(UpdateOnPedal, CorruptedEchoAbortsAtOnce) {
    open({"corrupt-echo"});
    browse(package("fw.fdt", "[\n0\n" + payloadOf(64 * 5)));
    EXPECT_EQ(clickWatchingWrites(prompt->updateButton), std::vector<uint8_t>{0xA0});
    std::vector<testpedal::LoggedCommand> pages = logged("page", 1);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].corrupted);
    ASSERT_EQ(dialogs.count(Kind::Alert), 1);
    std::string alert = dialogs.texts(Kind::Alert)[0];
    EXPECT_EQ(alert.rfind("Firmware Update process has been aborted due to detected errors. Please try again.\n\n"
                          "> Power down the pedal and close down this software, then try again.\n\n"
                          "> < Direct support email : ", 0), 0u);
    EXPECT_EQ(label(), "Update aborted");
    EXPECT_EQ(window->usb()->progress->selection_color(), 0x80000000u);
    EXPECT_NE(log().find("] :  > Update aborted due to errors. Please try again.\n"), std::string::npos);
    PedalState state;
    ASSERT_TRUE(pedal->state(state));
    EXPECT_TRUE(state.updateMode);   // still waiting for firmware
    EXPECT_EQ(state.firmwareVersion, 0x23);
    EXPECT_TRUE(prompt->updateButton->active());
}

TEST_F(UpdateOnPedal, UnansweredPageShowsTheTransferAlert) {
    open();
    browse(package("fw.fdt", "[\n0\n" + payloadOf(200)));
    pedal->setFaults({"no-reply"});
    EXPECT_EQ(clickWatchingWrites(prompt->updateButton), std::vector<uint8_t>{0xA0});
    EXPECT_EQ(logged("page", 1).size(), 1u);
    ASSERT_EQ(dialogs.count(Kind::Alert), 1);
    EXPECT_EQ(dialogs.texts(Kind::Alert)[0].rfind("USB communication problem has been detected.", 0), 0u);
    EXPECT_EQ(label(), "Update failed");
    EXPECT_NE(log().find("] :  > Firmware update operation failed. Please try again.\n"), std::string::npos);
    EXPECT_TRUE(window->connectButton()->active());
}

TEST_F(UpdateOnPedal, CancelBeforeAnUpdateResumesThePedal) {
    open();
    click(prompt->cancelButton);
    ASSERT_EQ(dialogs.count(Kind::Alert), 1);
    EXPECT_EQ(dialogs.texts(Kind::Alert)[0].rfind(" You've chosen to cancel the firmware update process.", 0), 0u);
    EXPECT_NE(log().find("] :  Firmware update cancelled by user.\n"), std::string::npos);
    std::vector<testpedal::LoggedCommand> resumes = logged("resume", 1);
    ASSERT_EQ(resumes.size(), 1u);
    EXPECT_EQ(resumes[0].bytes, std::vector<uint8_t>{0xFF});
    EXPECT_TRUE(logged("page").empty());
    EXPECT_TRUE(window->transportPanel()->active());
}

TEST_F(UpdateOnPedal, CancelWithThePedalUnpluggedShowsOnlyTheCancelAlert) {
    open();
    ASSERT_TRUE(pedal->unplug());
    click(prompt->cancelButton);
    EXPECT_EQ(dialogs.count(Kind::Alert), 1);
    EXPECT_TRUE(window->transportPanel()->active());
    EXPECT_FALSE(prompt->visible());
}

// Files with nothing to send are refused when browsed; a good one clears the
// earlier error; after the update the prompt names the pedal's new version;
// and the log keeps its newest line in view however many lines went uncounted.
TEST_F(UpdateOnPedal, FilesWithoutPayloadAreRefusedAndTheOutcomeStaysInView) {
    open();
    EXPECT_NE(log().find("] :  Pedal is in firmware update mode (V2.3).\n"), std::string::npos);
    auto newestInView = [this] {
        gui::settle();
        TextBoard* board = window->statusLog();
        int last = board->lastLine();
        return board->topLine() <= last && last < board->topLine() + board->wholeLines();
    };
    auto logEndsWith = [this](const std::string& tail) {
        std::string text = log();
        return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
    };
    EXPECT_TRUE(newestInView());
    for (int i = 0; i < 7; ++i) window->logStatus("a line nobody counted %d", i);

    const char* const refused[] = {"hello world\n",                   // a one-line text file
                                   "[\n40\nline one\nline two\n",      // more notes announced than present
                                   ""};                                // empty
    for (const char* bytes : refused) {
        dialogs.clear();
        browse(package("fw.fdt", bytes));
        ASSERT_EQ(dialogs.count(Kind::Alert), 1) << bytes;
        EXPECT_NE(dialogs.texts(Kind::Alert)[0].find("holds no firmware"), std::string::npos);
        EXPECT_FALSE(prompt->updateButton->active());
        EXPECT_STREQ(prompt->fileVersionBox->label(), "");
        EXPECT_EQ(label(), "File error");
        EXPECT_TRUE(newestInView());
        EXPECT_TRUE(logEndsWith("> Firmware package refused - no payload.\n")) << log();
        EXPECT_TRUE(clickWatchingWrites(prompt->updateButton).empty());
    }
    EXPECT_EQ(log().find("Error code : 0"), std::string::npos);

    browse(package("fw.fdt", "[\n0\n" + payloadOf(100)));
    ASSERT_TRUE(prompt->updateButton->active());
    EXPECT_EQ(label(), "");                                  // the earlier error is gone
    click(prompt->updateButton);
    EXPECT_EQ(logged("page", 2).size(), 2u);
    EXPECT_STREQ(prompt->pedalVersionText, "V2.4");         // what the pedal now has
    EXPECT_STREQ(prompt->pedalVersionBox->label(), "V2.4");
    EXPECT_TRUE(logEndsWith("] :  Firmware update complete.\n"));
    EXPECT_TRUE(newestInView());
    click(prompt->cancelButton);
    EXPECT_TRUE(logEndsWith("] :  Normal operation resumes.\n"));
    EXPECT_TRUE(newestInView());
}

// A file that does not follow the package format is no package, whatever
// follows its second line: refused when browsed, and when it replaced a good
// package after Browse, refused when the update starts; nothing is sent.
TEST_F(UpdateOnPedal, AFileThatIsNoPackageIsRefusedWithTheReason) {
    open();
    browse(package("licence.fdt", "LICENCE\nVersion 2, June 1991\n\nEveryone may copy this text.\n"));
    std::vector<std::string> alerts = dialogs.texts(Kind::Alert);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].rfind("This file is not a firmware package for the pedal: its second line is not a count "
                              "of release-note lines.",
                              0),
              0u)
        << alerts[0];
    EXPECT_NE(log().find("] :  > Firmware package refused - its second line is not a count of release-note "
                         "lines.\n"),
              std::string::npos)
        << log();
    EXPECT_FALSE(prompt->updateButton->active());
    EXPECT_STREQ(prompt->fileVersionBox->label(), "");
    EXPECT_FALSE(prompt->notesDisplay->visible());
    EXPECT_EQ(label(), "File error");

    std::string path = package("fw.fdt", "[\n1\nA note\n" + payloadOf(200));
    browse(path);
    ASSERT_TRUE(prompt->updateButton->active());
    gui::TestEnvironment::writeFile(path, "[\n1\nA \x01" "binary note\n" + payloadOf(200));
    EXPECT_TRUE(clickWatchingWrites(prompt->updateButton).empty());
    alerts = dialogs.texts(Kind::Alert);
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_NE(alerts[1].find("release-note line 1 holds the byte 0x01"), std::string::npos) << alerts[1];
    EXPECT_FALSE(prompt->updateButton->active());
    PedalState state;
    ASSERT_TRUE(pedal->state(state));
    EXPECT_EQ(state.pagesReceived, 0u);
    EXPECT_TRUE(state.updateMode);
}

TEST_F(UpdateOnPedal, OversizedPayloadLeavesThePedalUntouched) {
    open();
    browse(package("big.fdt", "[\n0\n" + payloadOf(65536 + 1)));
    EXPECT_FALSE(prompt->updateButton->active());
    EXPECT_EQ(dialogs.count(Kind::Alert), 1);

    // A package that grows past the limit after it was browsed is refused
    // when the update starts.
    std::string path = package("fw.fdt", "[\n0\n" + payloadOf(640));
    browse(path);
    ASSERT_TRUE(prompt->updateButton->active());
    gui::TestEnvironment::writeFile(path, "[\n0\n" + payloadOf(65536 + 64));
    EXPECT_TRUE(clickWatchingWrites(prompt->updateButton).empty());
    std::vector<std::string> alerts = dialogs.texts(Kind::Alert);
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_NE(alerts[1].find("too large"), std::string::npos);
    EXPECT_NE(log().find("] :  > Firmware package refused"), std::string::npos);
    PedalState state;
    ASSERT_TRUE(pedal->state(state));
    EXPECT_EQ(state.pagesReceived, 0u);
    EXPECT_TRUE(state.updateMode);
}
