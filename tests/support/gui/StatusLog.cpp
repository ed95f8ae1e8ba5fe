#include "tests/support/gui/StatusLog.h"

#include <cstdlib>

#include "shell/main_window.h"
#include "shell/status_log.h"

namespace gui {

std::string logText(Orvella* window) {
    char* text = window->statusLog()->textBuffer->text();
    std::string result = text;
    std::free(text);
    return result;
}

std::vector<std::string> logLines(Orvella* window) {
    std::vector<std::string> lines;
    std::string text = logText(window);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end - start);
        lines.push_back(line.size() > 14 && line[0] == '[' ? line.substr(14) : line);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

std::string lastLogLine(Orvella* window) {
    std::vector<std::string> lines = logLines(window);
    return lines.empty() ? std::string() : lines.back();
}

}  // namespace gui
