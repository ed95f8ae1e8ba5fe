// A dialogs::Handler for tests: records every alert, message, question,
// chooser request and pop-up menu in order, and answers questions, choosers
// and pop-ups from queues the test fills. Installed for its lifetime.
#pragma once

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "base/dialogs.h"

namespace gui {

class RecordingDialogs : public dialogs::Handler {
public:
    enum Kind { Alert, Message, Choice, Chooser, Popup };
    struct Entry {
        Kind kind;
        std::string text;               // alert/message/question text, chooser title, first pop-up label
    };

    RecordingDialogs();
    ~RecordingDialogs() override;

    // Answers, used in order; with an empty queue a question gets 0 ("Cancel"),
    // a chooser is cancelled and a pop-up picks nothing.
    std::deque<int> choiceAnswers;
    std::deque<std::vector<std::string>> chooserAnswers;   // an empty vector = cancel
    std::deque<std::string> popupPicks;                    // item label to pick, "" = none

    // The start-up alert about missing core files ends the program; under a
    // TestEnvironment it does not, and until data/bin holds the generated core
    // files every window would raise it. It is kept out of `entries` (only
    // counted) unless a test asks to see it.
    bool recordCoreFileAlert = false;
    int coreFileAlerts = 0;

    std::vector<Entry> entries;
    std::vector<dialogs::ChooserRequest> chooserRequests;
    std::vector<std::vector<std::string>> popupLabels;     // every label of each pop-up shown

    std::vector<std::string> texts(Kind kind) const;
    int count(Kind kind) const;
    void clear();

    void alert(const std::string& text) override;
    void message(const std::string& text) override;
    int choice(const std::string& question, const char* b0, const char* b1, const char* b2) override;
    int chooseFiles(const dialogs::ChooserRequest& request, std::vector<std::string>& picked) override;
    const Fl_Menu_Item* popup(const Fl_Menu_Item* items, int x, int y) override;
};

}  // namespace gui
