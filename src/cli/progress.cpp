#include "cli/progress.h"

namespace cli {

namespace {
const int barWidth = 30;
const long manySteps = 20;      // above this, plain lines every tenth
}

Progress::Progress(std::FILE* out, bool terminal, bool quiet) : out_(out), terminal_(terminal), quiet_(quiet) {}

Progress::~Progress() { finish(); }

void Progress::update(const std::string& what, long done, long total) {
    if (quiet_ || total <= 0) return;
    int percent = int(done * 100 / total);
    if (terminal_) {
        int filled = int(done * barWidth / total);
        std::string bar(size_t(filled), '#');
        bar.append(size_t(barWidth - filled), '-');
        std::fprintf(out_, "\r%s [%s] %3d%% (%ld/%ld)", what.c_str(), bar.c_str(), percent, done, total);
        barOpen_ = true;
    } else {
        if (total > manySteps) {
            long tenth = done * 10 / total;
            if (tenth == lastTenth_ && done != total) return;
            lastTenth_ = tenth;
        }
        std::fprintf(out_, "%s: %ld/%ld (%d%%)\n", what.c_str(), done, total, percent);
    }
    std::fflush(out_);
}

void Progress::finish() {
    if (barOpen_) {
        std::fputc('\n', out_);
        std::fflush(out_);
    }
    barOpen_ = false;
    lastTenth_ = -1;
}

void Progress::note(const std::string& text) {
    if (quiet_) return;
    finish();
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

}  // namespace cli
