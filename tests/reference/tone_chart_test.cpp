// The Tone Chart page in the real main window: list, scrolling, clicks in the
// chart and auditions, with the bytes that reach a virtual pedal.
#include <gtest/gtest.h>

#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Tabs.H>

#include <unistd.h>

#include <memory>
#include <vector>

#include "tests/support/pedal/TestPedal.h"
#include "editor/OV_Parameters.h"
#include "editor/ScrollBox.h"
#include "tests/support/gui/Events.h"
#include "tests/support/gui/RecordingDialogs.h"
#include "tests/support/gui/TestEnvironment.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_TransportPanel.h"
#include "reference/OV_ToneChart.h"
#include "reference/PictureGroup.h"
#include "shell/main_window.h"
#include "sound/Params.h"

using namespace sound;

using gui::RecordingDialogs;
using gui::TestEnvironment;
using testpedal::VirtualPedal;

namespace {

class ToneChart : public ::testing::Test {
protected:
    TestEnvironment env;
    testpedal::PedalFolder pedals;
    RecordingDialogs dialogs;
    std::unique_ptr<Orvella> window;
    OV_ToneChart* page = nullptr;

    void open() {
        window = env.openWindow();
        page = window->toneChart();
        window->tabs()->value(page);
        window->tabSwitched();
        gui::settle();
    }
    void clickWidget(Fl_Widget* w) { gui::click(window.get(), w->x() + 8, w->y() + w->h() / 2); }
    void chooseLine(int line) {
        page->speakerList->select(line);
        page->speakerList->do_callback();
    }
    // A press in the chart whose content position is y: scroll so that y
    // shows 100 pixels below the top of the chart area, then click there.
    void clickChartAt(int y) {
        page->chartScroll->scroll_to(0, y - 100);
        gui::settle();
        gui::click(window.get(), 450, page->chartScroll->y() + 100);
    }
    int speaker(int side) const { return window->dashboard()->params()[side ? Speaker_R : Speaker_L]; }
};

std::vector<testpedal::LoggedCommand> previews(const VirtualPedal& pedal, size_t atLeast) {
    std::vector<testpedal::LoggedCommand> out;
    for (int i = 0; i < 1000; ++i) {
        out.clear();
        for (const auto& c : pedal.commands())
            if (c.name == "preview") out.push_back(c);
        if (out.size() >= atLeast) break;
        usleep(10 * 1000);
    }
    return out;
}

// The image the pedal played last, once it equals `expected` (or after ten
// seconds): previews get no reply, so the pedal logs them a moment later.
std::vector<uint8_t> lastPlayed(const VirtualPedal& pedal, const std::vector<uint8_t>& expected) {
    std::vector<uint8_t> last;
    for (int i = 0; i < 1000; ++i) {
        for (const auto& c : pedal.commands())
            if (c.name == "preview") last = c.bytes;
        if (last == expected) break;
        usleep(10 * 1000);
    }
    return last;
}

std::vector<uint8_t> imageOf(const OV_Parameters* dashboard) {
    return std::vector<uint8_t>(dashboard->image(), dashboard->image() + 512);
}

}  // namespace

// Line 16 with " Listen R", then " Listen L" and " Listen L/R" in one step,
// then L/R again to end: each step plays the Dashboard's image on the pedal,
// and the end brings back the user's own speakers and image, Solo included.
TEST_F(ToneChart, AuditionsPlayOnThePedalAndTheEndBringsBackTheUsersSpeakers) {
    VirtualPedal pedal(pedals);
    std::string error;
    ASSERT_TRUE(pedal.start(&error)) << error;
    open();
    ASSERT_TRUE(window->transportPanel()->active());
    OV_Parameters* dash = window->dashboard();
    // The user's choice on the Dashboard: Gears on the left, Bass on the right, left soloed.
    dash->categoryPressed(0, GearsCategory);
    dash->categoryPressed(1, BassCategory);
    const int userL = speaker(0), userR = speaker(1);
    ASSERT_EQ(userL, 61);
    ASSERT_EQ(userR, 42);
    ASSERT_EQ(dash->savedSpeaker(0), 61);
    dash->leftSpeakerButton->value(1);
    dash->soloPressed(0);
    ASSERT_TRUE(dash->leftSoloOn());
    const std::vector<uint8_t> userImage = imageOf(dash);
    const size_t before = previews(pedal, 0).size();

    chooseLine(16);
    EXPECT_EQ(page->chartScroll->xposition(), 0);
    EXPECT_EQ(page->chartScroll->yposition(), 4090);
    EXPECT_EQ(page->selectedLine, 16);
    clickWidget(page->listenR);
    EXPECT_EQ(page->listenMode, 2);
    EXPECT_TRUE(page->listenR->value());
    EXPECT_FALSE(dash->leftSoloOn());
    EXPECT_EQ(speaker(1), 23);
    EXPECT_EQ(speaker(0), userL);
    EXPECT_FALSE(window->presetPanel()->visible());
    EXPECT_EQ(lastPlayed(pedal, imageOf(dash)), imageOf(dash));
    const std::vector<uint8_t> auditioned = imageOf(dash);

    clickWidget(page->listenL);
    ASSERT_EQ(page->listenMode, 1);
    EXPECT_EQ(speaker(0), 23);
    EXPECT_EQ(speaker(1), userR);       // the right gets the user's speaker back, not the auditioned one
    clickWidget(page->listenLR);
    EXPECT_EQ(page->listenMode, 3);
    EXPECT_FALSE(page->listenL->value());
    EXPECT_TRUE(page->listenLR->value());
    EXPECT_FALSE(page->listenR->value());
    EXPECT_EQ(speaker(0), 23);
    EXPECT_EQ(speaker(1), 23);
    EXPECT_EQ(dash->savedSpeaker(0), userL);

    clickWidget(page->listenLR);
    EXPECT_EQ(page->listenMode, 0);
    EXPECT_FALSE(page->listenLR->value());
    EXPECT_EQ(speaker(0), userL);
    EXPECT_EQ(speaker(1), userR);
    EXPECT_TRUE(dash->leftSoloOn());
    EXPECT_EQ(imageOf(dash), userImage);
    EXPECT_EQ(lastPlayed(pedal, userImage), userImage);
    EXPECT_NE(imageOf(dash), auditioned);
    EXPECT_GE(previews(pedal, before + 4).size(), before + 4);   // one per step at least
    EXPECT_FALSE(window->presetPanel()->visible());
}

TEST_F(ToneChart, HeadersClicksAndTheEndOfTheChartMapToLinesAsListed) {
    open();
    OV_Parameters* dash = window->dashboard();
    EXPECT_EQ(page->speakerList->value(), 3);
    // The first chart shows whole under the buttons.
    const PictureGroup* first = page->pictures[0];
    EXPECT_GE(first->picture->y(), page->chartScroll->y());
    EXPECT_LE(first->picture->y() + first->picture->h(), page->chartScroll->y() + page->chartScroll->h());
    EXPECT_EQ(page->chartOffset[3], 385);
    EXPECT_EQ(page->chartOffset[15], 3850);
    EXPECT_EQ(page->chartOffset[57], 16555);

    // A header deselects; no scroll, no audition, even while listening.
    page->listenPressed(1);
    ASSERT_EQ(speaker(0), 2);               // line 3, Clst Vintage30 10 inch
    chooseLine(6);
    ASSERT_EQ(speaker(0), 7);
    const int scrolled = page->chartScroll->yposition();
    chooseLine(27);                         // "  [BASS]"
    EXPECT_EQ(page->speakerList->value(), 0);
    EXPECT_EQ(page->chartScroll->yposition(), scrolled);
    EXPECT_EQ(page->selectedLine, 6);
    EXPECT_EQ(speaker(0), 7);

    clickChartAt(385 + 100);                // nearer 385 than 770
    EXPECT_EQ(page->clickBox->clickY, 485);
    EXPECT_EQ(page->speakerList->value(), 3);
    EXPECT_EQ(speaker(0), 2);
    clickChartAt(3850);                     // lines 12 to 15 share it: 12 wins
    EXPECT_EQ(page->selectedLine, 12);
    EXPECT_EQ(speaker(0), 19);
    clickChartAt(150);                      // entry 0: no line, the selection stays
    EXPECT_EQ(page->selectedLine, 12);
    EXPECT_EQ(page->speakerList->value(), 12);
    EXPECT_EQ(speaker(0), 19);
    const std::vector<uint8_t> playing = imageOf(dash);
    clickChartAt(16900);                    // the blank line 58 below the last chart names no speaker
    EXPECT_EQ(page->selectedLine, 12);
    EXPECT_EQ(page->speakerList->value(), 12);
    EXPECT_EQ(imageOf(dash), playing);
    page->chartScroll->scroll_to(0, page->chartScroll->yposition() + 400);  // the wheel past the end
    clickChartAt(16940);
    EXPECT_EQ(page->selectedLine, 12);
    EXPECT_EQ(speaker(0), 19);

    page->listenPressed(1);                 // ends the audition
    EXPECT_EQ(page->listenMode, 0);
    EXPECT_EQ(speaker(0), dash->savedSpeaker(0));
}

TEST(ToneChartPictures, EveryChartIsShownAndAMissingOneLeavesItsBoxEmpty) {
    gui::openDisplay();
    std::vector<PictureGroup*> shown;
    {
        OV_ToneChart page(5, 62, 820, 433, nullptr, ToneChartContext(), ORVELLA_IMG_DIR);
        for (PictureGroup* p : page.pictures) {
            ASSERT_TRUE(p->loaded());
            EXPECT_EQ(p->image->w(), 445);
            EXPECT_EQ(p->image->h(), 266);
            EXPECT_EQ(p->parent(), page.chartScroll);
        }
        EXPECT_EQ(page.pictures[0]->picture->y(), 340 - 150);   // scrolled by (−7, 150)
        EXPECT_EQ(page.pictures[0]->picture->x(), 277);
    }
    int auditions = 0;
    ToneChartContext context;
    context.selectSpeakers = [&](int, int) { ++auditions; };
    context.savedSpeaker = [](int side) { return side ? 23 : 3; };
    OV_ToneChart page(5, 62, 820, 433, nullptr, context, "/nonexistent");
    for (PictureGroup* p : page.pictures) EXPECT_FALSE(p->loaded());
    page.speakerList->select(20);
    page.lineSelected();
    EXPECT_EQ(page.chartScroll->yposition(), 385 * 14 + 240);
    page.listenPressed(3);
    EXPECT_EQ(auditions, 1);
}

// Every Listen box is heard or held: in Stereo Cabs each one changes what the
// pedal plays; in Stereo Mics " Listen R" (the right speaker is not heard
// there) takes no press, and a right audition begun before the switch can
// still be ended. Whatever was ticked, unticking gives back the user's image.
TEST_F(ToneChart, EachListenBoxIsHeardOrHeldAndUntickingGivesBackTheUsersSound) {
    VirtualPedal pedal(pedals);
    std::string error;
    ASSERT_TRUE(pedal.start(&error)) << error;
    open();
    OV_Parameters* dash = window->dashboard();
    chooseLine(47);                         // Cabzilla Punchy: no user speaker below is a gear
    const uint8_t cabs[ParamCount] = {0x10, 10, 46, 3, 5, 200, 180, 40, 60, 100, 30, 40};
    const uint8_t mics[ParamCount] = {FlagStereoMics, 27, 50, 3, 5, 200, 180, 40, 60, 100, 30, 40};
    for (const uint8_t* block : {cabs, mics}) {
        for (int solo = -1; solo < 2; ++solo) {
            dash->apply(block);
            if (solo >= 0) {
                (solo ? dash->rightSpeakerButton : dash->leftSpeakerButton)->value(1);
                dash->soloPressed(solo);
            }
            const bool stereoMics = block == mics;
            ASSERT_EQ(dash->stereoMode, int(stereoMics));
            const std::vector<uint8_t> user = imageOf(dash);
            const std::vector<uint8_t> userBlock(dash->params(), dash->params() + ParamCount);
            const int userSolo = stereoMics ? -1 : solo;
            ASSERT_EQ(dash->soloSide(), userSolo);
            window->redraw();
            gui::settle();
            for (Fl_Check_Button* box : {page->listenL, page->listenR, page->listenLR}) {
                const size_t sent = previews(pedal, 0).size();
                clickWidget(box);
                const std::string what = std::string(box->label()) + (stereoMics ? " mics" : " cabs") +
                                         " solo " + std::to_string(solo);
                if (stereoMics && box == page->listenR) {
                    EXPECT_EQ(page->listenMode, 0) << what;
                    EXPECT_FALSE(box->value()) << what;
                    EXPECT_TRUE(page->rightListenHeld());
                    usleep(200 * 1000);
                    EXPECT_EQ(previews(pedal, 0).size(), sent) << what;
                    continue;
                }
                EXPECT_NE(imageOf(dash), user) << what;
                EXPECT_EQ(lastPlayed(pedal, imageOf(dash)), imageOf(dash)) << what;
                clickWidget(box);
                EXPECT_EQ(page->listenMode, 0) << what;
                EXPECT_EQ(imageOf(dash), user) << what;
                EXPECT_EQ(std::vector<uint8_t>(dash->params(), dash->params() + ParamCount), userBlock) << what;
                EXPECT_EQ(dash->soloSide(), userSolo) << what;
                EXPECT_EQ(lastPlayed(pedal, user), user) << what;
            }
        }
    }
    // A right audition running when the Dashboard turns to Stereo Mics ends as usual.
    dash->apply(cabs);
    window->redraw();
    gui::settle();
    clickWidget(page->listenR);
    ASSERT_EQ(page->listenMode, 2);
    dash->modePressed(1);
    const std::vector<uint8_t> user = imageOf(dash);
    window->redraw();
    gui::settle();
    EXPECT_FALSE(page->rightListenHeld());
    clickWidget(page->listenR);
    EXPECT_EQ(page->listenMode, 0);
    EXPECT_TRUE(page->rightListenHeld());
    EXPECT_EQ(imageOf(dash), user);
}
