// Local preset files (.lop): a file that is accepted names a preset whose
// file stays inside the preset folder, encodes back to the bytes it was read
// from, and saving it writes exactly one file, in that folder.
#include "tests/fuzz/FuzzSupport.h"

#include <cstring>

#include "presets/PresetFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    presetfiles::LocalPreset preset;
    presetfiles::LopStatus status = presetfiles::decodeLop(bytes, preset);
    std::string name;
    bool named = presetfiles::lopName(bytes, name);
    const bool lineEnds = std::memchr(data, '\n', size) != nullptr;
    FUZZ_CHECK(named == (status != presetfiles::LopStatus::NoName && status != presetfiles::LopStatus::LongName));
    FUZZ_CHECK((status == presetfiles::LopStatus::LongName) == (!named && lineEnds));
    if (status != presetfiles::LopStatus::Ok) {
        FUZZ_CHECK(status != presetfiles::LopStatus::BadName || presetfiles::nameProblem(name));
        return 0;
    }

    FUZZ_CHECK(preset.name == name);
    FUZZ_CHECK(!presetfiles::nameProblem(name));
    FUZZ_CHECK(name.size() <= presetfiles::MaxNameLength);
    std::vector<uint8_t> again = presetfiles::encodeLop(preset.name, preset.preset.record(), preset.preset.title());
    FUZZ_CHECK(again.size() <= size && std::memcmp(again.data(), data, again.size()) == 0);

    // Saved as the editor saves it: the only new file is in the preset folder.
    const std::string home = fuzz::scratch() + "/home";
    const std::string folder = presetfiles::presetFolder(home);
    static bool made = std::system(("mkdir -p '" + folder + "'").c_str()) == 0;
    FUZZ_CHECK(made);
    const std::string target = presetfiles::presetPath(home, preset.name);
    FUZZ_CHECK(target.compare(0, folder.size(), folder) == 0);
    FUZZ_CHECK(target.find('/', folder.size()) == std::string::npos);
    int error = 0;
    FUZZ_CHECK(files::writeFileAtomically(target, again.data(), again.size(), &error));
    FUZZ_CHECK(fuzz::entries(fuzz::scratch()) == std::vector<std::string>{"home"});
    FUZZ_CHECK(fuzz::entries(home) == std::vector<std::string>{"Kestrova"});
    std::vector<std::string> files = fuzz::entries(folder);
    FUZZ_CHECK(files.size() == 1 && files[0] == preset.name + ".lop");
    FUZZ_CHECK(fuzz::readFile(target) == again);
    FUZZ_CHECK(std::remove(target.c_str()) == 0);
    return 0;
}
