// The virtual pedal's state file: a file is taken only at its exact size,
// and one that is taken saves back to the same bytes (the mode flag
// normalised to 0 or 1), through a temporary file that does not stay.
#include "tests/fuzz/FuzzSupport.h"

#include "pedal/PedalState.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::scratch() + "/in.state";
    fuzz::writeFile(path, data, size);
    PedalState state;
    std::string error;
    bool ok = state.load(path, error);
    if (!ok) {
        FUZZ_CHECK(error.find("(" + std::to_string(size) + " bytes)") != std::string::npos);
        return 0;
    }
    const std::string out = fuzz::scratch() + "/out.state";
    FUZZ_CHECK(state.save(out, error));
    std::vector<uint8_t> saved = fuzz::readFile(out);
    std::vector<uint8_t> expected(data, data + size);
    const size_t modeByte = 8 + 8 * sizeof(PedalPreset) + 4;
    FUZZ_CHECK(modeByte < expected.size());
    expected[modeByte] = expected[modeByte] != 0;
    FUZZ_CHECK(saved == expected);
    FUZZ_CHECK(fuzz::entries(fuzz::scratch()).size() == 2);     // in.state and out.state, no temporary
    std::remove(out.c_str());
    return 0;
}
