// Pedal selection: the list, the prompt and Confirm.
#include <gtest/gtest.h>

#include <FL/Fl_Choice.H>

#include <cstring>

#include "editor/OV_Parameters.h"
#include "tests/support/gui/Events.h"
#include "tests/support/gui/RecordingDialogs.h"
#include "tests/support/gui/TestEnvironment.h"
#include "link/OV_UsbController.h"
#include "presets/OV_TransportPanel.h"
#include "shell/pedal_selection.h"
#include "shell/main_window.h"

using gui::RecordingDialogs;
using gui::TestEnvironment;

namespace {

class PedalSelection : public ::testing::Test {
protected:
    TestEnvironment env;
    RecordingDialogs dialogs;
    std::unique_ptr<Orvella> window = env.openWindow();

    void enumerate(const char* first, const char* second, unsigned count) {
        std::strcpy(window->usb()->serialNumber[0], first);
        std::strcpy(window->usb()->serialNumber[1], second);
        window->usb()->deviceCount = count;
        fillPedalList(window.get());
        window->exchanges().setActive(window->transportPanel(), true);   // as the connect run marks it
    }
};

}  // namespace

TEST_F(PedalSelection, OnePedalFillsOneEntryAndShowsNothing) {
    enumerate("VP24000001", "", 1);
    EXPECT_EQ(window->devSelPrompt()->serialChoice->size() - 1, 1);   // size counts the terminator
    EXPECT_FALSE(window->devSelPrompt()->visible());
    EXPECT_TRUE(window->transportPanel()->active());
}

TEST_F(PedalSelection, TwoPedalsShowThePromptWithExactlyTwoSerialsEveryTime) {
    for (int run = 0; run < 3; ++run) {
        enumerate("VP24000001", "A/B&C_7", 2);
        Fl_Choice* choice = window->devSelPrompt()->serialChoice;
        ASSERT_EQ(choice->size() - 1, 2);
        EXPECT_STREQ(choice->text(0), "VP24000001");
        EXPECT_STREQ(choice->text(1), "A/B&C_7");   // menu characters kept as typed
        EXPECT_EQ(choice->value(), 0);
    }
    EXPECT_TRUE(window->devSelPrompt()->visible());
    EXPECT_FALSE(window->dashboard()->active());
    EXPECT_FALSE(window->transportPanel()->active());
}

TEST_F(PedalSelection, ConfirmingTheSecondMakesItSlotZeroAndRestoresThePanels) {
    enumerate("VP24000001", "VP24000002", 2);
    window->devSelPrompt()->serialChoice->value(1);
    OV_DevSelPrompt* prompt = window->devSelPrompt();
    gui::click(window.get(), prompt->confirmButton->x() + 10, prompt->confirmButton->y() + 10);
    EXPECT_STREQ(window->usb()->serialNumber[0], "VP24000002");
    EXPECT_FALSE(prompt->visible());
    EXPECT_TRUE(window->dashboard()->active());
    EXPECT_TRUE(window->transportPanel()->active());
    EXPECT_EQ(prompt->confirmButton->value(), 0);
}

TEST_F(PedalSelection, ConfirmingWithoutChangeKeepsTheFirstAndALongSerialIsCut) {
    enumerate("ABCDEFGHIJK", "VP24000002", 2);
    window->devSelPrompt()->do_callback();
    EXPECT_STREQ(window->usb()->serialNumber[0], "ABCDEFGHIJK");
    window->devSelPrompt()->serialChoice->replace(0, "ABCDEFGHIJKLMNOP");
    window->devSelPrompt()->serialChoice->value(0);
    window->devSelPrompt()->do_callback();
    EXPECT_STREQ(window->usb()->serialNumber[0], "ABCDEFGHIJK");
}

TEST_F(PedalSelection, MenuEntryReopensThePromptAsTheLastEnumerationLeftIt) {
    enumerate("VP24000001", "VP24000002", 2);
    window->devSelPrompt()->serialChoice->value(1);
    window->devSelPrompt()->do_callback();
    openPedalSelection(window.get());
    EXPECT_TRUE(window->devSelPrompt()->visible());
    EXPECT_EQ(window->devSelPrompt()->serialChoice->value(), 1);
    EXPECT_FALSE(window->dashboard()->active());
    EXPECT_FALSE(window->transportPanel()->active());
}
