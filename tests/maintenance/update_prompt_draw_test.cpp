// What the update prompt draws around its widgets, read back from a plain
// window holding the prompt where the main window puts it. The window's back
// buffer is read (Fl_X, hence FL_INTERNALS before any toolkit header): on a
// display shared by tests running side by side, what the screen shows may be
// another test's window lying on top of this one.
#define FL_INTERNALS
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/fl_draw.H>

#include <cstdio>
#include <set>
#include <vector>

#include "maintenance/OV_UpdatePrompt.h"

namespace {

class PromptPixels : public ::testing::Test {
protected:
    void SetUp() override {
        win = new Fl_Double_Window(830, 600);
        win->color(FL_WHITE);
        prompt = new OV_UpdatePrompt(235, 100, 360, 370);
        prompt->box(FL_EMBOSSED_BOX);
        prompt->color(FL_WHITE);
        win->end();
        win->show();
        win->wait_for_expose();
    }
    void TearDown() override { delete win; }

    void pedalVersion(const char* text) {
        snprintf(prompt->pedalVersionText, sizeof prompt->pedalVersionText, "%s", text);
        prompt->pedalVersionBox->label(prompt->pedalVersionText);
    }

    // The window as drawn, anew now (not whenever the event
    // loop gets to it, which a loaded machine may delay).
    std::vector<uchar> read() {
        win->redraw();
        Fl::flush();
        win->make_current();
        Window front = fl_window;
        if (Fl_X::i(win)->other_xid) fl_window = Fl_X::i(win)->other_xid;
        uchar* data = fl_read_image(nullptr, 0, 0, win->w(), win->h());
        fl_window = front;
        std::vector<uchar> pixels(data, data + win->w() * win->h() * 3);
        delete[] data;
        return pixels;
    }

    const uchar* at(const std::vector<uchar>& p, int x, int y) const { return &p[(y * win->w() + x) * 3]; }
    bool ink(const std::vector<uchar>& p, int x, int y) const {
        const uchar* c = at(p, x, y);
        return c[0] + c[1] + c[2] < 3 * 160;
    }
    // Columns in [x0, x1) holding ink anywhere in rows [y0, y1).
    std::set<int> inkColumns(const std::vector<uchar>& p, int x0, int x1, int y0, int y1) const {
        std::set<int> columns;
        for (int x = x0; x < x1; ++x)
            for (int y = y0; y < y1; ++y)
                if (ink(p, x, y)) {
                    columns.insert(x);
                    break;
                }
        return columns;
    }

    Fl_Double_Window* win = nullptr;
    OV_UpdatePrompt* prompt = nullptr;
};

bool outlineColour(const uchar* c) {
    return c[0] < 0x30 && c[1] < 0x24 && c[2] < 0x24 && c[0] >= c[2];
}

}  // namespace

TEST_F(PromptPixels, EightPixelOutlineInsideThePrompt) {
    std::vector<uchar> p = read();
    // The outline's path is the rectangle (245, 110) 340 x 350; the line is 8 wide.
    EXPECT_TRUE(outlineColour(at(p, 245, 300)));
    EXPECT_TRUE(outlineColour(at(p, 242, 300)));
    EXPECT_TRUE(outlineColour(at(p, 248, 300)));
    EXPECT_TRUE(outlineColour(at(p, 584, 300)));
    EXPECT_TRUE(outlineColour(at(p, 400, 110)));
    EXPECT_TRUE(outlineColour(at(p, 400, 459)));
    EXPECT_FALSE(outlineColour(at(p, 240, 300)));   // a white margin on both sides
    EXPECT_FALSE(outlineColour(at(p, 249, 300)));
    EXPECT_FALSE(outlineColour(at(p, 588, 300)));
}

TEST_F(PromptPixels, TitleAndSentenceStayInsideTheOutline) {
    std::vector<uchar> p = read();
    EXPECT_GT(inkColumns(p, 320, 560, 119, 137).size(), 100u);   // "-  FIRMWARE UPDATE  -"
    // The sentence ends clear of the outline's inner edge (column 580).
    std::set<int> sentence = inkColumns(p, 365, 580, 152, 168);
    ASSERT_FALSE(sentence.empty());
    EXPECT_LT(*sentence.rbegin(), 577);
}

TEST_F(PromptPixels, PedalVersionReadsApartFromTheWordsAroundIt) {
    // The widest version there is, once without its box and once with it.
    pedalVersion("V7.15");
    prompt->pedalVersionBox->hide();
    std::set<int> words = inkColumns(read(), 250, 380, 152, 168);
    prompt->pedalVersionBox->show();
    std::set<int> withVersion = inkColumns(read(), 250, 380, 152, 168);
    std::vector<int> version;
    for (int x : withVersion)
        if (!words.count(x)) version.push_back(x);
    ASSERT_FALSE(version.empty());
    ASSERT_FALSE(words.empty());
    int firmwareEnd = 0, sentenceStart = 1000;
    for (int x : words) {
        if (x < version.front()) firmwareEnd = x;
        else if (x > version.back() && x < sentenceStart) sentenceStart = x;
    }
    EXPECT_GE(version.front() - firmwareEnd, 3) << "\"Firmware\" runs into the version";
    EXPECT_GE(sentenceStart - version.back(), 3) << "the version runs into the sentence";
}
