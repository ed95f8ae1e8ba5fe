// Selecting one of the pedal's eight presets on the transport panel: it
// lights, and nothing goes to the pedal.
#include "tests/presets/TransportFixture.h"

#include <FL/Fl_Group.H>
#include <FL/Fl_Light_Button.H>

using namespace presettest;
using gui::RecordingDialogs;

namespace {

TEST_F(Transport, SelectingAPresetLightsItAndSendsNothing) {
    size_t sent = pedal->commands().size();
    selectPreset(5);
    EXPECT_EQ(panel().selectedPreset, 5);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(static_cast<Fl_Light_Button*>(static_cast<Fl_Group*>(panel().child(i))->child(0))->value(), i == 5);
    Fl_Light_Button* six = static_cast<Fl_Light_Button*>(static_cast<Fl_Group*>(panel().child(5))->child(0));
    EXPECT_EQ(six->selection_color(), FL_RED);
    EXPECT_EQ(progressLabel(), "r e a d y");
    EXPECT_EQ(window->usb()->progress->value(), 0);

    selectPreset(1);
    selectPreset(1);                                // a second click keeps it lit
    Fl_Light_Button* two = static_cast<Fl_Light_Button*>(static_cast<Fl_Group*>(panel().child(1))->child(0));
    EXPECT_EQ(two->value(), 1);
    EXPECT_EQ(two->selection_color(), FL_GREEN);
    EXPECT_EQ(pedal->commands().size(), sent);
    EXPECT_EQ(newLog(), "");
}

}  // namespace
