// The Dashboard's handlers, driven as a user drives them, checked against the
// parameter block, the image a lone sound model computes for the same steps,
// and the previews that reach the preview step.
#include "tests/editor/DashboardFixture.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Float_Input.H>
#include <FL/Fl_Int_Input.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_PNG_Image.H>

#include <cstring>

#include "tests/editor/EventSim.h"
#include "editor/Slider.h"
#include "editor/Thumbwheel.h"
#include "sound/SoundModel.h"

using namespace sound;

using dashtest::Dashboard;
using sim::click;

namespace {

void type(Fl_Input* field, const char* text) {
    field->value(text);
    field->do_callback();     // as when the focus leaves a changed field
}

std::vector<uint8_t> imageOf(const SoundModel& e) { return std::vector<uint8_t>(e.image(), e.image() + 512); }

}  // namespace

TEST_F(Dashboard, StartsWithTheDefaultBlockAndItsImage) {
    SoundModel reference(dashtest::makeBinFolder());
    EXPECT_EQ(block(), std::vector<uint8_t>(defaultParams, defaultParams + 12));
    EXPECT_EQ(image(), imageOf(reference));
    EXPECT_EQ(dash->savedSpeaker(0), 3);
    EXPECT_EQ(dash->savedSpeaker(1), 23);
    EXPECT_STREQ(dash->label(), "  D a s h b o a r d  ");
    EXPECT_STREQ(dash->leftSpeakerChoice->mvalue()->label(), " Clst Vintage30 - 12 inch ");
    EXPECT_STREQ(dash->rightSpeakerChoice->mvalue()->label(), " Clst Cream - 10 inch ");
    EXPECT_STREQ(dash->leftOutLeftInput->value(), "100");
    EXPECT_STREQ(dash->rightOutRightInput->value(), "100");
    EXPECT_STREQ(dash->leftVolumeInput->value(), "1.0");
    EXPECT_STREQ(dash->leftMicEdgeBox->label(), "50%");
    EXPECT_TRUE(dash->coreFilesOk);
    EXPECT_FALSE(dash->timeSlider->visible());
    EXPECT_FALSE(dash->leftDelayFineInput->visible());
    EXPECT_TRUE(previews.empty());
}

TEST_F(Dashboard, MenuPositionsGiveTheSpeakerNumbers) {
    // Every item of every category menu flattens to a selectable number, and
    // every other entry (header, submenu title, end marker, separator) to one
    // that is not.
    for (int c = 0; c < CategoryCount; c++) {
        dash->categoryPressed(0, c);
        const Fl_Menu_Item* menu = dash->leftSpeakerChoice->menu();
        int size = dash->leftSpeakerChoice->size();
        int items = 0;
        for (int pos = 0; pos < size - 1; pos++) {
            const Fl_Menu_Item& m = menu[pos];
            bool item = m.label() && m.label()[0] && !m.submenu() && m.active();
            int number = dash->leftCategoryBase + pos;
            // The header and the final end marker fall on the neighbours' numbers.
            if (speakerCategory(number) == c) EXPECT_EQ(isSelectableSpeaker(number), item) << c << " " << pos;
            else EXPECT_FALSE(item) << c << " " << pos;
            items += item;
        }
        const int expected[CategoryCount] = {20, 10, 7, 6};
        EXPECT_EQ(items, expected[c]);
    }
    dash->categoryPressed(0, GearsCategory);
    dash->leftSpeakerChoice->value(3);      // Palm09, Bright
    dash->leftSpeakerChoice->do_callback();
    EXPECT_EQ(dash->params()[Speaker_L], 62);
    EXPECT_FALSE(dash->leftSealedCheck->visible());
    EXPECT_FALSE(dash->leftOpenCheck->active());
}

TEST_F(Dashboard, DraggingTheBlendRefreshesReadoutsAndPreviewsOnceAtRelease) {
    SoundModel reference(dashtest::makeBinFolder());
    Slider* s = dash->leftBlendSlider;
    sim::drag(s, sim::knobX(*s, 0), sim::knobX(*s, 40), s->y() + 8);
    EXPECT_EQ(dash->params()[Blend_L], 40);
    EXPECT_STREQ(dash->leftOutLeftInput->value(), "60");
    EXPECT_STREQ(dash->leftOutRightInput->value(), "40");
    ASSERT_EQ(previews.size(), 1u);
    reference.setBlend(LeftSide, 40);
    EXPECT_EQ(std::vector<uint8_t>(previews[0].image.begin(), previews[0].image.end()), imageOf(reference));
    // A drag released with the right button commits nothing.
    sim::drag(s, sim::knobX(*s, 40), sim::knobX(*s, 70), s->y() + 8, FL_RIGHT_MOUSE);
    EXPECT_EQ(previews.size(), 1u);
    EXPECT_EQ(image(), imageOf(reference));
}

TEST_F(Dashboard, VolumeFieldsClampAndSetTheSlider) {
    type(dash->leftVolumeInput, "2");
    EXPECT_STREQ(dash->leftVolumeInput->value(), "1.0");
    EXPECT_EQ(dash->leftVolumeSlider->value(), 200);
    EXPECT_EQ(dash->params()[Volume_L], 200);
    type(dash->rightVolumeInput, "-2");
    EXPECT_STREQ(dash->rightVolumeInput->value(), "-1.0");
    EXPECT_EQ(dash->params()[Volume_R], 0);
    type(dash->rightVolumeInput, "0.29");   // no binary-fraction loss: 129, not 128
    EXPECT_EQ(dash->params()[Volume_R], 129);
    type(dash->rightVolumeInput, "mute");
    EXPECT_STREQ(dash->rightVolumeInput->value(), "0.0");
    EXPECT_EQ(dash->params()[Volume_R], 100);
    type(dash->leftVolumeInput, "nan");     // no number: silence, not full level
    EXPECT_STREQ(dash->leftVolumeInput->value(), "0.0");
    EXPECT_EQ(dash->params()[Volume_L], 100);
    EXPECT_EQ(previews.size(), 5u);
}

TEST_F(Dashboard, BlendFieldsMoveTheSliderAndThePartner) {
    type(dash->leftOutLeftInput, "70");
    EXPECT_EQ(dash->leftBlendSlider->value(), 30);
    EXPECT_STREQ(dash->leftOutRightInput->value(), "30");
    EXPECT_EQ(dash->params()[Blend_L], 30);
    type(dash->rightOutLeftInput, "-5");
    EXPECT_STREQ(dash->rightOutLeftInput->value(), "0");
    EXPECT_STREQ(dash->rightOutRightInput->value(), "100");
    EXPECT_EQ(dash->params()[Blend_R], 100);
    type(dash->rightOutRightInput, "250");
    EXPECT_STREQ(dash->rightOutRightInput->value(), "100");
    EXPECT_EQ(dash->params()[Blend_R], 100);
}

TEST_F(Dashboard, DelayFieldsClampAndZeroThePartner) {
    type(dash->rightDelayInput, "7");
    EXPECT_EQ(dash->params()[Delay], 132);
    type(dash->leftDelayInput, "130");
    EXPECT_STREQ(dash->leftDelayInput->value(), "125");
    EXPECT_EQ(dash->delaySlider->value(), 0);
    EXPECT_EQ(dash->params()[Delay], 0);
    EXPECT_STREQ(dash->rightDelayInput->value(), "0");
    SoundModel reference(dashtest::makeBinFolder());
    reference.setDelay(0);
    EXPECT_EQ(image(), imageOf(reference));
}

TEST_F(Dashboard, UltraShortRescalesTheDelayAndSwapsTheFields) {
    click(dash->ultraShortCheck);
    EXPECT_TRUE(dash->ultraShortCheck->value());
    EXPECT_EQ(dash->delaySlider->maximum(), 100);
    EXPECT_EQ(dash->params()[Delay], 50);
    EXPECT_TRUE(dash->params()[Flags] & FlagUltraShort);
    EXPECT_TRUE(dash->leftDelayFineInput->visible());
    EXPECT_FALSE(dash->leftDelayInput->visible());
    EXPECT_EQ(previews.size(), 1u);
    type(dash->rightDelayFineInput, "0.5");
    EXPECT_EQ(dash->params()[Delay], 75);
    type(dash->leftDelayFineInput, "0.33");
    EXPECT_EQ(dash->params()[Delay], 33);       // whole samples: 50 - 16.5, integer part
    EXPECT_STREQ(dash->leftDelayFineInput->value(), "0.33");   // in range: kept as typed
    EXPECT_STREQ(dash->rightDelayFineInput->value(), "0.0");
    type(dash->leftDelayFineInput, "-1");
    EXPECT_STREQ(dash->leftDelayFineInput->value(), "0.0");
    EXPECT_EQ(dash->params()[Delay], 50);
    type(dash->rightDelayFineInput, "3");
    EXPECT_STREQ(dash->rightDelayFineInput->value(), "1.0");
    EXPECT_STREQ(dash->leftDelayFineInput->value(), "0.0");
    EXPECT_EQ(dash->params()[Delay], 100);
    SoundModel reference(dashtest::makeBinFolder());
    reference.setUltraShort(true);
    reference.setDelay(100);
    EXPECT_EQ(image(), imageOf(reference));
    // The slider's own read-outs take over again once it moves.
    dash->delaySlider->value(0);
    dash->delaySlider->do_callback();
    EXPECT_STREQ(dash->leftDelayFineInput->value(), "1.00");
    EXPECT_STREQ(dash->rightDelayFineInput->value(), "0.0");
    dash->delaySlider->value(100);
    dash->delaySlider->do_callback();
    click(dash->ultraShortCheck);
    EXPECT_EQ(dash->params()[Delay], 250);
    EXPECT_EQ(dash->delaySlider->maximum(), 250);
    EXPECT_TRUE(dash->rightDelayInput->visible());
    EXPECT_STREQ(dash->rightDelayInput->value(), "125");
}

TEST_F(Dashboard, MutedSideWaitsForTheSoloToEnd) {
    click(dash->rightSpeakerButton);
    ASSERT_TRUE(dash->rightSoloOn());
    EXPECT_EQ(previews.size(), 1u);
    EXPECT_EQ(dash->rightSpeakerButton->image(), static_cast<Fl_Image*>(dash->speakerOnSoloImage));
    EXPECT_EQ(dash->leftSpeakerButton->image(), static_cast<Fl_Image*>(dash->speakerOffImage));
    std::vector<uint8_t> soloImage = image();

    Thumbwheel* wheel = dash->leftMicWheel;
    wheel->value(10);
    wheel->released = 1;
    wheel->do_callback();
    EXPECT_EQ(dash->params()[Mic_L], 10);
    EXPECT_EQ(previews.size(), 1u);
    EXPECT_EQ(image(), soloImage);

    click(dash->rightSpeakerButton);
    EXPECT_FALSE(dash->rightSoloOn());
    ASSERT_EQ(previews.size(), 2u);
    SoundModel reference(dashtest::makeBinFolder());
    reference.setMic(LeftSide, 10);
    EXPECT_EQ(image(), imageOf(reference));
    EXPECT_EQ(dash->leftSpeakerButton->image(), static_cast<Fl_Image*>(dash->speakerOnImage));
}

TEST_F(Dashboard, FullRangeRestsTheWheelUntilAnotherSpeaker) {
    click(dash->leftCategoryButtons[MiscCategory]);
    EXPECT_EQ(dash->params()[Speaker_L], FullRangeSpeaker);
    EXPECT_FALSE(dash->leftMicWheel->active());
    EXPECT_FALSE(dash->leftSealedCheck->visible());
    click(dash->leftCategoryButtons[GuitarCategory]);
    EXPECT_EQ(dash->params()[Speaker_L], 3);   // the Guitar memory
    EXPECT_TRUE(dash->leftMicWheel->active());
    EXPECT_TRUE(dash->leftSealedCheck->visible());
    EXPECT_EQ(previews.size(), 2u);
    // Memories per side and category: Misc comes back with its last item.
    dash->categoryPressed(0, MiscCategory);
    dash->leftSpeakerChoice->value(7);      // Megaphone
    dash->leftSpeakerChoice->do_callback();
    dash->categoryPressed(0, BassCategory);
    EXPECT_EQ(dash->params()[Speaker_L], 42);
    dash->categoryPressed(0, MiscCategory);
    EXPECT_EQ(dash->params()[Speaker_L], 77 - 1);
    EXPECT_EQ(dash->savedSpeaker(0), 76);
}

TEST_F(Dashboard, PressingWhatIsAlreadyOnSendsNothing) {
    const std::vector<uint8_t> before = image();
    click(dash->leftSealedCheck);
    click(dash->rightOpenCheck);
    click(dash->stereoCabsButton);
    EXPECT_TRUE(dash->leftSealedCheck->value());
    EXPECT_TRUE(dash->stereoCabsButton->value());
    EXPECT_TRUE(previews.empty());
    EXPECT_EQ(image(), before);
    click(dash->stereoMicsButton);
    size_t afterMode = previews.size();
    EXPECT_EQ(afterMode, 1u);
    click(dash->smallRoomCheck);
    click(dash->stereoMicsButton);
    EXPECT_EQ(previews.size(), afterMode);
    EXPECT_TRUE(dash->smallRoomCheck->value());
    click(dash->mediumRoomCheck);
    EXPECT_EQ(previews.size(), afterMode + 1);
    EXPECT_TRUE(dash->params()[Flags] & FlagRoomMedium);
    EXPECT_FALSE(dash->smallRoomCheck->value());
}

TEST_F(Dashboard, CabinetTypeReloadsTheSpeaker) {
    click(dash->leftOpenCheck);
    EXPECT_TRUE(dash->leftOpenCheck->value());
    EXPECT_FALSE(dash->leftSealedCheck->value());
    EXPECT_TRUE(dash->params()[Flags] & FlagLeftOpen);
    EXPECT_EQ(previews.size(), 1u);
    SoundModel reference(dashtest::makeBinFolder());
    reference.setCabinet(LeftSide, true);
    EXPECT_EQ(image(), imageOf(reference));
}

TEST_F(Dashboard, PressingTheActiveCategoryReloadsAndPreviews) {
    click(dash->leftCategoryButtons[GuitarCategory]);
    EXPECT_TRUE(dash->leftCategoryButtons[GuitarCategory]->value());
    EXPECT_EQ(dash->leftSpeakerChoice->value(), 3);
    EXPECT_EQ(previews.size(), 1u);
}

TEST_F(Dashboard, ModeSwitchEndsSoloAndShowsEachModesControls) {
    click(dash->leftSpeakerButton);
    ASSERT_TRUE(dash->leftSoloOn());
    click(dash->stereoMicsButton);
    EXPECT_FALSE(dash->leftSoloOn());
    EXPECT_EQ(dash->stereoMode, 1);
    EXPECT_TRUE(dash->params()[Flags] & FlagStereoMics);
    EXPECT_EQ(dash->params()[Blend_L], 25);
    EXPECT_STREQ(dash->leftOutLeftInput->value(), "75");
    for (Fl_Widget* w : {(Fl_Widget*)dash->timeSlider, (Fl_Widget*)dash->depthInput, (Fl_Widget*)dash->mediumRoomCheck,
                         (Fl_Widget*)dash->colorSlider}) {
        EXPECT_TRUE(w->visible());
        EXPECT_TRUE(w->active());
    }
    for (Fl_Widget* w : {(Fl_Widget*)dash->leftSpeakerButton, (Fl_Widget*)dash->rightSpeakerChoice,
                         (Fl_Widget*)dash->rightMicWheel, (Fl_Widget*)dash->rightOpenCheck,
                         (Fl_Widget*)dash->delaySlider, (Fl_Widget*)dash->leftDelayInput,
                         (Fl_Widget*)dash->ultraShortCheck})
        EXPECT_FALSE(w->visible());
    EXPECT_TRUE(dash->delaySlider->active());   // hidden, not greyed
    EXPECT_TRUE(dash->leftMicWheel->visible());

    click(dash->stereoCabsButton);
    EXPECT_EQ(dash->params()[Blend_L], 0);
    EXPECT_EQ(dash->params()[Blend_R], 100);
    EXPECT_EQ(dash->leftSpeakerButton->image(), static_cast<Fl_Image*>(dash->speakerOnImage));
    EXPECT_EQ(dash->rightSpeakerButton->image(), static_cast<Fl_Image*>(dash->speakerOnImage));
    EXPECT_TRUE(dash->rightOpenCheck->visible());
    EXPECT_FALSE(dash->timeInput->visible());
    EXPECT_EQ(previews.size(), 3u);
    SoundModel reference(dashtest::makeBinFolder());
    EXPECT_EQ(image(), imageOf(reference));
}

TEST_F(Dashboard, RoomValuatorsCommitAtRelease) {
    click(dash->stereoMicsButton);
    previews.clear();
    Slider* t = dash->timeSlider;
    sim::drag(t, sim::knobX(*t, 0.5), sim::knobX(*t, 0.57), t->y() + 8);
    EXPECT_EQ(previews.size(), 1u);
    EXPECT_EQ(dash->params()[Time], int(t->value() * 100 + 0.5));
    EXPECT_EQ(std::to_string(dash->params()[Time]), dash->timeInput->value());
    type(dash->depthInput, "120");
    EXPECT_STREQ(dash->depthInput->value(), "100");
    EXPECT_EQ(dash->params()[Depth], 100);
    dash->colorSlider->value(3);
    dash->colorSlider->released = 1;
    dash->colorSlider->do_callback();
    EXPECT_EQ(dash->params()[Flags] & FlagColorMask, 3);
    EXPECT_EQ(previews.size(), 3u);
}

TEST_F(Dashboard, DelayVariantPreviewsOnceAndShowsTips) {
    dash->delayModeChoice->value(1);
    dash->delayModeChoice->do_callback();
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(previews[0].live, 0);     // the local preset selection stays
    EXPECT_EQ(dash->live, 1);
    EXPECT_TRUE(dash->tipsButton->visible());
    EXPECT_TRUE(dash->params()[Flags] & FlagNotcher);
    SoundModel reference(dashtest::makeBinFolder());
    reference.setDelayVariant(1);
    EXPECT_EQ(image(), imageOf(reference));

    click(dash->tipsButton);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].rfind("Tips on using Delay as Notcher / Doubler :\n\n 1. Use short", 0), 0u);
    EXPECT_NE(dialogs.messages[0].find("set at the endpoints"), std::string::npos);

    dash->delayModeChoice->value(0);
    dash->delayModeChoice->do_callback();
    EXPECT_FALSE(dash->tipsButton->visible());
    EXPECT_EQ(previews.size(), 2u);
}

TEST_F(Dashboard, SelectSpeakersEndsSoloAndPreviewsOnce) {
    click(dash->leftSpeakerButton);
    previews.clear();
    dash->selectSpeakers(62, 42);
    EXPECT_FALSE(dash->leftSoloOn());
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(previews[0].live, 0);
    EXPECT_EQ(dash->live, 1);
    EXPECT_EQ(dash->params()[Speaker_L], 62);
    EXPECT_EQ(dash->params()[Speaker_R], 42);
    // An audition is not the user's choice: the saved speakers stay.
    EXPECT_EQ(dash->savedSpeaker(0), 3);
    EXPECT_EQ(dash->savedSpeaker(1), 23);
    EXPECT_TRUE(dash->leftCategoryButtons[GearsCategory]->value());
    EXPECT_FALSE(dash->leftCategoryButtons[GuitarCategory]->value());
    EXPECT_TRUE(dash->rightCategoryButtons[BassCategory]->value());
    EXPECT_FALSE(dash->leftSealedCheck->visible());
    EXPECT_TRUE(dash->rightSealedCheck->visible());
    EXPECT_EQ(dash->leftSpeakerButton->image(), static_cast<Fl_Image*>(dash->speakerOnImage));
}

TEST_F(Dashboard, ApplyShowsTheBlockOnEveryControl) {
    const uint8_t b[12] = {0xFE, 70, 62, 10, 50, 150, 20, 30, 70, 80, 33, 66};
    dash->apply(b);
    EXPECT_TRUE(previews.empty());
    EXPECT_EQ(dash->live, 1);
    EXPECT_EQ(dash->stereoMode, 1);
    EXPECT_TRUE(dash->stereoMicsButton->value());
    EXPECT_FALSE(dash->leftMicWheel->active());   // Full Range, as when chosen live
    EXPECT_TRUE(dash->leftCategoryButtons[MiscCategory]->value());
    EXPECT_TRUE(dash->mediumRoomCheck->value());
    EXPECT_TRUE(dash->ultraShortCheck->value());
    EXPECT_EQ(dash->delayModeChoice->value(), 1);
    EXPECT_TRUE(dash->tipsButton->visible());
    EXPECT_EQ(dash->colorSlider->value(), 2);
    EXPECT_EQ(dash->rightMicWheel->value(), 50);
    EXPECT_STREQ(dash->leftVolumeInput->value(), "0.5");
    EXPECT_STREQ(dash->rightVolumeInput->value(), "-0.8");
    EXPECT_EQ(dash->params()[Delay], 80);
    EXPECT_STREQ(dash->timeInput->value(), "33");
    EXPECT_STREQ(dash->depthInput->value(), "66");
    EXPECT_STREQ(dash->leftOutRightInput->value(), "30");
    EXPECT_FALSE(dash->leftSealedCheck->visible());

    // Back to the default block: every control returns.
    dash->apply(defaultParams);
    EXPECT_EQ(block(), std::vector<uint8_t>(defaultParams, defaultParams + 12));
    EXPECT_TRUE(dash->leftMicWheel->active());
    EXPECT_TRUE(dash->stereoCabsButton->value());
    EXPECT_TRUE(dash->leftDelayInput->visible());
    EXPECT_FALSE(dash->tipsButton->visible());
}

TEST_F(Dashboard, ApplyGivesTheEnginesImageForRandomBlocks) {
    SoundModel reference(dashtest::makeBinFolder());
    std::mt19937 rng(77);
    for (int round = 0; round < 400; round++) {
        uint8_t b[12];
        for (uint8_t& x : b) x = uint8_t(rng());
        if (round % 3 == 0) {   // mostly in range, so every path is taken
            const int top[12] = {255, 78, 78, 63, 63, 201, 201, 101, 101, 251, 101, 101};
            for (int i = 1; i < 12; i++) b[i] = uint8_t(rng() % top[i]);
        }
        if (round % 7 == 0 && dash->stereoMode == 0) {  // Apply also ends a Solo
            click(round % 2 ? dash->leftSpeakerButton : dash->rightSpeakerButton);
            reference.setSolo(round % 2 ? LeftSide : RightSide, true);
        }
        dash->apply(b);
        reference.apply(b);
        ASSERT_EQ(block(), std::vector<uint8_t>(reference.params(), reference.params() + 12)) << round;
        ASSERT_EQ(image(), imageOf(reference)) << round;
        ASSERT_EQ(dash->savedSpeaker(0), reference.savedSpeaker(LeftSide));
        ASSERT_EQ(dash->leftMicWheel->active() != 0, reference.micWheelEnabled(LeftSide)) << round;
        ASSERT_FALSE(dash->leftSoloOn() || dash->rightSoloOn());
        // The controls show the block.
        const uint8_t* p = dash->params();
        ASSERT_EQ(dash->stereoMode, (p[Flags] & FlagStereoMics) ? 1 : 0);
        ASSERT_EQ(dash->timeSlider->visible() != 0, dash->stereoMode == 1);
        ASSERT_EQ(dash->rightSpeakerChoice->visible() != 0, dash->stereoMode == 0);
        ASSERT_EQ(dash->leftSealedCheck->visible() != 0, p[Speaker_L] <= 60) << round;
        ASSERT_EQ(dash->leftCategoryBase + dash->leftSpeakerChoice->value(), p[Speaker_L]);
        ASSERT_EQ(dash->rightCategoryBase + dash->rightSpeakerChoice->value(), p[Speaker_R]);
        ASSERT_EQ(int(dash->delaySlider->value()), p[Delay]);
        ASSERT_EQ(int(dash->leftBlendSlider->value()), p[Blend_L]);
        ASSERT_EQ(int(dash->rightMicWheel->value()), p[Mic_R]);
        ASSERT_EQ(std::to_string(p[Depth]), dash->depthInput->value());
        ASSERT_EQ(dash->tipsButton->visible() != 0, (p[Flags] & FlagNotcher) != 0);
    }
}

TEST_F(Dashboard, TypedValueCommitsAtEnterOrWhenTheFocusLeaves) {
    Fl_Int_Input* field = dash->depthInput;
    click(dash->stereoMicsButton);
    previews.clear();
    auto key = [&](int keysym, const char* text) {
        Fl::e_keysym = keysym;
        Fl::e_text = const_cast<char*>(text);
        Fl::e_length = int(strlen(text));
        Fl::e_state = 0;
        return field->handle(FL_KEYBOARD);
    };
    Fl::focus(field);
    field->position(0, field->size());
    key('7', "7");
    EXPECT_STREQ(field->value(), "7");
    EXPECT_EQ(dash->params()[Depth], 50);     // nothing before the commit
    key(FL_Enter, "");
    EXPECT_EQ(dash->params()[Depth], 7);
    EXPECT_EQ(previews.size(), 1u);
    key('8', "8");                           // Enter left the text selected: replaced
    EXPECT_STREQ(field->value(), "8");
    Fl::focus(dash->timeInput);              // focus leaves the changed field
    EXPECT_EQ(dash->params()[Depth], 8);
    EXPECT_EQ(previews.size(), 2u);
}

TEST_F(Dashboard, OnlyOneSideIsSoloedAtATime) {
    click(dash->leftSpeakerButton);
    click(dash->rightSpeakerButton);
    EXPECT_FALSE(dash->leftSoloOn());
    EXPECT_TRUE(dash->rightSoloOn());
    EXPECT_FALSE(dash->leftSpeakerButton->value());
    EXPECT_EQ(dash->leftSpeakerButton->image(), static_cast<Fl_Image*>(dash->speakerOffImage));
    EXPECT_EQ(previews.size(), 2u);
    SoundModel reference(dashtest::makeBinFolder());
    reference.setSolo(RightSide, true);
    EXPECT_EQ(image(), imageOf(reference));
    // A speaker chosen on the soloed side is heard on both outputs at once.
    dash->rightSpeakerChoice->value(6);
    dash->rightSpeakerChoice->do_callback();
    reference.loadSpeaker(RightSide, 6);
    EXPECT_EQ(image(), imageOf(reference));
    EXPECT_EQ(previews.size(), 3u);
}


TEST_F(Dashboard, MicWheelReadoutsAndDoubleClickToTheMidpoint) {
    Thumbwheel* wheel = dash->rightMicWheel;
    wheel->value(0);
    wheel->do_callback();       // as during a turn: read-outs and byte only
    EXPECT_STREQ(dash->rightMicEdgeBox->label(), "100%");
    EXPECT_STREQ(dash->rightMicCenterBox->label(), "  0%");
    EXPECT_EQ(dash->params()[Mic_R], 0);
    EXPECT_TRUE(previews.empty());
    wheel->released = 1;
    wheel->do_callback();
    ASSERT_EQ(previews.size(), 1u);
    SoundModel reference(dashtest::makeBinFolder());
    reference.setMic(RightSide, 0);
    EXPECT_EQ(image(), imageOf(reference));

    int x = wheel->x() + wheel->w() / 2, y = wheel->y() + wheel->h() / 2;
    sim::send(wheel, FL_PUSH, x, y, FL_LEFT_MOUSE, 1);     // second press of a double click
    EXPECT_EQ(dash->params()[Mic_R], 31);
    EXPECT_STREQ(dash->rightMicCenterBox->label(), " 50%");
    EXPECT_EQ(previews.size(), 1u);
    sim::send(wheel, FL_RELEASE, x, y, FL_LEFT_MOUSE, 1);
    ASSERT_EQ(previews.size(), 2u);
    EXPECT_EQ(image(), imageOf(SoundModel(dashtest::makeBinFolder())));
}

TEST_F(Dashboard, TimeFieldClampsAndMovesTheSlider) {
    click(dash->stereoMicsButton);
    previews.clear();
    type(dash->timeInput, "150");
    EXPECT_STREQ(dash->timeInput->value(), "100");
    EXPECT_DOUBLE_EQ(dash->timeSlider->value(), 1.0);
    EXPECT_EQ(dash->params()[Time], 100);
    type(dash->timeInput, "-3");
    EXPECT_STREQ(dash->timeInput->value(), "0");
    EXPECT_EQ(dash->params()[Time], 0);
    type(dash->timeInput, "57");
    EXPECT_EQ(dash->params()[Time], 57);
    // The slider hands back the same byte when it moves by itself.
    dash->timeSlider->do_callback();
    EXPECT_EQ(dash->params()[Time], 57);
    EXPECT_STREQ(dash->timeInput->value(), "57");
    EXPECT_EQ(previews.size(), 3u);
    SoundModel reference(dashtest::makeBinFolder());
    reference.setMode(1);
    reference.setTime(57);
    EXPECT_EQ(image(), imageOf(reference));
}
