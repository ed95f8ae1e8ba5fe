#include "editor/EditHistory.h"

#include <cctype>
#include <cstring>

namespace edits {

namespace {
const char marker[4] = {'O', 'V', 'D', '1'};
}

DashboardState DashboardState::of(const uint8_t* record12, const char* title12) {
    DashboardState s;
    std::memcpy(s.record.data(), record12, s.record.size());
    std::memcpy(s.title.data(), title12, s.title.size());
    return s;
}

EditHistory::EditHistory(size_t limit, double mergeSeconds)
    : limit_(limit ? limit : 1), mergeSeconds_(mergeSeconds) {}

void EditHistory::start(const DashboardState& now) {
    current_ = now;
    undo_.clear();
    redo_.clear();
    closeGesture();
}

bool EditHistory::record(const DashboardState& now, uintptr_t gesture, double seconds) {
    // Only the gesture that made the newest step may continue it.
    const bool continues = gesture != 0 && gesture == gesture_ && !undo_.empty() &&
                           seconds >= gestureSeconds_ && seconds - gestureSeconds_ <= mergeSeconds_;
    if (now == current_) {
        if (continues) gestureSeconds_ = seconds;
        return false;
    }
    redo_.clear();
    gestureSeconds_ = seconds;
    if (continues) {
        current_ = now;
        // Back where the gesture began: the step has undone itself.
        if (undo_.back() == current_) {
            undo_.pop_back();
            closeGesture();
        }
        return true;
    }
    undo_.push_back(current_);
    if (undo_.size() > limit_) undo_.pop_front();
    current_ = now;
    gesture_ = gesture;
    return true;
}

bool EditHistory::offerEarlier(const DashboardState& earlier) {
    const DashboardState& oldest = undo_.empty() ? current_ : undo_.front();
    if (earlier == oldest) return false;
    if (undo_.size() >= limit_) return false;    // no room under a full history
    undo_.push_front(earlier);
    return true;
}

std::optional<DashboardState> EditHistory::undo() {
    closeGesture();
    if (undo_.empty()) return std::nullopt;
    redo_.push_back(current_);
    current_ = undo_.back();
    undo_.pop_back();
    return current_;
}

std::optional<DashboardState> EditHistory::redo() {
    closeGesture();
    if (redo_.empty()) return std::nullopt;
    undo_.push_back(current_);
    if (undo_.size() > limit_) undo_.pop_front();
    current_ = redo_.back();
    redo_.pop_back();
    return current_;
}

void PedalPresets::holds(int preset, const DashboardState& state) {
    if (preset < 0 || preset >= slots) return;
    held_[static_cast<size_t>(preset)] = state;
    damaged_[static_cast<size_t>(preset)] = false;
    damagedOf_[serial_] = damaged_;
}

void PedalPresets::damaged(int preset) {
    if (preset < 0 || preset >= slots) return;
    held_[static_cast<size_t>(preset)].reset();
    damaged_[static_cast<size_t>(preset)] = true;
    damagedOf_[serial_] = damaged_;
}

void PedalPresets::connected(const std::string& serial) {
    held_.fill(std::nullopt);
    serial_ = serial;
    damaged_ = damagedOf_[serial_];
}

bool PedalPresets::known(int preset) const {
    return preset >= 0 && preset < slots && held_[static_cast<size_t>(preset)].has_value();
}

bool PedalPresets::edited(int preset, const DashboardState& dashboard) const {
    if (preset < 0 || preset >= slots) return false;
    if (damaged_[static_cast<size_t>(preset)]) return true;
    return known(preset) && *held_[static_cast<size_t>(preset)] != dashboard;
}

namespace {
const char marksMarker[] = "OVM1\n";
// A serial number as the link reports it: 1 to 12 letters and digits. A
// pedal without one keeps its marks for the run only.
bool keptSerial(const std::string& serial) {
    if (serial.empty() || serial.size() > 12) return false;
    for (char c : serial)
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return true;
}
}  // namespace

std::string PedalPresets::encodeMarks() const {
    std::string text = marksMarker;
    for (const auto& pedal : damagedOf_) {
        std::string mask;
        for (bool damaged : pedal.second) mask += damaged ? '1' : '0';
        if (mask != std::string(slots, '0') && keptSerial(pedal.first)) text += pedal.first + " " + mask + "\n";
    }
    return text;
}

bool PedalPresets::restoreMarks(const std::string& text) {
    if (text.compare(0, sizeof marksMarker - 1, marksMarker) != 0) return false;
    std::map<std::string, std::array<bool, slots>> marks;
    size_t at = sizeof marksMarker - 1;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) return false;
        const std::string line = text.substr(at, end - at);
        const size_t space = line.find(' ');
        if (space == std::string::npos || !keptSerial(line.substr(0, space)) || line.size() != space + 1 + slots)
            return false;
        std::array<bool, slots> mask{};
        for (size_t i = 0; i < slots; ++i) {
            const char c = line[space + 1 + i];
            if (c != '0' && c != '1') return false;
            mask[i] = c == '1';
        }
        if (!marks.emplace(line.substr(0, space), mask).second) return false;
        at = end + 1;
    }
    damagedOf_ = marks;
    damaged_ = damagedOf_[serial_];
    return true;
}

std::string encodeLastDashboard(const DashboardState& state) {
    std::string bytes(marker, sizeof marker);
    bytes.append(reinterpret_cast<const char*>(state.record.data()), state.record.size());
    bytes.append(state.title.data(), state.title.size());
    return bytes;
}

std::optional<DashboardState> decodeLastDashboard(const uint8_t* bytes, size_t size) {
    if (!bytes || size != lastDashboardSize || std::memcmp(bytes, marker, sizeof marker) != 0) return std::nullopt;
    DashboardState s = DashboardState::of(bytes + 4, reinterpret_cast<const char*>(bytes + 16));
    for (char c : s.title)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) return std::nullopt;
    return s;
}

}  // namespace edits
