// The preset title field of the transport panel: what it takes, how it shows
// what a pedal holds, and a title entered while a WRITE waits for the pedal.
#include "tests/presets/TransportFixture.h"

#include "editor/TextInput.h"

#include <FL/Fl.H>
#include <FL/Fl_Choice.H>

#include <cstring>

using namespace presettest;
using gui::RecordingDialogs;

namespace {

TEST_F(Transport, TitleIsPaddedToTwelveAndShownWithALeadingSpace) {
    TextInput* input = panel().titleInput;
    press(input);
    gui::type(window.get(), "Clean");
    gui::key(window.get(), FL_Enter);
    EXPECT_EQ(std::string(panel().title, 12), "Clean       ");
    EXPECT_STREQ(input->value(), " Clean       ");
    EXPECT_EQ(progressLabel(), "r e a d y");
}

// The pedal keeps 12 single bytes: the field takes printable ASCII only and
// says when it leaves something out; what a pedal holds beyond that shows as
// '?' and goes back unchanged.
TEST_F(Transport, TitlesHoldOnlyWhatThePedalStoresAndForeignBytesShowSafely) {
    // Typed at speed, a refused key interrupts nothing: the keys after it
    // land in the field, and once the title is entered an alert tells what
    // was left out, the focus and the caret staying in the field.
    TextInput* input = panel().titleInput;
    press(input);
    gui::type(window.get(), "Cr");
    gui::key(window.get(), 0xe8, "\xc3\xa8");            // è
    gui::type(window.get(), "me");
    EXPECT_STREQ(input->value(), "Crme");
    EXPECT_EQ(dialogs->count(RecordingDialogs::Alert), 0);
    gui::key(window.get(), FL_Enter);
    EXPECT_EQ(std::string(panel().title, 12), "Crme        ");
    std::vector<std::string> alerts = dialogs->texts(RecordingDialogs::Alert);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].find("\"\xc3\xa8\" has been left out."), std::string::npos) << alerts[0];
    EXPECT_EQ(Fl::focus(), input);
    // Left for another control instead, the field tells once the focus has moved.
    press(input);
    gui::type(window.get(), "abcdefghijk");
    gui::key(window.get(), 0xe9, "\xc3\xa9");            // é
    gui::type(window.get(), "lm");                      // the twelfth fits, the thirteenth not
    selectPreset(1);
    gui::settle();
    EXPECT_EQ(std::string(panel().title, 12), "abcdefghijkl");
    alerts = dialogs->texts(RecordingDialogs::Alert);
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_NE(alerts[1].find("\"\xc3\xa9\" has been left out."), std::string::npos) << alerts[1];
    dialogs->clear();
    press(panel().writeButton);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(pedalState().presets[1].title), 12), "abcdefghijkl");

    // A paste keeps the plain characters.
    press(input);
    std::string pasted = "Cr\xc3\xa8me Br\xc3\xbbl\xc3\xa9\x65";
    Fl::e_text = &pasted[0];
    Fl::e_length = static_cast<int>(pasted.size());
    input->handle(FL_PASTE);
    gui::key(window.get(), FL_Enter);
    EXPECT_EQ(std::string(panel().title, 12), "Crme Brle   ");
    EXPECT_EQ(dialogs->count(RecordingDialogs::Alert), 1);

    // A title written by other means, with a multi-byte character cut at the
    // twelfth byte and a control byte.
    const uint8_t foreign[12] = {'C', 'a', 'f', 0xc3, 0xa9, 0x01, 'x', 'y', 'z', 'w', 'v', 0xc3};
    panel().showTitle(foreign);
    press(panel().writeButton);
    panel().showTitle(reinterpret_cast<const uint8_t*>("Other       "));
    press(panel().readButton);
    EXPECT_STREQ(input->value(), " Caf???xyzwv?");
    EXPECT_EQ(std::memcmp(panel().title, foreign, 12), 0);
    EXPECT_EQ(std::memcmp(pedalState().presets[1].title, foreign, 12), 0);
}

// Types a title into the field while an action waits for the pedal.
struct TypeTitle {
    Orvella* app;
    bool done = false;
};

void typeTitle_cb(void* data) {
    TypeTitle& t = *static_cast<TypeTitle*>(data);
    TextInput* input = t.app->transportPanel()->titleInput;
    gui::click(t.app, input->x() + 10, input->y() + 10);
    gui::type(t.app, "During");
    gui::key(t.app, FL_Enter);
    t.done = true;
}

TEST_F(Transport, ATitleEnteredDuringAWriteWaitsForTheNextWrite) {
    panel().showTitle(reinterpret_cast<const uint8_t*>("Before      "));
    window->presetPanel()->addPreset("Local");
    window->presetPanel()->presetChoice->value(0);
    ASSERT_TRUE(pedal->setFaults({"slow-reply=0.3"}));
    TypeTitle typing{window.get()};
    Fl::add_timeout(0.0, typeTitle_cb, &typing);    // at the first event check inside the write
    press(panel().writeButton);
    ASSERT_TRUE(typing.done);

    EXPECT_EQ(std::string(reinterpret_cast<char*>(pedalState().presets[0].title), 12), "Before      ");
    EXPECT_EQ(std::string(panel().title, 12), "During      ");
    EXPECT_EQ(progressLabel(), "Write complete");
    EXPECT_EQ(newLines(), (std::vector<std::string>{"Write operation to Preset 1 OK (verified).",
                                                    "> Param setting displayed have been stored in your pedal."}));
    EXPECT_EQ(window->presetPanel()->presetChoice->value(), -1);
    EXPECT_EQ(panel().writeButton->value(), 0);
    EXPECT_TRUE(panel().readButton->active());
}

}  // namespace
