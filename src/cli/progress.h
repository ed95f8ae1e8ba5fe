// Progress of long work on standard error: a bar redrawn in place on a
// terminal, as wide as the terminal; plain lines otherwise (a log or a
// pipe); nothing when quiet.
#pragma once

#include <cstdio>
#include <string>

namespace cli {

// What the work counts: steps ("3/8") or seconds of audio ("12.5/30.0 s").
enum class Unit { Steps, Seconds };

// One progress report of `done` of `total`: for a terminal of `columns`
// columns the bar line (without its leading carriage return) that fills
// all but the last column, the bar shrinking first, then going; for
// `columns` 0 a plain line without its line end.
std::string progressLine(const std::string& what, double done, double total, Unit unit, int columns);

class Progress {
public:
    // `terminal`: draw a bar (stderr is a terminal); `quiet`: print nothing.
    Progress(std::FILE* out, bool terminal, bool quiet);
    ~Progress();

    // `done` of `total` of the work called `what`. A bar is redrawn at every
    // call, as wide as the terminal is then; plain lines appear at every step
    // when there are few steps, else at every tenth of the work.
    void update(const std::string& what, double done, double total, Unit unit = Unit::Steps);
    // Ends a bar's line (call before printing anything else).
    void finish();
    // A note between progress lines (a retry, ...), on its own line.
    void note(const std::string& text);

private:
    std::FILE* out_;
    bool terminal_, quiet_;
    bool barOpen_ = false;
    long lastTenth_ = -1;
};

}  // namespace cli
