// A dialog handler that shows nothing: every alert, message and question is
// printed as one "kind: text" line, questions are answered with their first
// button ("Cancel"), choosers are cancelled and pop-up menus pick nothing.
// It lets the program run unattended (ORVELLA_DIALOGS=print) and serves the
// test probes that run the real window in a process of its own.
#pragma once

#include <cstdio>

#include "base/dialogs.h"

class PrintingDialogs : public dialogs::Handler {
public:
    explicit PrintingDialogs(FILE* out) : out_(out) {}
    void alert(const std::string& text) override;
    void message(const std::string& text) override;
    int choice(const std::string& question, const char* b0, const char* b1, const char* b2) override;
    int chooseFiles(const dialogs::ChooserRequest& request, std::vector<std::string>& picked) override;
    const Fl_Menu_Item* popup(const Fl_Menu_Item* items, int x, int y) override;

private:
    void print(const char* kind, const std::string& text);
    FILE* out_;
};
