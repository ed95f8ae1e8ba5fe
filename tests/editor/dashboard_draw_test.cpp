// What the Dashboard draws around its controls, read back from the window.
// The window's back buffer is read (Fl_X, hence FL_INTERNALS before any
// toolkit header): on a display shared by tests running side by side, what
// the screen shows may be another test's window lying on top of this one.
#define FL_INTERNALS
#include "tests/editor/DashboardFixture.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Tooltip.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Int_Input.H>
#include <FL/fl_draw.H>

#include <cstring>

#include "tests/editor/EventSim.h"
#include "editor/Slider.h"

using dashtest::Dashboard;
using sim::click;

namespace {

// Pixels of the shown window, after everything pending has been drawn.
struct WindowPixels {
    // With whole false only what is damaged is drawn, as the event loop does
    // while a control moves.
    explicit WindowPixels(Fl_Double_Window* w, bool whole = true) : win(w) {
        // Mapped, then drawn now rather than when the event loop gets to it:
        // a loaded machine must not leave a stale frame to read.
        win->wait_for_expose();
        if (whole) win->redraw();
        Fl::flush();
        win->make_current();
        Window front = fl_window;
        if (Fl_X::i(win)->other_xid) fl_window = Fl_X::i(win)->other_xid;
        data = fl_read_image(nullptr, 0, 0, win->w(), win->h());
        fl_window = front;
    }
    ~WindowPixels() { delete[] data; }
    const uchar* at(int x, int y) const { return data + (y * win->w() + x) * 3; }
    bool same(const WindowPixels& o, int x, int y) const { return memcmp(at(x, y), o.at(x, y), 3) == 0; }
    int differing(const WindowPixels& o) const {
        int n = 0;
        for (int i = 0; i < win->w() * win->h(); i++) n += memcmp(data + 3 * i, o.data + 3 * i, 3) != 0;
        return n;
    }
    bool red(int x, int y) const {
        const uchar* p = data + (y * win->w() + x) * 3;
        return p[0] > 200 && p[1] < 60 && p[2] < 60;
    }
    // Counts pixels darker than the background in a rectangle.
    int ink(int x, int y, int w, int h) const {
        int n = 0;
        for (int j = y; j < y + h; j++)
            for (int i = x; i < x + w; i++) {
                const uchar* p = data + (j * win->w() + i) * 3;
                n += p[0] + p[1] + p[2] < 3 * 150;
            }
        return n;
    }
    Fl_Double_Window* win;
    uchar* data;
};

}  // namespace

TEST_F(Dashboard, DrawsSoloBracketsAndNotApplicableNotes) {
    {
        WindowPixels s(win);
        EXPECT_FALSE(s.red(155, 108));
    }
    click(dash->leftSpeakerButton);
    {
        WindowPixels s(win);
        EXPECT_TRUE(s.red(155, 108));       // top-left bracket of the left area
        EXPECT_TRUE(s.red(394, 271));
        EXPECT_FALSE(s.red(430, 108));
    }
    click(dash->rightSpeakerButton);
    {
        WindowPixels s(win);
        EXPECT_TRUE(s.red(430, 108));
        EXPECT_TRUE(s.red(669, 271));
        EXPECT_FALSE(s.red(155, 108));
    }
    dash->selectSpeakers(62, 70);
    {
        WindowPixels s(win);
        EXPECT_GT(s.ink(129, 116, 250, 14), 20);
        EXPECT_GT(s.ink(438, 116, 250, 14), 20);
    }
    click(dash->stereoMicsButton);
    {
        WindowPixels s(win);
        EXPECT_GT(s.ink(129, 116, 250, 14), 20);     // the left note stays in both modes
        EXPECT_EQ(s.ink(438, 116, 130, 10), 0);      // the right one is a Stereo Cabs note
    }
}

TEST_F(Dashboard, SoloVeilCoversTheMutedHalf) {
    // Points of plain background inside each half's veil, clear of brackets.
    const int leftX = 158, rightX = 432, y = 266;
    WindowPixels plain(win);
    click(dash->leftSpeakerButton);
    {
        WindowPixels s(win);
        EXPECT_FALSE(s.same(plain, rightX, y));     // the right half is veiled
        EXPECT_TRUE(s.same(plain, leftX, y));
        EXPECT_TRUE(s.same(plain, 426, y));         // the veil starts at x 427
    }
    click(dash->rightSpeakerButton);
    {
        WindowPixels s(win);
        EXPECT_FALSE(s.same(plain, leftX, y));
        EXPECT_TRUE(s.same(plain, rightX, y));
        EXPECT_TRUE(s.same(plain, 152, y));         // and here at x 153
    }
    click(dash->rightSpeakerButton);
    WindowPixels after(win);
    EXPECT_TRUE(after.same(plain, leftX, y));
    EXPECT_TRUE(after.same(plain, rightX, y));
}

TEST(DashboardInTabs, PartialRedrawsLeaveNoTrails) {
    // As in the main window: a light background box, the panel as a tab of a
    // framed tab group, and a button of the window lying over the panel.
    dashtest::Recorder quiet;
    Fl_Tooltip::disable();
    Fl_Double_Window win(830, 600);
    Fl_Box background(FL_FLAT_BOX, 0, 0, 830, 600, nullptr);
    background.color(fl_rgb_color(253, 252, 255));
    Fl_Tabs tabs(5, 16, 820, 489);
    tabs.box(FL_PLASTIC_DOWN_FRAME);
    OV_Parameters* dash = new OV_Parameters(5, 62, 820, 433, nullptr, dashtest::makeBinFolder(), ORVELLA_IMG_DIR);
    tabs.end();
    Fl_Button over(336, 452, 160, 26, "over the panel");
    win.end();
    win.show();
    { WindowPixels first(&win); }
    for (int v = 0; v <= 37; v++) {
        dash->leftBlendSlider->value(v);
        dash->leftBlendSlider->do_callback();
        dash->delaySlider->value(125 - 3 * v);
        dash->delaySlider->do_callback();
        if (v % 4 == 0) click(dash->leftSpeakerButton);   // the veil comes and goes
        if (v % 6 == 0) click(v % 12 ? static_cast<Fl_Widget*>(dash->rightSealedCheck) : dash->rightOpenCheck);
        if (v % 9 == 0) click(v % 18 ? dash->stereoMicsButton : dash->stereoCabsButton);
        Fl::flush();
    }
    WindowPixels partial(&win, false);
    WindowPixels full(&win);
    EXPECT_EQ(partial.differing(full), 0);
}

TEST_F(Dashboard, TypingIntoABoxlessReadoutLeavesNoTrails) {
    Fl_Input* field = dash->leftOutLeftInput;
    { WindowPixels first(win); }
    Fl::focus(field);
    field->handle(FL_FOCUS);
    field->position(0, field->size());
    for (const char* text : {"7", "0", "\b", "\b", "5"}) {
        Fl::e_keysym = text[0] == '\b' ? FL_BackSpace : text[0];
        Fl::e_text = const_cast<char*>(text[0] == '\b' ? "" : text);
        Fl::e_length = text[0] == '\b' ? 0 : 1;
        Fl::e_state = 0;
        field->handle(FL_KEYBOARD);
        Fl::flush();
    }
    EXPECT_STREQ(field->value(), "5");
    WindowPixels partial(win, false);
    WindowPixels full(win);
    EXPECT_EQ(partial.differing(full), 0);
}
