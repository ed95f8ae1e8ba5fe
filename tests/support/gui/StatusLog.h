// The main window's status log as the tests read it.
#pragma once

#include <string>
#include <vector>

class Orvella;

namespace gui {

// The whole log, time stamps included.
std::string logText(Orvella* window);
// Its lines, each without its "[hh:mm:ss] : " stamp.
std::vector<std::string> logLines(Orvella* window);
// The newest line without its stamp ("" for an empty log).
std::string lastLogLine(Orvella* window);

}  // namespace gui
