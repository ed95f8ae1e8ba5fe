#include "cli/store_texts.h"

namespace cli {

std::string retryCause(presettransfer::Outcome::Kind cause, int preset) {
    if (cause == presettransfer::Outcome::ReadBackMismatch)
        return "preset " + std::to_string(preset + 1) + " read back differently from what was sent";
    return "preset " + std::to_string(preset + 1) + ": the pedal's first echo differed from the image";
}

std::string twiceText(presettransfer::Outcome::Kind kind) {
    if (kind == presettransfer::Outcome::ReadBackMismatch)
        return "it read back differently from what was sent, also after storing it again";
    return "the pedal's echo differed from the image twice";
}

}  // namespace cli
