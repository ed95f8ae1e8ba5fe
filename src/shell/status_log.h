// The status log display: read-only text that keeps every line written since
// start. A right click offers to save the whole log to a file on the desktop.
#pragma once

#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>

#include <string>

class TextBoard : public Fl_Text_Display {
public:
    TextBoard(int x, int y, int w, int h, const char* label = nullptr);
    ~TextBoard() override;
    int handle(int event) override;

    // First visible line (1-based) and how many lines are in view.
    int topLine() const { return mTopLineNum; }
    int visibleLines() const { return mNVisibleLines; }
    // Lines that fit whole in the view (at least 1), and the number of the
    // last line holding text, both counted as shown (wrapped lines count).
    int wholeLines() const;
    int lastLine() const;

    Fl_Text_Buffer* textBuffer;
};

namespace statuslog {

// "<folder>/Orvella_Log_DD-MM-YYYY_at_HH.MM.SS.log" for the given local time.
std::string logFilePath(const std::string& folder, const struct tm& when);

// Saves the board's whole text to the desktop folder and tells the user where
// it went, or names the path in an alert when it could not be written.
void saveLog(TextBoard* board);

}  // namespace statuslog
