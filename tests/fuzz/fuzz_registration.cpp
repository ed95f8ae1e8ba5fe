// Registration files of virtual pedals: an entry is listed only with a serial
// number and a terminal; its process number is never one a process id cannot
// hold (which would wrap to another process or a group); what write() puts
// down, list() reads back, and a write that fails leaves no file.
#include "tests/fuzz/FuzzSupport.h"

#include <sys/types.h>

#include <limits>

#include "link/PedalRegistry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string folder = fuzz::scratch() + "/pedals";
    static bool made = std::system(("mkdir -p '" + folder + "'").c_str()) == 0;
    FUZZ_CHECK(made);
    const std::string path = folder + "/FUZZ.pedal";
    fuzz::writeFile(path, data, size);
    std::vector<pedalregistry::Entry> listed = pedalregistry::list(folder);
    std::remove(path.c_str());
    FUZZ_CHECK(listed.size() <= 1);
    if (listed.empty()) return 0;

    const pedalregistry::Entry& e = listed[0];
    FUZZ_CHECK(!e.serial.empty() && !e.tty.empty());
    FUZZ_CHECK(e.pid == -1 || (e.pid >= 0 && e.pid <= std::numeric_limits<pid_t>::max()));
    if (e.pid == -1) FUZZ_CHECK(!pedalregistry::alive(e));
    if (e.pid == 0) FUZZ_CHECK(pedalregistry::alive(e));

    // Values with a line end inside cannot come from a file of lines.
    FUZZ_CHECK(e.serial.find('\n') == std::string::npos && e.description.find('\n') == std::string::npos);
    // The pedal writes values from its command line, which cannot hold a NUL.
    for (const std::string* v : {&e.serial, &e.tty, &e.description})
        if (v->find('\0') != std::string::npos) return 0;
    pedalregistry::Entry written = e;
    if (written.pid < 0) written.pid = 0;
    // orvella-pedal registers serial numbers of at most 11 characters; a far
    // longer one may make a file name the system refuses, and then nothing
    // may be left behind.
    if (!pedalregistry::write(folder, written)) {
        FUZZ_CHECK(written.serial.size() > 11);
        FUZZ_CHECK(fuzz::entries(folder).empty());
        return 0;
    }
    std::vector<pedalregistry::Entry> again = pedalregistry::list(folder);
    FUZZ_CHECK(again.size() == 1);
    FUZZ_CHECK(again[0].serial == written.serial && again[0].tty == written.tty &&
               again[0].description == written.description && again[0].pid == written.pid);
    FUZZ_CHECK(pedalregistry::remove(folder, written.serial));
    FUZZ_CHECK(fuzz::entries(folder).empty());
    return 0;
}
