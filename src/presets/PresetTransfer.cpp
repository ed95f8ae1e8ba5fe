#include "presets/PresetTransfer.h"

#include <cstdio>
#include <cstring>
#include <vector>

using namespace protocol;

namespace presettransfer {

namespace {

Outcome storeFailed(int index, int code, bool reached) {
    Outcome o;
    o.kind = Outcome::StoreFailed;
    o.preset = index;
    o.code = code;
    o.reached = reached;
    return o;
}

// One store and its checks: the result code of the first step that failed,
// or the kind of difference found (Done when the preset holds what was sent).
struct Attempt {
    int code = 0;                       // non-zero: the store (or, with readFailed, the read-back) failed
    bool readFailed = false;
    Outcome::Kind found = Outcome::Done;
};

Attempt storeAndCheck(PresetLink& link, int index, const uint8_t* record, const uint8_t* title,
                      const uint8_t* image) {
    Attempt a;
    if ((a.code = link.storePreset(index, record, title, image)) != 0) return a;
    if (std::memcmp(link.echo(), image, ImageSize) != 0) {
        a.found = Outcome::EchoMismatch;
        return a;
    }
    // The echo says what arrived, not what the pedal kept: read it back.
    if ((a.code = link.readPreset(index)) != 0) {
        a.readFailed = true;
        return a;
    }
    const uint8_t* held = link.preset();
    if (std::memcmp(held, record, RecordSize) != 0 || std::memcmp(held + RecordSize, title, TitleSize) != 0)
        a.found = Outcome::ReadBackMismatch;
    return a;
}

Outcome readBackFailed(int index, int code) {
    Outcome o;
    o.kind = Outcome::ReadBackFailed;
    o.preset = index;
    o.code = code;
    return o;
}

// Stores and checks; on a difference tells `retries`, stores once more and
// checks again. A retry whose store fails counts as the difference it was
// meant to cure.
Outcome storeAndVerify(PresetLink& link, int index, const uint8_t* record, const uint8_t* title,
                       const uint8_t* image, const RetryFn* retries) {
    Attempt first = storeAndCheck(link, index, record, title, image);
    if (first.readFailed) return readBackFailed(index, first.code);
    if (first.code != 0) return storeFailed(index, first.code, link.storeReachedPedal());
    Outcome o;
    if (first.found == Outcome::Done) return o;
    const Outcome::Kind cause = first.found;
    o.retryCause = cause;
    if (retries && *retries) (*retries)(Retry::Triggered, index, cause);
    Attempt again = storeAndCheck(link, index, record, title, image);
    if (again.code == 0 && again.found == Outcome::Done) {
        o.retried = true;
        if (retries && *retries) (*retries)(Retry::Fixed, index, cause);
        return o;
    }
    if (retries && *retries) (*retries)(Retry::FailedToFix, index, cause);
    if (again.readFailed) {
        Outcome failed = readBackFailed(index, again.code);
        failed.retryCause = cause;
        return failed;
    }
    o.kind = again.code != 0 ? cause : again.found;
    o.preset = index;
    o.code = again.code;
    return o;
}

}  // namespace

void flushedStdoutSink(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

const char* Outcome::text() const {
    static thread_local char line[160];
    switch (kind) {
    case Done: return retried ? "Stored and verified after one retry." : "Stored and verified.";
    case StoreFailed:
        std::snprintf(line, sizeof line, "Preset %d could not be stored (error code %d)%s", preset + 1, code,
                      reached ? "; it may now hold a damaged copy." : ".");
        return line;
    case EchoMismatch:
        std::snprintf(line, sizeof line,
                      "Preset %d: the pedal's echo differed from the image twice; it may now hold a damaged copy.",
                      preset + 1);
        return line;
    case ReadBackFailed:
        std::snprintf(line, sizeof line,
                      "Preset %d could not be read back (error code %d); it may now hold a damaged copy.", preset + 1,
                      code);
        return line;
    case ReadBackMismatch:
        std::snprintf(line, sizeof line,
                      "Preset %d read back differently from what was sent, twice; it may now hold a damaged copy.",
                      preset + 1);
        return line;
    case ReadAllFailed:
        std::snprintf(line, sizeof line, "The presets could not be read back (error code %d).", code);
        return line;
    case ReadAllMismatch:
        std::snprintf(line, sizeof line, "%s read back differently from what was stored.",
                      presetList(differing).c_str());
        return line;
    }
    return "";
}

std::string Outcome::stopText() const {
    std::string text;
    if (overwritten == 0)
        text = "No preset had been overwritten yet.";
    else if (overwritten == 1)
        text = "Preset 1 had already been overwritten.";
    else if (overwritten == 2)
        text = "Presets 1 and 2 had already been overwritten.";
    else if (overwritten < PresetSlots)
        text = "Presets 1 to " + std::to_string(overwritten) + " had already been overwritten.";
    else
        text = "All 8 presets had already been overwritten.";
    if (damagedCopy()) text += " Preset " + std::to_string(preset + 1) + " may now hold a damaged copy.";
    if (kind == ReadAllMismatch) text += std::string(" ") + this->text();
    return text;
}

std::string presetList(unsigned mask) {
    std::vector<int> numbers;
    for (int i = 0; i < PresetSlots; ++i)
        if (mask & (1u << i)) numbers.push_back(i + 1);
    if (numbers.empty()) return "No preset";
    std::string text = numbers.size() == 1 ? "Preset " : "Presets ";
    for (size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0) text += i + 1 == numbers.size() ? " and " : ", ";
        text += std::to_string(numbers[i]);
    }
    return text;
}

Outcome writeVerified(PresetLink& link, int index, const uint8_t* record, const uint8_t* title,
                      const uint8_t* image) {
    return storeAndVerify(link, index, record, title, image, nullptr);
}

Outcome restoreBank(PresetLink& link, const uint8_t bank[BankSize], const ComposeFn& compose,
                    const ProgressFn& progress, const Sink& notes) {
    RetryFn retries = [&notes](Retry stage, int, Outcome::Kind) {
        if (!notes) return;
        if (stage == Retry::Triggered) notes("--> Auto-retry triggered.\n");
        if (stage == Retry::FailedToFix) notes("--> Auto-retry failed to fix.\n\n");
    };
    return restoreBank(link, bank, compose, progress, retries);
}

Outcome restoreBank(PresetLink& link, const uint8_t bank[BankSize], const ComposeFn& compose,
                    const ProgressFn& progress, const RetryFn& retries) {
    // What the pedal must hold afterwards: the records as composed, the titles as given.
    uint8_t stored[BankSize];
    std::memcpy(stored, bank, sizeof stored);
    const size_t titles = PresetSlots * RecordSize;
    for (int i = 0; i < PresetSlots; ++i) {
        uint8_t record[RecordSize], image[ImageSize];
        compose(i, bank + RecordSize * i, record, image);
        std::memcpy(stored + RecordSize * i, record, sizeof record);
        Outcome o = storeAndVerify(link, i, record, bank + titles + TitleSize * i, image, &retries);
        o.overwritten = i;
        if (!o.ok()) return o;
        if (progress) progress(i + 1);
    }
    Outcome o;
    o.overwritten = PresetSlots;
    int r = link.readAll();
    if (r != 0) {
        o.kind = Outcome::ReadAllFailed;
        o.code = r;
    } else {
        const uint8_t* held = link.bank();
        for (int i = 0; i < PresetSlots; ++i)
            if (std::memcmp(held + RecordSize * i, stored + RecordSize * i, RecordSize) != 0 ||
                std::memcmp(held + titles + TitleSize * i, stored + titles + TitleSize * i, TitleSize) != 0)
                o.differing |= 1u << i;
        if (o.differing) o.kind = Outcome::ReadAllMismatch;
    }
    return o;
}

}  // namespace presettransfer
