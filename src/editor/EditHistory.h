// The Dashboard's undo and redo history, and what the pedal's presets were
// last known to hold (the edited mark). No toolkit: the window feeds it the
// Dashboard's state after each change and applies what undo and redo return.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>

namespace edits {

// What one step restores: the 12-byte parameter record and the 12-character
// preset title shown beside it.
struct DashboardState {
    std::array<uint8_t, 12> record{};
    std::array<char, 12> title{};

    static DashboardState of(const uint8_t* record12, const char* title12);
    bool operator==(const DashboardState& other) const {
        return record == other.record && title == other.title;
    }
    bool operator!=(const DashboardState& other) const { return !(*this == other); }
};

class EditHistory {
public:
    static constexpr size_t defaultLimit = 200;
    static constexpr double defaultMergeSeconds = 1.0;

    explicit EditHistory(size_t limit = defaultLimit, double mergeSeconds = defaultMergeSeconds);

    // The Dashboard as it stands, without a step (start-up); clears both lists.
    void start(const DashboardState& now);
    const DashboardState& current() const { return current_; }

    // The Dashboard after a change. A state equal to the current one adds
    // nothing. A change made with the same gesture (a control held under the
    // keyboard or the wheel; 0 for none) within mergeSeconds of the last one
    // continues that step instead of adding one; a step that comes back to
    // where it started disappears. Any new step empties the redo list.
    // Returns whether the history changed.
    bool record(const DashboardState& now, uintptr_t gesture = 0, double seconds = 0);

    // An earlier Dashboard (the one the program was left with last time)
    // placed under every step, so that undoing everything reaches it. False
    // when it equals what undo would reach already.
    bool offerEarlier(const DashboardState& earlier);

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    size_t undoCount() const { return undo_.size(); }
    size_t redoCount() const { return redo_.size(); }
    // Steps back or forth; returns the state to show, or nothing.
    std::optional<DashboardState> undo();
    std::optional<DashboardState> redo();

    size_t limit() const { return limit_; }

private:
    void closeGesture() { gesture_ = 0; }
    size_t limit_;
    double mergeSeconds_;
    DashboardState current_;
    std::deque<DashboardState> undo_;       // oldest first
    std::deque<DashboardState> redo_;       // next redo last
    uintptr_t gesture_ = 0;                 // gesture the newest step may continue
    double gestureSeconds_ = 0;
};

// What each of the pedal's presets was last known to hold (read, written,
// restored), against which the Dashboard counts as edited.
class PedalPresets {
public:
    static constexpr int slots = 8;
    void holds(int preset, const DashboardState& state);
    // A store into the preset went wrong: it may hold a damaged copy, which
    // no Dashboard matches, until it is read or written again. The mark
    // belongs to the pedal: it outlasts a Connect or a re-plugging.
    void damaged(int preset);
    // A pedal was connected, another one or the same again (by its serial
    // number): nothing is known of what its presets hold until they are
    // read, but the presets marked damaged on it are marked again.
    void connected(const std::string& serial);
    // Known and different: the Dashboard shows something the preset does
    // not hold. A preset never read or written gives no verdict (false); a
    // damaged one always differs.
    bool edited(int preset, const DashboardState& dashboard) const;
    bool known(int preset) const;

    // The damage marks of every pedal, for the file that keeps them between
    // runs: a marker line, then one line per pedal with a mark, its serial
    // number and eight '0' or '1' ("VP000001 00100000").
    std::string encodeMarks() const;
    // Takes the marks such a text holds (those of the pedal connected now
    // too); anything else is refused: false, nothing changed.
    bool restoreMarks(const std::string& text);

private:
    std::array<std::optional<DashboardState>, slots> held_{};
    std::array<bool, slots> damaged_{};     // of the pedal connected now
    std::string serial_;
    std::map<std::string, std::array<bool, slots>> damagedOf_;   // by serial number
};

// The small file that keeps the Dashboard the program was left with: a
// marker, the record and the title. decode refuses anything else.
constexpr size_t lastDashboardSize = 4 + 12 + 12;
std::string encodeLastDashboard(const DashboardState& state);
std::optional<DashboardState> decodeLastDashboard(const uint8_t* bytes, size_t size);

}  // namespace edits
