// The library list (presets.lst): lines read are never empty and carry no
// line end; a list written from them reads back the same, and an added
// line comes back last with every other line kept.
#include "tests/fuzz/FuzzSupport.h"

#include "presets/PresetFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::scratch() + "/presets.lst";
    fuzz::writeFile(path, data, size);
    std::vector<std::string> lines = presetfiles::readList(path);
    bool crEnded = false;
    for (const std::string& line : lines) {
        FUZZ_CHECK(!line.empty());
        FUZZ_CHECK(line.find('\n') == std::string::npos);
        crEnded = crEnded || line.back() == '\r';
    }

    // A line can only end in CR when the file had two before its line end;
    // such a line is not one the editor writes.
    int error = 0;
    if (!crEnded) {
        const std::string copy = fuzz::scratch() + "/copy.lst";
        FUZZ_CHECK(presetfiles::writeList(copy, lines, &error));
        FUZZ_CHECK(presetfiles::readList(copy) == lines);
    }
    FUZZ_CHECK(presetfiles::appendToList(path, "/added/preset.lop", &error));
    std::vector<std::string> grown = presetfiles::readList(path);
    FUZZ_CHECK(grown.size() == lines.size() + 1);
    FUZZ_CHECK(grown.back() == "/added/preset.lop");
    for (size_t i = 0; i < lines.size(); ++i) FUZZ_CHECK(grown[i] == lines[i]);
    return 0;
}
