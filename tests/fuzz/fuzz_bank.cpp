// Backup banks and factory masters: the editor's reader and the virtual
// pedal's reader agree, a file is taken exactly when it holds 192 bytes,
// the size reported is the file's, and what is taken is the file's bytes.
#include "tests/fuzz/FuzzSupport.h"

#include <cstring>

#include "pedal/PedalState.h"
#include "presets/PresetFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::scratch() + "/bank.bkp";
    fuzz::writeFile(path, data, size);

    uint8_t bank[presetfiles::BankSize];
    long reported = -1;
    int error = 0;
    presetfiles::BankStatus status = presetfiles::readBank(path, bank, &reported, &error);
    uint8_t pedalBank[192];
    std::string pedalError;
    bool pedalOk = readBankFile(path, pedalBank, pedalError);

    FUZZ_CHECK(status != presetfiles::BankStatus::CannotOpen);
    FUZZ_CHECK(reported == static_cast<long>(size));
    FUZZ_CHECK((status == presetfiles::BankStatus::Ok) == (size == presetfiles::BankSize));
    FUZZ_CHECK(pedalOk == (status == presetfiles::BankStatus::Ok));
    if (pedalOk) {
        FUZZ_CHECK(std::memcmp(bank, data, 192) == 0);
        FUZZ_CHECK(std::memcmp(pedalBank, data, 192) == 0);
    } else {
        FUZZ_CHECK(!pedalError.empty());
    }
    return 0;
}
