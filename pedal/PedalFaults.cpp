#include "pedal/PedalFaults.h"

#include <cmath>
#include <cstdlib>
#include <fstream>

bool PedalFaults::add(const std::string& text, std::string* why) {
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
    else if (name == "keep-wrong-record") keepWrongRecord = true;
    else if (name == "stray-byte") strayByte = true;
    else if (name == "slow-reply") {
        char* end = nullptr;
        double s = std::strtod(value.c_str(), &end);
        // "nan" and "inf" parse as numbers, and NaN passes every comparison.
        if (value.empty() || *end || !std::isfinite(s) || s < 0 || s > 3600) {
            if (why) *why = "slow-reply takes a number of seconds from 0 to 3600, not \"" + value + "\"";
            return false;
        }
        slowSeconds = s;
    } else if (name == "keep-wrong-byte") {
        char* end = nullptr;
        long n = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end || n < 0 || n > 23) {
            if (why) *why = "keep-wrong-byte takes a byte of the record and title from 0 to 23, not \"" + value + "\"";
            return false;
        }
        keepWrongByte = static_cast<int>(n);
    } else {
        if (why) *why = "unknown fault \"" + text + "\"";
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
        std::string why;
        if (!add(line, &why)) {
            error = path + ": " + why;
            ok = false;
        }
    }
    return ok;
}
