// Registration of virtual pedals: one small text file per pedal in the folder
// named by ORVELLA_PEDAL_DIR, "<serial>.pedal", holding "key=value" lines:
//   description=Kestrova Drevani
//   serial=VP24000001
//   tty=/dev/pts/7
//   pid=12345             (the pedal's process: a registration it left behind is ignored)
// The link lists these after the real devices, ordered by file name.
#pragma once

#include <string>
#include <vector>

namespace pedalregistry {

struct Entry {
    std::string description;
    std::string serial;
    std::string tty;
    long pid = 0;               // 0: unknown; -1: the file names no possible process
};

// False only when the entry names a process that no longer exists, or one
// that cannot exist (a negative or out-of-range number).
bool alive(const Entry& entry);

// The folder named by ORVELLA_PEDAL_DIR, or "" when unset.
std::string folder();
// The registration file of a serial number (characters unsafe in a file name become '_').
std::string fileFor(const std::string& folder, const std::string& serial);
// Every well-formed registration in the folder, ordered by file name.
std::vector<Entry> list(const std::string& folder);
// Writes the registration as files::writeTextFile does (a temporary file
// renamed over it); false with errno set on failure.
bool write(const std::string& folder, const Entry& entry);
bool remove(const std::string& folder, const std::string& serial);

}  // namespace pedalregistry
