// Every alert, message, question, pop-up menu and file chooser of the program
// goes through here, so tests can record the texts and give the answers.
// Without a handler installed the toolkit's own dialogs are shown.
#pragma once

#include <string>
#include <vector>

class Fl_Native_File_Chooser;
struct Fl_Menu_Item;

namespace dialogs {

// What a chooser was asked to show, for the handler to check.
struct ChooserRequest {
    std::string title;
    std::string filter;
    std::string directory;
    int type = 0;                   // Fl_Native_File_Chooser::Type
    std::string fileName;           // the name a save proposes
    bool save = false;
    bool multiple = false;          // an open that may pick several files
};

class Handler {
public:
    virtual ~Handler() = default;
    virtual void alert(const std::string& text) = 0;
    virtual void message(const std::string& text) = 0;
    // Returns 0, 1 or 2: the index of the button chosen (b0 is "Cancel" by convention).
    virtual int choice(const std::string& question, const char* b0, const char* b1, const char* b2) = 0;
    // Returns 0 with the picked paths, 1 when cancelled, -1 on error.
    virtual int chooseFiles(const ChooserRequest& request, std::vector<std::string>& picked) = 0;
    // Returns the picked item of a pop-up menu, or nullptr for none.
    virtual const Fl_Menu_Item* popup(const Fl_Menu_Item* items, int x, int y) = 0;
};

// Installs a handler (nullptr restores the toolkit's dialogs). Not owned.
void setHandler(Handler* handler);

// printf-style, as fl_alert and fl_message take them.
void alert(const char* format, ...) __attribute__((format(printf, 1, 2)));
void message(const char* format, ...) __attribute__((format(printf, 1, 2)));
int choice(const char* question, const char* b0, const char* b1, const char* b2);

// Shows the chooser; the result is what Fl_Native_File_Chooser::show() gives
// (0 picked, 1 cancelled, -1 error); on 0 the chosen paths are in picked.
int showChooser(Fl_Native_File_Chooser& chooser, std::vector<std::string>& picked);

// The same for a chooser described by the request alone (one file, to open
// or, with request.save, to save; the toolkit asks nothing about replacing).
int choose(const ChooserRequest& request, std::vector<std::string>& picked);

const Fl_Menu_Item* popup(const Fl_Menu_Item* items, int x, int y);

}  // namespace dialogs
