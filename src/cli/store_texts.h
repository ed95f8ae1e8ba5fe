// How write and restore tell a verified store's automatic retry: what set
// off a retry that cured it, and a difference the retry did not cure.
#pragma once

#include <string>

#include "presets/PresetTransfer.h"

namespace cli {

// What set off an automatic retry that cured it, as a note says it.
std::string retryCause(presettransfer::Outcome::Kind cause, int preset);
// A difference that the retry did not cure.
std::string twiceText(presettransfer::Outcome::Kind kind);

}  // namespace cli
