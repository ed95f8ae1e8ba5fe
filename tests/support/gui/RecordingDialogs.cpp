#include "tests/support/gui/RecordingDialogs.h"

#include <FL/Fl_Menu_Item.H>

namespace gui {

RecordingDialogs::RecordingDialogs() { dialogs::setHandler(this); }
RecordingDialogs::~RecordingDialogs() { dialogs::setHandler(nullptr); }

std::vector<std::string> RecordingDialogs::texts(Kind kind) const {
    std::vector<std::string> result;
    for (const Entry& e : entries)
        if (e.kind == kind) result.push_back(e.text);
    return result;
}

int RecordingDialogs::count(Kind kind) const { return static_cast<int>(texts(kind).size()); }

void RecordingDialogs::clear() {
    entries.clear();
    chooserRequests.clear();
    popupLabels.clear();
}

void RecordingDialogs::alert(const std::string& text) {
    static const std::string coreFiles = "One or more components required to run this software";
    if (text.compare(0, coreFiles.size(), coreFiles) == 0) {
        ++coreFileAlerts;
        if (!recordCoreFileAlert) return;
    }
    entries.push_back({Alert, text});
}
void RecordingDialogs::message(const std::string& text) { entries.push_back({Message, text}); }

int RecordingDialogs::choice(const std::string& question, const char*, const char*, const char*) {
    entries.push_back({Choice, question});
    if (choiceAnswers.empty()) return 0;
    int answer = choiceAnswers.front();
    choiceAnswers.pop_front();
    return answer;
}

int RecordingDialogs::chooseFiles(const dialogs::ChooserRequest& request, std::vector<std::string>& picked) {
    entries.push_back({Chooser, request.title});
    chooserRequests.push_back(request);
    picked.clear();
    if (chooserAnswers.empty()) return 1;
    picked = chooserAnswers.front();
    chooserAnswers.pop_front();
    return picked.empty() ? 1 : 0;
}

const Fl_Menu_Item* RecordingDialogs::popup(const Fl_Menu_Item* items, int, int) {
    std::vector<std::string> labels;
    // Flat menus only: walk the array up to its terminator.
    for (const Fl_Menu_Item* item = items; item && item->text; ++item) labels.push_back(item->text);
    popupLabels.push_back(labels);
    entries.push_back({Popup, labels.empty() ? std::string() : labels.front()});
    if (popupPicks.empty()) return nullptr;
    std::string wanted = popupPicks.front();
    popupPicks.pop_front();
    for (const Fl_Menu_Item* item = items; item && item->text; ++item)
        if (wanted == item->text) return item->active() ? item : nullptr;
    return nullptr;
}

}  // namespace gui
