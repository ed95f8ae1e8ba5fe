#include "link/PedalRegistry.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <limits>

#include "base/files.h"
#include "base/platform.h"

namespace pedalregistry {

static const char* const suffix = ".pedal";

std::string folder() {
    const char* dir = std::getenv("ORVELLA_PEDAL_DIR");
    return dir ? std::string(dir) : std::string();
}

std::string fileFor(const std::string& dir, const std::string& serial) {
    std::string name;
    for (char c : serial) {
        bool safe = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' ||
                    c == '_';
        name += safe ? c : '_';
    }
    return dir + "/" + name + suffix;
}

// A process number as written by write(); anything else (a sign, other
// characters, a number no process can have) names no process.
static long parsePid(const std::string& value) {
    if (value.empty() || value.size() > 19) return -1;
    long long n = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    if (n > std::numeric_limits<pid_t>::max()) return -1;
    return static_cast<long>(n);
}

static bool parse(const std::string& path, Entry& entry) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "description") entry.description = value;
        else if (key == "serial") entry.serial = value;
        else if (key == "tty") entry.tty = value;
        else if (key == "pid") entry.pid = parsePid(value);
    }
    return !entry.serial.empty() && !entry.tty.empty();
}

std::vector<Entry> list(const std::string& dir) {
    std::vector<Entry> entries;
    if (dir.empty()) return entries;
    DIR* d = opendir(dir.c_str());
    if (!d) return entries;
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() > 6 && name.compare(name.size() - 6, 6, suffix) == 0) names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        Entry entry;
        if (parse(dir + "/" + name, entry)) entries.push_back(entry);
    }
    return entries;
}

bool write(const std::string& dir, const Entry& entry) {
    const std::string text = "description=" + entry.description + "\nserial=" + entry.serial + "\ntty=" + entry.tty +
                             "\npid=" + std::to_string(entry.pid) + "\n";
    int error = 0;
    if (files::writeTextFile(fileFor(dir, entry.serial), text, &error)) return true;
    errno = error;
    return false;
}

bool alive(const Entry& entry) {
    if (entry.pid == 0) return true;
    // Checked before the cast: a value pid_t cannot hold would wrap to
    // another process, or to a process group when it turns negative.
    if (entry.pid < 0 || entry.pid > std::numeric_limits<pid_t>::max()) return false;
    return platform::processAlive(entry.pid);
}

bool remove(const std::string& dir, const std::string& serial) {
    return unlink(fileFor(dir, serial).c_str()) == 0;
}

}  // namespace pedalregistry
