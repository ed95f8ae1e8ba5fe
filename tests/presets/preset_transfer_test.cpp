// Write-verify-retry and the restore sequence against a scripted link: what
// is stored, how often, when the transfer stops, and the final comparison.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "presets/PresetTransfer.h"

using presettransfer::Outcome;

namespace {

// What the fake pedal does with one store: Fail before any byte reached it,
// Broke off after (the pedal took the header, the echo never came); Keep
// Wrong echoes right but keeps byte `wrongByte` of the record (0..11) or
// title (12..23) changed;
// Unreadable echoes right but cannot be read back.
enum class Store { Ok, CorruptEcho, Fail, BrokeOff, KeepWrong, Unreadable };

class FakePresetLink : public presettransfer::PresetLink {
public:
    int storePreset(int index, const uint8_t* record, const uint8_t* title, const uint8_t* image) override {
        Store what = script.empty() ? Store::Ok : script.front();
        if (!script.empty()) script.erase(script.begin());
        stores.push_back(index);
        reached = what != Store::Fail;
        unreadable = what == Store::Unreadable;
        if (what == Store::Fail || what == Store::BrokeOff) return failCode;
        std::memcpy(echo_, image, sizeof echo_);
        if (what == Store::CorruptEcho) echo_[300] ^= 0x10;
        std::memcpy(held + 12 * index, record, 12);
        std::memcpy(held + 96 + 12 * index, title, 12);
        if (what == Store::KeepWrong) held[heldByte(index, wrongByte)] ^= 0x01;
        return 0;
    }
    bool storeReachedPedal() const override { return reached; }
    const uint8_t* echo() const override { return echo_; }
    int readPreset(int index) override {
        presetReads.push_back(index);
        if (unreadable) return failCode;
        std::memcpy(one, held + 12 * index, 12);
        std::memcpy(one + 12, held + 96 + 12 * index, 12);
        return 0;
    }
    const uint8_t* preset() const override { return one; }
    int readAll() override {
        ++reads;
        if (afterStores) afterStores(held);
        return readCode;
    }
    const uint8_t* bank() const override { return held; }

    // Where byte n (0..23: record, then title) of preset `index` lies in the bank.
    static int heldByte(int index, int n) { return n < 12 ? 12 * index + n : 96 + 12 * index + n - 12; }

    std::vector<Store> script;      // one entry per store, in order; Ok once it runs out
    int wrongByte = 23;
    std::vector<int> stores;        // the preset index of every store
    std::vector<int> presetReads;   // the preset index of every read-back
    int failCode = 4;
    int readCode = 0;
    int reads = 0;
    bool reached = false;
    bool unreadable = false;
    std::function<void(uint8_t*)> afterStores;     // changes what the pedal holds before the bank is read
    uint8_t held[192] = {};         // what the pedal holds, as readAll returns it
    uint8_t one[24] = {};
    uint8_t echo_[512] = {};
};

const uint8_t record[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
const uint8_t title[12] = {'T', 'i', 't', 'l', 'e'};

std::vector<uint8_t> image() {
    std::vector<uint8_t> b(512);
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 5 + 3);
    return b;
}

}  // namespace

// Echo and read-back are both checked; either difference gets the one retry.
TEST(PresetTransfer, WriteRetriesOnceAndThenGivesUp) {
    struct Case {
        std::vector<Store> script;
        Outcome::Kind kind;
        size_t stores, readBacks;
        bool retried;
        int code;
        bool damaged;   // the preset may have changed although it was not verified
    };
    const Case cases[] = {
        {{Store::Ok}, Outcome::Done, 1, 1, false, 0, false},
        {{Store::CorruptEcho, Store::Ok}, Outcome::Done, 2, 1, true, 0, false},
        {{Store::CorruptEcho, Store::CorruptEcho, Store::Ok}, Outcome::EchoMismatch, 2, 0, false, 0, true},
        {{Store::Fail}, Outcome::StoreFailed, 1, 0, false, 4, false},
        {{Store::BrokeOff}, Outcome::StoreFailed, 1, 0, false, 4, true},
        // A retry whose store fails is never taken for a verified one.
        {{Store::CorruptEcho, Store::Fail}, Outcome::EchoMismatch, 2, 0, false, 4, true},
        // The echo matches but the pedal kept something else.
        {{Store::KeepWrong, Store::Ok}, Outcome::Done, 2, 2, true, 0, false},
        {{Store::KeepWrong, Store::KeepWrong}, Outcome::ReadBackMismatch, 2, 2, false, 0, true},
        {{Store::KeepWrong, Store::Fail}, Outcome::ReadBackMismatch, 2, 1, false, 4, true},
        {{Store::CorruptEcho, Store::KeepWrong}, Outcome::ReadBackMismatch, 2, 1, false, 0, true},
        {{Store::Unreadable}, Outcome::ReadBackFailed, 1, 1, false, 4, true},
        {{Store::KeepWrong, Store::Unreadable}, Outcome::ReadBackFailed, 2, 2, false, 4, true},
    };
    std::vector<uint8_t> img = image();
    for (const Case& c : cases) {
        FakePresetLink link;
        link.script = c.script;
        Outcome o = presettransfer::writeVerified(link, 5, record, title, img.data());
        SCOPED_TRACE(o.text());
        EXPECT_EQ(o.kind, c.kind);
        EXPECT_EQ(link.stores, std::vector<int>(c.stores, 5));
        EXPECT_EQ(link.presetReads, std::vector<int>(c.readBacks, 5));
        EXPECT_EQ(o.retried, c.retried);
        EXPECT_EQ(o.retryCause, c.stores == 2 ? (c.script[0] == Store::KeepWrong ? Outcome::ReadBackMismatch
                                                                                 : Outcome::EchoMismatch)
                                              : Outcome::Done);
        EXPECT_EQ(o.code, c.code);
        EXPECT_EQ(o.damagedCopy(), c.damaged);
        EXPECT_EQ(o.preset, c.kind == Outcome::Done ? -1 : 5);
        EXPECT_EQ(link.reads, 0);
    }
    // Every one of the 24 bytes read back counts, the last of record and title too.
    for (int n = 0; n < 24; ++n) {
        FakePresetLink link;
        link.wrongByte = n;
        link.script = {Store::KeepWrong, Store::KeepWrong};
        EXPECT_EQ(presettransfer::writeVerified(link, 5, record, title, img.data()).kind, Outcome::ReadBackMismatch)
            << "byte " << n;
    }
}

class RestoreTest : public ::testing::Test {
protected:
    RestoreTest() {
        for (size_t i = 0; i < sizeof bank; ++i) bank[i] = static_cast<uint8_t>(i < 96 ? i : 'A' + i % 26);
    }
    // The composer clamps byte 11 of each record to at most 90, as the
    // Dashboard clamps out-of-range values, and makes an image per preset.
    Outcome restore(std::string* notes = nullptr) {
        auto compose = [this](int index, const uint8_t* bankRecord, uint8_t* rec, uint8_t* img) {
            composed.push_back(index);
            std::memcpy(rec, bankRecord, 12);
            if (rec[11] > 90) rec[11] = 90;
            for (int i = 0; i < 512; ++i) img[i] = static_cast<uint8_t>(index * 31 + i);
        };
        auto progress = [this](int done) { progressed.push_back(done); };
        auto sink = [notes](const char* text) {
            if (notes) *notes += text;
        };
        return presettransfer::restoreBank(link, bank, compose, progress, sink);
    }

    uint8_t bank[192];
    FakePresetLink link;
    std::vector<int> composed, progressed;
};

TEST_F(RestoreTest, StoresEachPresetThenComparesTheBankReadBack) {
    bank[12 * 7 + 11] = 200;                    // out of range: stored clamped
    std::string notes;
    Outcome o = restore(&notes);
    EXPECT_TRUE(o.ok()) << o.text();
    EXPECT_EQ(link.stores, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(link.presetReads, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(progressed, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(link.reads, 1);
    EXPECT_EQ(link.held[12 * 7 + 11], 90);
    EXPECT_TRUE(notes.empty());
    EXPECT_EQ(o.overwritten, 8);

    // The comparison is against the records as composed and the titles as
    // given, covers each of the 24 bytes of every preset, and names every
    // preset that differs.
    for (int preset = 0; preset < 8; ++preset)
        for (int n = 0; n < 24; ++n) {
            link = FakePresetLink();
            link.afterStores = [preset, n](uint8_t* held) { held[FakePresetLink::heldByte(preset, n)] ^= 0x80; };
            o = restore();
            EXPECT_EQ(o.kind, Outcome::ReadAllMismatch) << "preset " << preset + 1 << " byte " << n;
            EXPECT_EQ(o.differing, 1u << preset);
        }
    link = FakePresetLink();
    link.afterStores = [](uint8_t* held) {
        held[96 + 12 * 3] ^= 1;                 // a title byte of preset 4
        held[12 * 5 + 2] ^= 1;                  // a record byte of preset 6
    };
    o = restore();
    EXPECT_EQ(o.kind, Outcome::ReadAllMismatch);
    EXPECT_EQ(o.differing, (1u << 3) | (1u << 5));
    EXPECT_EQ(o.overwritten, 8);                // every store went through
    EXPECT_EQ(o.stopText(),
              "All 8 presets had already been overwritten. Presets 4 and 6 read back differently from what was stored.");

    link = FakePresetLink();
    link.readCode = 1001;
    o = restore();
    EXPECT_EQ(o.kind, Outcome::ReadAllFailed);
    EXPECT_EQ(o.code, 1001);
}

TEST_F(RestoreTest, StopsAtTheFirstFailedStore) {
    link.script = {Store::Ok, Store::Ok, Store::Ok, Store::Fail};
    Outcome o = restore();
    EXPECT_EQ(o.kind, Outcome::StoreFailed);
    EXPECT_EQ(o.preset, 3);
    EXPECT_EQ(o.overwritten, 3);
    EXPECT_FALSE(o.damagedCopy());
    EXPECT_EQ(o.stopText(), "Presets 1 to 3 had already been overwritten.");
    EXPECT_EQ(link.stores, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(composed, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(progressed, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(link.reads, 0);

    // A store that broke off after the pedal had begun to take it.
    link = FakePresetLink();
    link.script = {Store::Ok, Store::BrokeOff};
    o = restore();
    EXPECT_EQ(o.kind, Outcome::StoreFailed);
    EXPECT_TRUE(o.damagedCopy());
    EXPECT_EQ(o.stopText(), "Preset 1 had already been overwritten. Preset 2 may now hold a damaged copy.");
    link = FakePresetLink();
    link.script = {Store::BrokeOff};
    EXPECT_EQ(restore().stopText(), "No preset had been overwritten yet. Preset 1 may now hold a damaged copy.");
}

// A preset kept wrong stops the restore at that preset, the last one too,
// before the final read of the bank.
TEST_F(RestoreTest, APresetKeptWrongStopsTheRestoreThere) {
    for (int n : {0, 11, 12, 23}) {
        link = FakePresetLink();
        link.wrongByte = n;
        link.script = {Store::Ok, Store::Ok, Store::Ok, Store::Ok, Store::Ok, Store::Ok, Store::Ok,
                       Store::KeepWrong, Store::KeepWrong};
        Outcome o = restore();
        EXPECT_EQ(o.kind, Outcome::ReadBackMismatch) << "byte " << n;
        EXPECT_EQ(o.preset, 7);
        EXPECT_EQ(o.overwritten, 7);
        EXPECT_EQ(link.reads, 0);
    }
}

TEST_F(RestoreTest, RetriesAMismatchedEchoOnceAndNotesIt) {
    link.script = {Store::Ok, Store::CorruptEcho, Store::Ok};
    std::string notes;
    EXPECT_TRUE(restore(&notes).ok());
    EXPECT_EQ(link.stores, (std::vector<int>{0, 1, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(notes, "--> Auto-retry triggered.\n");

    link = FakePresetLink();
    link.script = {Store::Ok, Store::Ok, Store::CorruptEcho, Store::CorruptEcho};
    notes.clear();
    Outcome o = restore(&notes);
    EXPECT_EQ(o.kind, Outcome::EchoMismatch);
    EXPECT_EQ(o.preset, 2);
    EXPECT_EQ(o.overwritten, 2);
    EXPECT_TRUE(o.damagedCopy());               // preset 3 was stored, its echo wrong
    EXPECT_EQ(o.stopText(), "Presets 1 and 2 had already been overwritten. Preset 3 may now hold a damaged copy.");
    EXPECT_EQ(link.stores, (std::vector<int>{0, 1, 2, 2}));
    EXPECT_EQ(link.reads, 0);
    EXPECT_EQ(notes, "--> Auto-retry triggered.\n--> Auto-retry failed to fix.\n\n");
}
