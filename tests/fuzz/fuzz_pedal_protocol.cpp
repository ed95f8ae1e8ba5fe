// The virtual pedal's command parser: bytes fed at once or one at a time give
// the same commands and the same state; the commands are the input, cut in
// order; replies have their commands' sizes and echoes are what came in.
#include "tests/fuzz/FuzzSupport.h"

#include <cstring>

#include "pedal/PedalProtocol.h"
#include "pedal/PedalState.h"

namespace {

struct Run {
    PedalState state;
    PedalProtocol protocol{state};
    std::vector<PedalCommand> done;
    Run(bool updateMode) {
        state.setFactory(nullptr);
        state.updateMode = updateMode;
    }
};

bool sameState(const PedalState& a, const PedalState& b) {
    for (int i = 0; i < 8; ++i)
        if (std::memcmp(&a.presets[i], &b.presets[i], sizeof a.presets[i]) != 0) return false;
    return a.globalConfig == b.globalConfig && a.oscillator == b.oscillator &&
           a.oscillatorBurned == b.oscillatorBurned && a.firmwareVersion == b.firmwareVersion &&
           a.updateMode == b.updateMode && a.pagesReceived == b.pagesReceived &&
           std::memcmp(a.playing, b.playing, 512) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool updateMode = data[0] & 1;    // the first byte picks the mode the pedal starts in
    ++data;
    --size;
    Run whole(updateMode), single(updateMode);
    whole.protocol.feed(data, size, whole.done);
    for (size_t i = 0; i < size; ++i) single.protocol.feed(data + i, 1, single.done);

    FUZZ_CHECK(whole.done.size() == single.done.size());
    FUZZ_CHECK(sameState(whole.state, single.state));
    FUZZ_CHECK(whole.protocol.midCommand() == single.protocol.midCommand());
    size_t at = 0;
    for (size_t i = 0; i < whole.done.size(); ++i) {
        const PedalCommand& c = whole.done[i];
        const PedalCommand& d = single.done[i];
        FUZZ_CHECK(c.name == d.name && c.bytes == d.bytes && c.reply == d.reply && c.changedState == d.changedState);
        FUZZ_CHECK(!c.bytes.empty() && at + c.bytes.size() <= size);
        FUZZ_CHECK(std::memcmp(c.bytes.data(), data + at, c.bytes.size()) == 0);
        at += c.bytes.size();
        if (c.name == "read-preset") FUZZ_CHECK(c.reply.size() == 24);
        else if (c.name == "read-all") FUZZ_CHECK(c.reply.size() == 192);
        else if (c.name == "status" || c.name == "get-config") FUZZ_CHECK(c.reply.size() == 1);
        else if (c.name == "store-image") FUZZ_CHECK(c.reply == c.bytes && c.bytes.size() == 512);
        else if (c.name == "page")
            FUZZ_CHECK(c.bytes.size() == 67 && c.reply == std::vector<uint8_t>(c.bytes.begin() + 3, c.bytes.end()));
        else FUZZ_CHECK(c.reply.empty());
    }
    // What is left over is an unfinished command, and only that.
    if (at < size) FUZZ_CHECK(whole.protocol.midCommand());
    FUZZ_CHECK(whole.state.firmwareVersion <= 0x7F);
    FUZZ_CHECK((whole.state.statusByte() & 0x7F) == whole.state.firmwareVersion);
    return 0;
}
