// The firmware update prompt in the real main window, against an in-process
// pedal that waits for firmware: it records what it is sent, echoes every page
// and can fail any write, so the cases a virtual pedal cannot easily show
// (refused bytes, clicks in the middle of a transfer) are covered here.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Hold_Browser.H>

#include <sys/stat.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/OV_Parameters.h"
#include "tests/support/gui/Events.h"
#include "tests/support/gui/StatusLog.h"
#include "tests/support/gui/RecordingDialogs.h"
#include "tests/support/gui/TestEnvironment.h"
#include "tests/support/link/FakeBackend.h"
#include "link/OV_UsbController.h"
#include "maintenance/OV_UpdatePrompt.h"
#include "editor/ScrollBox.h"
#include "reference/OV_ToneChart.h"
#include "presets/OV_TransportPanel.h"
#include "shell/main_window.h"
#include "shell/status_log.h"

namespace {

using Bytes = serialport::FakeBackend::Bytes;

struct SentPage {
    unsigned address;
    Bytes bytes;
};

class UpdatePromptTest : public ::testing::Test {
protected:
    void SetUp() override {
        pedal.devices.push_back({"Kestrova Drevani", "VP24000001"});
        pedal.responder = [this](const Bytes& sent) { return answer(sent); };
        window = env.openWindow();
        prompt = window->updatePrompt();
        dialogs.clear();   // whatever start-up reported is not the prompt's concern
    }

    // The pedal in update mode: status 0x23 (bit 7 clear, version 2.3).
    Bytes answer(const Bytes& sent) {
        if (sent.size() == 1 && sent[0] == 0x50) return Bytes{0x23};
        if (sent.size() == 67 && sent[0] == 0xA0) {
            pages.push_back({static_cast<unsigned>(sent[1] | sent[2] << 8), Bytes(sent.begin() + 3, sent.end())});
            if (duringPage) duringPage(static_cast<int>(pages.size()) - 1);
            return Bytes(sent.begin() + 3, sent.end());
        }
        if (sent.size() == 2 && sent[0] == 0xB0) {
            versions.push_back(sent[1]);
        }
        if (sent.size() == 1 && sent[0] == 0xFF) ++resumes;
        return Bytes();
    }

    std::string label() const {
        const char* text = window->usb()->progress->label();
        return text ? text : "";
    }

    std::string log() const { return gui::logText(window.get()); }

    std::string package(const std::string& name, const std::string& bytes) {
        std::string path = env.root + "/" + name;
        gui::TestEnvironment::writeFile(path, bytes);
        return path;
    }

    // Clicks at the centre of a widget, as the user would.
    void click(Fl_Widget* w) {
        gui::clickCentre(w);
        gui::settle();
    }

    // What starts the tone chart's audition.
    std::vector<Fl_Widget*> auditionControls() const {
        OV_ToneChart* page = window->toneChart();
        return {page->speakerList, page->clickBox, page->listenL, page->listenLR, page->listenR};
    }

    void browse(const std::string& path) {
        dialogs.chooserAnswers.push_back({path});
        click(prompt->browseButton);
    }

    gui::TestEnvironment env;
    gui::RecordingDialogs dialogs;
    serialport::FakeBackend pedal;
    serialport::ScopedBackend backend{pedal};
    std::unique_ptr<Orvella> window;
    OV_UpdatePrompt* prompt = nullptr;

    std::vector<SentPage> pages;
    std::vector<uint8_t> versions;
    std::function<void(int)> duringPage;
    int resumes = 0;
};

std::string payloadOf(size_t n) {
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>(0x30 + i % 61);
    return bytes;
}

}  // namespace

TEST_F(UpdatePromptTest, ChooserStartsInTheDownloadFolder) {
    dialogs.chooserAnswers.push_back({});   // cancelled
    click(prompt->browseButton);
    ASSERT_EQ(dialogs.chooserRequests.size(), 1u);
    EXPECT_EQ(dialogs.chooserRequests[0].title, "Browse Firmware (.fdt)");
    EXPECT_EQ(dialogs.chooserRequests[0].filter, "*.fdt");
    EXPECT_EQ(dialogs.chooserRequests[0].directory.rfind(env.home, 0), 0u);
    EXPECT_EQ(dialogs.count(gui::RecordingDialogs::Alert), 0);
    EXPECT_FALSE(prompt->updateButton->active());
}

TEST_F(UpdatePromptTest, BrowsedPackageShowsVersionAndNotes) {
    browse(package("fw.fdt", "[\n2\nFaster start-up\nQuieter relays\n" + payloadOf(10)));
    EXPECT_STREQ(prompt->fileVersionBox->label(), "V2.4");
    EXPECT_FALSE(prompt->iconBox->visible());
    EXPECT_TRUE(prompt->notesDisplay->visible());
    char* notes = prompt->notesBuffer->text();
    EXPECT_STREQ(notes, "Faster start-up\nQuieter relays\n");
    free(notes);
    EXPECT_TRUE(prompt->updateButton->active());
    EXPECT_NE(log().find("] :  Firmware package file ready.\n"), std::string::npos);
    EXPECT_TRUE(pages.empty());
}

TEST_F(UpdatePromptTest, UnreadablePackageIsAFileError) {
    browse(env.root + "/missing.fdt");
    ASSERT_EQ(dialogs.count(gui::RecordingDialogs::Alert), 1);
    EXPECT_EQ(dialogs.texts(gui::RecordingDialogs::Alert)[0].rfind("A problem is encountered while trying to access the firmware file.", 0), 0u);
    EXPECT_EQ(label(), "File error");
    EXPECT_EQ(window->usb()->progress->selection_color(), 0x80000000u);
    EXPECT_NE(log().find("Failed to open firmware package file - Error code : 2.\n"), std::string::npos);
    EXPECT_FALSE(prompt->updateButton->active());
}

TEST_F(UpdatePromptTest, FailedPageTransferShowsItsAlert) {
    browse(package("fw.fdt", "5\n0\n" + payloadOf(200)));
    pedal.writeStatus = FT_IO_ERROR;
    click(prompt->updateButton);
    EXPECT_TRUE(pages.empty());
    EXPECT_TRUE(versions.empty());
    ASSERT_EQ(dialogs.count(gui::RecordingDialogs::Alert), 1);
    std::string alert = dialogs.texts(gui::RecordingDialogs::Alert)[0];
    EXPECT_EQ(alert.rfind("USB communication problem has been detected.\n\n", 0), 0u);
    EXPECT_NE(alert.find("\n\n < Direct support email : "), std::string::npos);
    EXPECT_EQ(label(), "Update failed");
    EXPECT_NE(log().find("] :  > Firmware update operation failed. Please try again.\n"), std::string::npos);
    EXPECT_TRUE(prompt->updateButton->active());
}

TEST_F(UpdatePromptTest, ResumeRefusedKeepsTheTransportPanelInactive) {
    pedal.writeStatus = FT_IO_ERROR;
    click(prompt->cancelButton);
    std::vector<std::string> alerts = dialogs.texts(gui::RecordingDialogs::Alert);
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_EQ(alerts[1].rfind(" USB communication problem is detected.", 0), 0u);
    EXPECT_FALSE(window->transportPanel()->active());
    EXPECT_TRUE(window->dashboard()->active());
}

TEST_F(UpdatePromptTest, PackageGoneWhenTheUpdateStartsSendsNothing) {
    std::string path = package("fw.fdt", "[\n0\n" + payloadOf(128));
    browse(path);
    std::remove(path.c_str());
    click(prompt->updateButton);
    EXPECT_TRUE(pages.empty());
    EXPECT_TRUE(versions.empty());
    ASSERT_EQ(dialogs.count(gui::RecordingDialogs::Alert), 1);
    EXPECT_EQ(dialogs.texts(gui::RecordingDialogs::Alert)[0].rfind("A problem is encountered while trying to access the firmware file.", 0), 0u);
    EXPECT_NE(log().find("Failed to open firmware package file - Error code : 2.\n"), std::string::npos);
    EXPECT_EQ(label(), "File error");
}

TEST_F(UpdatePromptTest, PressesDuringTheTransferAreIgnored) {
    browse(package("fw.fdt", "[\n0\n" + payloadOf(64 * 4)));
    dialogs.chooserAnswers.push_back({package("other.fdt", "1\n0\nxx")});
    duringPage = [this](int page) {
        if (page != 1) return;
        // Clicks as the toolkit would deliver them between polls, and the
        // buttons' callbacks run directly.
        click(prompt->cancelButton);
        click(prompt->browseButton);
        click(prompt->updateButton);
        prompt->cancelButton->do_callback();
        prompt->browseButton->do_callback();
        prompt->updateButton->do_callback();
        prompt->do_callback();
        EXPECT_FALSE(window->connectButton()->active());
        EXPECT_FALSE(window->menuButton()->active());
        EXPECT_FALSE(window->quitButton()->active());
        // The tone chart's audition would send an image between two pages.
        // its page stays active, so the tab's label keeps its colour.
        for (Fl_Widget* w : auditionControls()) EXPECT_FALSE(w->active());
        EXPECT_TRUE(window->toneChart()->active());
    };
    click(prompt->updateButton);
    // The transfer gives them back to the prompt, which holds them until the
    // session ends.
    for (Fl_Widget* w : auditionControls()) EXPECT_FALSE(w->active());

    ASSERT_EQ(pages.size(), 4u);
    for (unsigned i = 0; i < 4; ++i) EXPECT_EQ(pages[i].address, 64 * i);
    EXPECT_EQ(versions, std::vector<uint8_t>{0x24});
    EXPECT_EQ(resumes, 0);
    EXPECT_TRUE(prompt->visible());
    EXPECT_TRUE(dialogs.chooserRequests.size() == 1u);   // only the first browse
    EXPECT_EQ(dialogs.count(gui::RecordingDialogs::Message), 1);
    EXPECT_EQ(prompt->cancelButton->value(), 0);
    EXPECT_STREQ(prompt->cancelButton->label(), "Exit Session");
    EXPECT_TRUE(prompt->browseButton->active());
    EXPECT_TRUE(prompt->cancelButton->active());
    click(prompt->cancelButton);   // Exit Session
    for (Fl_Widget* w : auditionControls()) EXPECT_TRUE(w->active());
}

TEST(UpdateDownloadFolder, PrefersTheUsualFormAndFallsBackToWhatExists) {
    gui::TestEnvironment env;   // USERPROFILE is a private folder
    const char* saved = getenv("LOCALAPPDATA");
    std::string savedValue = saved ? saved : "";

    setenv("LOCALAPPDATA", env.home.c_str(), 1);
    EXPECT_EQ(OV_UpdatePrompt::downloadFolder(), env.home);   // no download folder yet
    mkdir((env.home + "/My Documents").c_str(), 0755);
    mkdir((env.home + "/My Documents/Downloads").c_str(), 0755);
    EXPECT_EQ(OV_UpdatePrompt::downloadFolder(), env.home + "/My Documents/Downloads");
    mkdir((env.home + "/Downloads").c_str(), 0755);
    EXPECT_EQ(OV_UpdatePrompt::downloadFolder(), env.home + "/Downloads");
    unsetenv("LOCALAPPDATA");
    EXPECT_EQ(OV_UpdatePrompt::downloadFolder(), env.home + "/My Documents/Downloads");

    if (saved) setenv("LOCALAPPDATA", savedValue.c_str(), 1);
}
