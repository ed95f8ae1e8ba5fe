// The last-Dashboard file kept at quit: taken exactly when it is the marker,
// a record and a title of printable characters (28 bytes), and a file taken
// encodes back to its own bytes.
#include "tests/fuzz/FuzzSupport.h"

#include <cstring>

#include "editor/EditHistory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::optional<edits::DashboardState> state = edits::decodeLastDashboard(data, size);
    bool printable = size == edits::lastDashboardSize;
    for (size_t i = 16; printable && i < size; ++i) printable = data[i] >= 0x20 && data[i] <= 0x7e;
    const bool marked = size >= 4 && std::memcmp(data, "OVD1", 4) == 0;
    FUZZ_CHECK(state.has_value() == (printable && marked));
    if (!state) return 0;
    std::string again = edits::encodeLastDashboard(*state);
    FUZZ_CHECK(again.size() == size && std::memcmp(again.data(), data, size) == 0);
    return 0;
}
