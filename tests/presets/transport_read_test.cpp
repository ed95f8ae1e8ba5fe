// READ: a preset from the pedal to the Dashboard and the title, and a pedal
// unplugged in the middle.
#include "tests/presets/TransportFixture.h"

#include "editor/TextInput.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>

using namespace presettest;
using gui::RecordingDialogs;

namespace {

TEST_F(Transport, ReadAppliesThePresetAndLogs) {
    window->presetPanel()->addPreset("Local");
    window->presetPanel()->presetChoice->value(0);
    selectPreset(2);
    press(panel().readButton);
    EXPECT_EQ(dashboardParams(), record(2));
    EXPECT_EQ(std::string(panel().title, 12), title("Factory 3"));
    EXPECT_STREQ(panel().titleInput->value(), (" " + title("Factory 3")).c_str());
    EXPECT_EQ(newLines(), (std::vector<std::string>{"Read operation from Preset 3 OK.",
                                                    "> Param setting as was saved in your pedal is now displayed."}));
    EXPECT_EQ(progressLabel(), "Read complete");
    EXPECT_EQ(window->presetPanel()->presetChoice->value(), -1);
    EXPECT_EQ(panel().readButton->value(), 0);
    EXPECT_TRUE(panel().writeButton->active());
    EXPECT_TRUE(window->dashboard()->active());
    EXPECT_EQ(dialogs->entries.size(), 0u);
}

TEST_F(Transport, APedalUnpluggedDuringReadEndsInTheFailureTail) {
    std::vector<uint8_t> before = dashboardParams();
    ASSERT_TRUE(pedal->setFaults({"unplug"}));
    selectPreset(4);
    press(panel().readButton);
    EXPECT_EQ(dialogs->count(RecordingDialogs::Alert), 1);
    EXPECT_EQ(dialogs->texts(RecordingDialogs::Alert)[0].rfind(tail, 0), 0u);
    EXPECT_EQ(newLines(), (std::vector<std::string>{"Read / Write operation failed.",
                                                    "> No changes has been made. Please try again."}));
    EXPECT_EQ(progressLabel(), "Read / Write error");
    EXPECT_EQ(dashboardParams(), before);
    EXPECT_TRUE(window->connectButton()->active());
    EXPECT_TRUE(panel().readButton->active());
}

}  // namespace
