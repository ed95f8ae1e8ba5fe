#include "PedalFaults.h"

#include <cstdlib>
#include <fstream>

bool PedalFaults::add(const std::string& text) {
    std::string name = text, value;
    size_t eq = text.find('=');
    if (eq != std::string::npos) {
        name = text.substr(0, eq);
        value = text.substr(eq + 1);
    }
    if (name == "no-reply") noReply = true;
    else if (name == "short-reply") shortReply = true;
    else if (name == "corrupt-echo") corruptOnce = true;
    else if (name == "corrupt-echo-always") corruptAlways = true;
    else if (name == "stuck-tx") stuckTx = true;
    else if (name == "unplug") unplug = true;
    else if (name == "slow-reply") {
        char* end = nullptr;
        double s = std::strtod(value.c_str(), &end);
        if (value.empty() || *end || s < 0 || s > 3600) return false;
        slowSeconds = s;
    } else {
        return false;
    }
    return true;
}

bool PedalFaults::loadFile(const std::string& path, std::string& error) {
    *this = PedalFaults();
    std::ifstream in(path);
    if (!in) return true;
    std::string line;
    bool ok = true;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (!add(line)) {
            error = path + ": unknown fault \"" + line + "\"";
            ok = false;
        }
    }
    return ok;
}
