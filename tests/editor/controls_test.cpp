// The four custom controls, driven by synthesised events.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Window.H>

#include <vector>

#include "tests/editor/EventSim.h"
#include "editor/ScrollBox.h"
#include "editor/Slider.h"
#include "editor/TextInput.h"
#include "editor/Thumbwheel.h"

namespace {

struct Calls {
    std::vector<int> released;   // the flag as each callback saw it
    std::vector<double> values;
};

void slider_cb(Fl_Widget* w, void* data) {
    Slider* s = static_cast<Slider*>(w);
    static_cast<Calls*>(data)->released.push_back(s->released);
    static_cast<Calls*>(data)->values.push_back(s->value());
    s->released = 0;    // consumed, as the Dashboard's handlers do
}

void wheel_cb(Fl_Widget* w, void* data) {
    Thumbwheel* t = static_cast<Thumbwheel*>(w);
    static_cast<Calls*>(data)->released.push_back(t->released);
    static_cast<Calls*>(data)->values.push_back(t->value());
    t->released = 0;
}

using sim::knobX;

class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        win = new Fl_Window(400, 300);
        slider = new Slider(20, 20, 300, 17);
        slider->bounds(0, 100);
        slider->step(1);
        slider->slider_size(0.1);
        slider->callback(slider_cb, &calls);
        wheel = new Thumbwheel(20, 60, 120, 17);
        wheel->type(FL_HORIZONTAL);
        wheel->bounds(0, 62);
        wheel->step(1);
        wheel->midpoint = 31;
        wheel->callback(wheel_cb, &calls);
        input = new TextInput(20, 100, 200, 24);
        input->focusSize = 14;
        win->end();
        win->show();
        Fl::check();
    }
    void TearDown() override { delete win; }

    Fl_Window* win = nullptr;
    Slider* slider = nullptr;
    Thumbwheel* wheel = nullptr;
    TextInput* input = nullptr;
    Calls calls;
};

}  // namespace

TEST_F(Controls, SliderDragRefreshesManyTimesAndCommitsOnceAtLeftRelease) {
    slider->value(10);
    int x0 = knobX(*slider, 10), x1 = knobX(*slider, 60);
    sim::drag(slider, x0, x1, 28);
    ASSERT_GE(calls.released.size(), 41u);
    EXPECT_LE(calls.released.size(), 61u);
    for (size_t i = 0; i + 1 < calls.released.size(); i++) EXPECT_EQ(calls.released[i], 0) << i;
    EXPECT_EQ(calls.released.back(), 1);
    EXPECT_DOUBLE_EQ(calls.values.back(), 60);
    EXPECT_DOUBLE_EQ(slider->value(), 60);
}

TEST_F(Controls, SliderReleasedWithOtherButtonsCommitsNothing) {
    slider->value(10);
    sim::drag(slider, knobX(*slider, 10), knobX(*slider, 30), 28, FL_RIGHT_MOUSE);
    sim::send(slider, FL_PUSH, knobX(*slider, 30), 28, FL_MIDDLE_MOUSE);
    sim::send(slider, FL_RELEASE, knobX(*slider, 30), 28, FL_MIDDLE_MOUSE);
    for (int r : calls.released) EXPECT_EQ(r, 0);
    EXPECT_EQ(slider->released, 0);
}

TEST_F(Controls, ThumbwheelDoubleClickJumpsToMidpointAndCommitsAtRelease) {
    wheel->value(5);
    sim::send(wheel, FL_PUSH, 80, 68, FL_LEFT_MOUSE, 0);
    sim::send(wheel, FL_RELEASE, 80, 68);
    calls = Calls();
    sim::send(wheel, FL_PUSH, 80, 68, FL_LEFT_MOUSE, 1);
    EXPECT_DOUBLE_EQ(wheel->value(), 31);
    ASSERT_EQ(calls.released.size(), 1u);
    EXPECT_EQ(calls.released[0], 0);
    sim::send(wheel, FL_RELEASE, 80, 68, FL_LEFT_MOUSE, 1);
    ASSERT_EQ(calls.released.size(), 2u);
    EXPECT_EQ(calls.released[1], 1);
    EXPECT_DOUBLE_EQ(calls.values[1], 31);
}

TEST_F(Controls, ThumbwheelTripleClickDoesNotJump) {
    wheel->value(5);
    sim::send(wheel, FL_PUSH, 80, 68, FL_LEFT_MOUSE, 2);
    EXPECT_DOUBLE_EQ(wheel->value(), 5);
    EXPECT_TRUE(calls.released.empty());
}

TEST_F(Controls, TextInputEmptiesOnReleaseAndTypesInFocusFont) {
    input->value("Untitled");
    input->focusFont = FL_HELVETICA_BOLD;
    win->take_focus();
    Fl::focus(input);
    input->handle(FL_FOCUS);
    sim::send(input, FL_PUSH, 40, 110);
    EXPECT_STREQ(input->value(), "Untitled");   // a press alone keeps the text
    EXPECT_EQ(sim::send(input, FL_RELEASE, 40, 110), 1);
    EXPECT_STREQ(input->value(), "");
    EXPECT_EQ(input->textsize(), 14);
    EXPECT_EQ(input->textfont(), FL_HELVETICA_BOLD);
    EXPECT_EQ(input->color(), input->bgColor);
}

TEST_F(Controls, TextInputSwitchesTextColourOnHover) {
    sim::send(input, FL_ENTER, 40, 110);
    EXPECT_EQ(input->textcolor(), Fl_Color(0xcccc0000));
    EXPECT_EQ(input->color(), Fl_Color(0x4444ff00));
    sim::send(input, FL_LEAVE, 300, 250);
    EXPECT_EQ(input->textcolor(), FL_WHITE);
    input->hoverTextColor = FL_BLACK;     // creators restyle the field
    sim::send(input, FL_ENTER, 40, 110);
    EXPECT_EQ(input->textcolor(), FL_BLACK);
}

namespace {
void box_cb(Fl_Widget*, void* data) { ++*static_cast<int*>(data); }
}

TEST(ScrollBoxTest, ReportsContentCoordinatesAndLetsTheWheelScroll) {
    Fl_Window win(400, 400);
    Fl_Scroll scroll(10, 50, 300, 200);
    ScrollBox box(10, 50, 280, 1200);
    box.scroll = &scroll;
    int runs = 0;
    box.callback(box_cb, &runs);
    scroll.end();
    win.end();
    win.show();
    Fl::check();
    // The scrollbars follow the position when the area is drawn: draw now,
    // once the window is mapped, rather than whenever the loop gets to it.
    win.wait_for_expose();
    scroll.scroll_to(0, 400);
    Fl::flush();
    ASSERT_EQ(int(scroll.scrollbar.value()), 400);
    Fl::e_dy = 1;
    Fl::e_dx = 0;
    int before = scroll.yposition();
    sim::send(&box, FL_MOUSEWHEEL, 40, 80);
    EXPECT_EQ(box.clickY, 430);
    EXPECT_EQ(box.clickX, 30);
    EXPECT_EQ(runs, 1);
    // The box leaves the wheel to the scroll area.
    scroll.handle(FL_MOUSEWHEEL);
    EXPECT_GT(scroll.yposition(), before);
    Fl::flush();
    ASSERT_EQ(int(scroll.scrollbar.value()), scroll.yposition());
    runs = 0;
    sim::send(&box, FL_PUSH, 15, 249);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(box.clickX, 5);
    EXPECT_EQ(box.clickY, scroll.yposition() + 199);
}
