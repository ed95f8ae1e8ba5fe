// Text on Windows ends where the toolkit measures it to end. The status log
// (a text display) wraps its lines and clears the rest of each line from the
// measured end of its text, so a text drawn wider than measured lost its last
// letters on screen ("> Preset restore successfu"). Read back from the
// window: the ink of each line, drawn plainly and in the status log, against
// fl_width.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/fl_draw.H>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "shell/status_log.h"
#include "shell/fonts.h"

namespace {

const std::vector<std::string> lines = {
    "[10:11:12] :  > Preset restore successful.",
    "[10:11:12] :  Read operation from Preset 3 OK.",
    "[10:11:12] :  Impulse response written to C:\\Users\\Me\\Desktop\\Clean IR.wav (0.0 s, 48 kHz).",
    "[10:11:12] :  Wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww.",
    "[10:11:12] :  iiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiii1",
};
constexpr int rowHeight = 16, left = 10, textSize = 12;

// Each line drawn with fl_draw at (left, baseline of its row), as the log's font.
class PlainLines : public Fl_Box {
public:
    PlainLines(int x, int y, int w, int h) : Fl_Box(x, y, w, h) {}
    void draw() override {
        fl_color(FL_WHITE);
        fl_rectf(x(), y(), w(), h());
        fl_color(FL_BLACK);
        fl_font(FL_HELVETICA, textSize);
        for (size_t i = 0; i < lines.size(); ++i)
            fl_draw(lines[i].c_str(), x() + left, y() + int(i + 1) * rowHeight - fl_descent());
    }
};

// The rightmost column left of `limit` with ink (darker than mid grey) in
// rows [top, top + height) of the window, -1 when none.
int rightmostInk(Fl_Window* window, int top, int height, int limit) {
    window->make_current();
    std::unique_ptr<uchar[]> rgb(fl_read_image(nullptr, 0, top, window->w(), height));
    int last = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < limit; ++x) {
            const uchar* p = rgb.get() + 3 * (y * window->w() + x);
            if (p[0] + p[1] + p[2] < 3 * 128 && x > last) last = x;
        }
    return last;
}

void show(Fl_Window* window) {
    window->show();
    for (int i = 0; i < 20; ++i) {
        Fl::wait(0.05);
        window->redraw();
        Fl::flush();
    }
}

}  // namespace

TEST(WindowsText, LinesAreDrawnAsWideAsMeasuredAndTheStatusLogShowsThemWhole) {
    useLayoutFonts();
    Fl_Double_Window window(700, int(lines.size()) * rowHeight + 4);
    new PlainLines(0, 0, window.w(), window.h());
    window.end();
    show(&window);
    fl_font(FL_HELVETICA, textSize);
    std::vector<int> plainInk;
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        const int measured = left + int(fl_width(lines[i].c_str()));
        const int ink = rightmostInk(&window, int(i) * rowHeight, rowHeight, window.w());
        // The last letter ends within its own advance, close to the measured end.
        EXPECT_LE(ink, measured);
        EXPECT_GE(ink, measured - 4);
        plainInk.push_back(ink);
    }
    window.hide();

    // The same lines in a status log as the main window makes it: the ink of
    // each line (on a row of its own, none wraps) reaches as far as drawn plainly.
    Fl_Double_Window logWindow(700, int(lines.size()) * 20 + 40);
    auto* board = new TextBoard(0, 0, 645, logWindow.h());
    board->color(FL_LIGHT1);
    board->textsize(textSize);
    board->scrollbar_width(8);
    board->wrap_mode(Fl_Text_Display::WRAP_AT_PIXEL, board->w() - 20);
    logWindow.end();
    for (const std::string& line : lines) board->textBuffer->append((line + "\n").c_str());
    show(&logWindow);
    const int lineHeight = fl_height(board->textfont(), board->textsize());
    int textLeft = -1;
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        int lineTop = 0, lineX = 0;
        ASSERT_TRUE(board->position_to_xy(board->textBuffer->line_start(board->textBuffer->skip_lines(0, int(i))),
                                        &lineX, &lineTop));
        if (textLeft < 0) textLeft = lineX;
        // Left of the frame and the scroll bar's place.
        const int ink = rightmostInk(&logWindow, lineTop, lineHeight, board->w() - 12);
        EXPECT_EQ(ink - textLeft, plainInk[i] - left);
    }
}
