// Progress of long work on standard error: a bar redrawn in place on a
// terminal, plain lines otherwise (a log or a pipe), nothing when quiet.
#pragma once

#include <cstdio>
#include <string>

namespace cli {

class Progress {
public:
    // `terminal`: draw a bar (stderr is a terminal); `quiet`: print nothing.
    Progress(std::FILE* out, bool terminal, bool quiet);
    ~Progress();

    // `done` of `total` steps of the work called `what`. A bar is redrawn at
    // every call; plain lines appear at every step when there are few steps,
    // else at every tenth of the work.
    void update(const std::string& what, long done, long total);
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
