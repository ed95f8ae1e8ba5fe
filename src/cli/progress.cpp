#include "cli/progress.h"

#include <algorithm>
#include <cmath>

#include "base/platform.h"

namespace cli {

namespace {
const long manySteps = 20;      // above this, plain lines every tenth
const int narrowestBar = 10;    // below this the bar is left out
const int unknownWidth = 80;    // a terminal that does not tell its width

std::string countText(double done, double total, Unit unit) {
    char text[64];
    if (unit == Unit::Seconds)
        std::snprintf(text, sizeof text, "%.1f/%.1f s", done, total);
    else
        std::snprintf(text, sizeof text, "%ld/%ld", std::lround(done), std::lround(total));
    return text;
}
}  // namespace

std::string progressLine(const std::string& what, double done, double total, Unit unit, int columns) {
    done = std::min(std::max(done, 0.0), total);
    const int percent = total > 0 ? int(done * 100 / total) : 0;
    const std::string count = countText(done, total, unit);
    char tail[96];
    if (columns <= 0) {
        std::snprintf(tail, sizeof tail, ": %s (%d%%)", count.c_str(), percent);
        return what + tail;
    }
    // "what [####----] 42% (count)" in columns - 1, so that the cursor never
    // wraps to the next line.
    std::snprintf(tail, sizeof tail, " %3d%% (%s)", percent, count.c_str());
    const int room = columns - 1;
    const int barWidth = room - int(what.size() + std::string(tail).size()) - 3;
    std::string line = what;
    if (barWidth >= narrowestBar) {
        const int filled = total > 0 ? int(done * barWidth / total) : 0;
        line += " [" + std::string(size_t(filled), '#') + std::string(size_t(barWidth - filled), '-') + "]";
    }
    line += tail;
    if (int(line.size()) > room) line.resize(size_t(std::max(room, 0)));
    return line + std::string(size_t(std::max(room - int(line.size()), 0)), ' ');
}

Progress::Progress(std::FILE* out, bool terminal, bool quiet) : out_(out), terminal_(terminal), quiet_(quiet) {}

Progress::~Progress() { finish(); }

void Progress::update(const std::string& what, double done, double total, Unit unit) {
    if (quiet_ || total <= 0) return;
    if (terminal_) {
        int columns = platform::terminalColumns(out_);
        std::fprintf(out_, "\r%s", progressLine(what, done, total, unit, columns > 0 ? columns : unknownWidth).c_str());
        barOpen_ = true;
    } else {
        if (unit == Unit::Seconds || total > manySteps) {
            long tenth = long(done * 10 / total);
            if (tenth == lastTenth_ && done < total) return;
            lastTenth_ = tenth;
        }
        std::fprintf(out_, "%s\n", progressLine(what, done, total, unit, 0).c_str());
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
