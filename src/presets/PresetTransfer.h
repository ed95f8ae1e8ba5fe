// Storing presets with verification, beside the firmware transfer: a WRITE
// stores one preset, compares the 512-byte echo with the image sent, then
// reads the preset back and compares its record and title with what was sent
// (the pedal may echo an image right and still keep something else); on any
// difference it stores the preset once more. A restore does that for the
// eight presets of a bank, stops at the first store that fails, and ends by
// reading the whole bank back and comparing it with what was meant to be
// stored. The link is abstract so that both sequences are testable without a
// pedal; no toolkit.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "link/PedalLink.h"
#include "link/Protocol.h"

namespace presettransfer {

class PresetLink {
public:
    virtual ~PresetLink() = default;
    // Stores preset `index` (0..7); 0 on success, else the link's result code.
    virtual int storePreset(int index, const uint8_t* record, const uint8_t* title, const uint8_t* image) = 0;
    // Whether the last store had sent any byte to the pedal: a failed one
    // that had may have left the preset changed.
    virtual bool storeReachedPedal() const = 0;
    // The 512 bytes the pedal echoed for the last image stored.
    virtual const uint8_t* echo() const = 0;
    // Reads preset `index` back; 0 on success, else the link's result code.
    virtual int readPreset(int index) = 0;
    // The 24 bytes of the last preset read: its record, then its title.
    virtual const uint8_t* preset() const = 0;
    // Reads the whole bank; 0 on success, else the link's result code.
    virtual int readAll() = 0;
    // The 192 bytes of the last bank read.
    virtual const uint8_t* bank() const = 0;
};

// A PedalLink as the transfer sees it.
class PedalPresetLink : public PresetLink {
public:
    explicit PedalPresetLink(PedalLink& link) : link_(link) {}
    int storePreset(int index, const uint8_t* record, const uint8_t* title, const uint8_t* image) override {
        return link_.storePreset(index, record, title, image).code;
    }
    bool storeReachedPedal() const override { return link_.storeReachedPedal(); }
    const uint8_t* echo() const override { return link_.reply(); }
    int readPreset(int index) override { return link_.readPreset(index).code; }
    const uint8_t* preset() const override { return link_.reply(); }
    int readAll() override { return link_.readAll().code; }
    const uint8_t* bank() const override { return link_.reply(); }

private:
    PedalLink& link_;
};

struct Outcome {
    enum Kind {
        Done,            // stored and verified (a restore: the bank read back matches)
        StoreFailed,     // a store failed (`code`); the rest was not sent (see `reached`)
        EchoMismatch,    // the echo differed from the image twice (after the one retry)
        ReadBackFailed,  // the echo matched, but the preset could not be read back (`code`)
        ReadBackMismatch,   // the preset read back differed from what was sent twice
        ReadAllFailed,   // the final read of the bank failed (`code`)
        ReadAllMismatch, // the bank read back differs from what was stored (`differing`)
    };
    Kind kind = Done;
    int preset = -1;     // the preset (0..7) a store, echo or read-back failure concerns
    // The link's result code for StoreFailed, ReadBackFailed and ReadAllFailed;
    // for EchoMismatch and ReadBackMismatch, non-zero when the retry's store failed.
    int code = 0;
    bool retried = false;   // a mismatch was cured by the automatic retry
    // What set off the retry (EchoMismatch or ReadBackMismatch), Done when none ran.
    Kind retryCause = Done;
    // ReadAllMismatch: bit i set for each preset i whose record or title read
    // back differs from what was stored.
    unsigned differing = 0;
    // StoreFailed: the failing store had already sent bytes to the pedal
    // (its header, perhaps the image), so `preset` may have changed.
    bool reached = false;
    // A restore: the presets (1..overwritten) stored and verified before it
    // ended; 8 once every store went through, whatever the final read says.
    int overwritten = 0;
    bool ok() const { return kind == Done; }
    // The failing store reached the pedal: `preset` was stored, but what it
    // echoed differed from the image also after the retry, or the store broke
    // off after the pedal had begun to receive it. It may now hold a damaged
    // (or even a complete) copy: the pedal keeps what it received.
    // A store whose read-back failed or differed is treated the same way.
    bool damagedCopy() const {
        return kind == EchoMismatch || kind == ReadBackMismatch || kind == ReadBackFailed ||
               (kind == StoreFailed && reached);
    }
    // A restore that stopped: how far it got, for its alert and log ("Presets
    // 1 to 3 had already been overwritten. Preset 4 may now hold a damaged
    // copy."); after the final comparison it also names the presets that read
    // back differently.
    std::string stopText() const;
    // One line saying what happened ("Preset 3: the echo differed twice", ...).
    const char* text() const;
};

// "Preset 4", "Presets 3 and 5", "Presets 1, 2 and 6": the presets whose bits
// (bit i for preset i + 1) are set in mask.
std::string presetList(unsigned mask);

// Stores one preset, verifies its echo and reads it back, storing it once
// more when either differs.
Outcome writeVerified(PresetLink& link, int index, const uint8_t* record, const uint8_t* title,
                      const uint8_t* image);

// Fills `record` (12 bytes) and `image` (512 bytes) for preset `index` from
// the bank's record `bankRecord`; the record may come out clamped.
using ComposeFn = std::function<void(int index, const uint8_t* bankRecord, uint8_t* record, uint8_t* image)>;
// Called after each preset stored and verified, with the count done (1..8).
using ProgressFn = std::function<void(int presetsDone)>;
// The automatic retry of one preset of a restore: set off by `cause`
// (EchoMismatch or ReadBackMismatch), then cured or not.
enum class Retry { Triggered, Fixed, FailedToFix };
using RetryFn = std::function<void(Retry stage, int preset, Outcome::Kind cause)>;
// Receives the restore's retry notes as the editor prints them
// ("--> Auto-retry triggered.", "--> Auto-retry failed to fix.").
using Sink = PedalLink::Sink;
// Writes to standard output and flushes, so the notes keep their place among
// the link's lines.
void flushedStdoutSink(const char* text);

// Restores a bank (eight records, then eight titles): each preset composed,
// stored and verified as writeVerified does (the retry told to `retries`),
// stopping at the first failure; then the bank is read back and compared
// with the records as composed and the titles as given.
Outcome restoreBank(PresetLink& link, const uint8_t bank[protocol::BankSize], const ComposeFn& compose,
                    const ProgressFn& progress, const RetryFn& retries);
// The same, the retry noted to `notes` in the editor's words.
Outcome restoreBank(PresetLink& link, const uint8_t bank[protocol::BankSize], const ComposeFn& compose,
                    const ProgressFn& progress, const Sink& notes = flushedStdoutSink);

}  // namespace presettransfer
