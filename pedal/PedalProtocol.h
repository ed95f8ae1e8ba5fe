// The pedal's side of the command protocol: bytes in, complete commands out,
// each with the reply the pedal sends and its effect on the state. A first
// byte that is no command byte starts a raw 512-byte preview image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pedal/PedalState.h"

struct PedalCommand {
    std::string name;               // "read-preset", "store-header", "store-image", "preview", ...
    std::vector<uint8_t> bytes;     // everything received for it
    std::vector<uint8_t> reply;     // what the pedal answers (may be empty)
    bool changedState = false;      // the state file must be saved
};

class PedalProtocol {
public:
    explicit PedalProtocol(PedalState& state) : state_(state) {}

    // Takes received bytes; appends every command they complete to done.
    void feed(const uint8_t* data, size_t n, std::vector<PedalCommand>& done);
    // True while a command has started but not all of its bytes came.
    bool midCommand() const { return !partial_.empty() || awaitingImage_ >= 0; }
    // Drops a half-received command (the sender gave up).
    void reset();

private:
    size_t lengthOf(uint8_t first) const;   // total bytes of the command starting with first
    PedalCommand execute(std::vector<uint8_t>& bytes);
    PedalState& state_;
    std::vector<uint8_t> partial_;
    int awaitingImage_ = -1;                // preset index whose image follows its header
};
