#include "base/printing_dialogs.h"

void PrintingDialogs::print(const char* kind, const std::string& text) {
    std::fprintf(out_, "%s: %s\n", kind, text.c_str());
    std::fflush(out_);
}

void PrintingDialogs::alert(const std::string& text) { print("alert", text); }

void PrintingDialogs::message(const std::string& text) { print("message", text); }

int PrintingDialogs::choice(const std::string& question, const char*, const char*, const char*) {
    print("choice", question);
    return 0;
}

int PrintingDialogs::chooseFiles(const dialogs::ChooserRequest& request, std::vector<std::string>&) {
    print("chooser", request.title);
    return 1;
}

const Fl_Menu_Item* PrintingDialogs::popup(const Fl_Menu_Item*, int, int) { return nullptr; }
