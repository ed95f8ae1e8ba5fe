// Firmware packages (.fdt): read as text for the notes and as binary for the
// payload, both readings agree on the version and the payload's size; the
// payload is the file's last bytes, never more than the file holds; notes
// read as text carry no CR before their line ends; both readings find the
// same format problem, and a package without one has notes of text alone.
#include "tests/fuzz/FuzzSupport.h"

#include <cstring>

#include "maintenance/FirmwarePackage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::scratch() + "/update.fdt";
    fuzz::writeFile(path, data, size);
    firmware::Package binary, text;
    int binaryError = 0, textError = 0;
    firmware::ReadStatus b = firmware::readPackage(path, "rb", true, binary, binaryError);
    firmware::ReadStatus t = firmware::readPackage(path, "r", false, text, textError);
    FUZZ_CHECK(b == t);
    if (size == 0) {
        FUZZ_CHECK(b == firmware::ReadStatus::NoVersion);
        return 0;
    }
    FUZZ_CHECK(b == firmware::ReadStatus::Ok);
    FUZZ_CHECK(binary.version == firmware::versionByte(data[0]));
    FUZZ_CHECK(binary.version == text.version);
    FUZZ_CHECK(binary.payloadSize == text.payloadSize);
    FUZZ_CHECK(binary.payloadSize >= 0 && binary.payloadSize <= static_cast<long>(size));
    FUZZ_CHECK(text.payload.empty());
    if (binary.payloadSize <= firmware::kMaxPayload) {
        FUZZ_CHECK(binary.payload.size() == static_cast<size_t>(binary.payloadSize));
        FUZZ_CHECK(binary.payload.empty() ||
                   std::memcmp(binary.payload.data(), data + size - binary.payload.size(), binary.payload.size()) == 0);
    } else {
        FUZZ_CHECK(binary.payload.empty());
    }
    FUZZ_CHECK(text.notes.find("\r\n") == std::string::npos);
    // Both readings judge the format alike, and notes of a package that
    // passes hold text alone.
    std::string problem = firmware::formatProblem(binary);
    FUZZ_CHECK(problem == firmware::formatProblem(text));
    if (problem.empty())
        for (unsigned char c : binary.notes) FUZZ_CHECK(c >= 0x20 ? c != 0x7F : c == '\t' || c == '\r' || c == '\n');
    FUZZ_CHECK(firmware::pageCount(binary.payloadSize) * firmware::kPageSize >= binary.payloadSize);
    return 0;
}
