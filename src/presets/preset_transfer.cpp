#include "presets/preset_transfer.h"

#include <cstdio>
#include <cstring>

using namespace protocol;

namespace presettransfer {

namespace {

bool echoMatches(const PresetLink& link, const uint8_t* image) {
    return std::memcmp(link.echo(), image, ImageSize) == 0;
}

Outcome storeFailed(int index, int code, bool reached) {
    Outcome o;
    o.kind = Outcome::StoreFailed;
    o.preset = index;
    o.code = code;
    o.reached = reached;
    return o;
}

// Stores and compares; on a mismatch notes it, stores once more and compares
// again. A retry whose store fails counts as a mismatch.
Outcome storeAndVerify(PresetLink& link, int index, const uint8_t* record, const uint8_t* title,
                       const uint8_t* image, const Sink* notes) {
    int r = link.storePreset(index, record, title, image);
    if (r != 0) return storeFailed(index, r, link.storeReachedPedal());
    Outcome o;
    if (echoMatches(link, image)) return o;
    if (notes) (*notes)("--> Auto-retry triggered.\n");
    int again = link.storePreset(index, record, title, image);
    if (again == 0 && echoMatches(link, image)) {
        o.retried = true;
        return o;
    }
    if (notes) (*notes)("--> Auto-retry failed to fix.\n\n");
    o.kind = Outcome::EchoMismatch;
    o.preset = index;
    o.code = again;
    return o;
}

}  // namespace

void toStdout(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

const char* Outcome::text() const {
    static thread_local char line[112];
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
    case ReadAllFailed:
        std::snprintf(line, sizeof line, "The presets could not be read back (error code %d).", code);
        return line;
    case ReadAllMismatch: return "The presets read back differ from the presets stored.";
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
    return text;
}

Outcome writeVerified(PresetLink& link, int index, const uint8_t* record, const uint8_t* title,
                      const uint8_t* image) {
    return storeAndVerify(link, index, record, title, image, nullptr);
}

Outcome restoreBank(PresetLink& link, const uint8_t bank[BankSize], const ComposeFn& compose,
                    const ProgressFn& progress, const Sink& notes) {
    // What the pedal must hold afterwards: the records as composed, the titles as given.
    uint8_t stored[BankSize];
    std::memcpy(stored, bank, sizeof stored);
    const size_t titles = PresetSlots * RecordSize;
    for (int i = 0; i < PresetSlots; ++i) {
        uint8_t record[RecordSize], image[ImageSize];
        compose(i, bank + RecordSize * i, record, image);
        std::memcpy(stored + RecordSize * i, record, sizeof record);
        Outcome o = storeAndVerify(link, i, record, bank + titles + TitleSize * i, image, &notes);
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
    } else if (std::memcmp(link.bank(), stored, sizeof stored) != 0) {
        o.kind = Outcome::ReadAllMismatch;
    }
    return o;
}

}  // namespace presettransfer
