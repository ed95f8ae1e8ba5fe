#include "base/dialogs.h"

#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/fl_ask.H>

#include <cstdarg>
#include <cstdio>

namespace dialogs {
namespace {

Handler* current = nullptr;

std::string formatText(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0) return std::string();
    std::string text(static_cast<size_t>(n) + 1, '\0');
    vsnprintf(&text[0], text.size(), format, args);
    text.resize(static_cast<size_t>(n));
    return text;
}

}  // namespace

void setHandler(Handler* handler) { current = handler; }

void alert(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = formatText(format, args);
    va_end(args);
    if (current)
        current->alert(text);
    else
        fl_alert("%s", text.c_str());
}

void message(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = formatText(format, args);
    va_end(args);
    if (current)
        current->message(text);
    else
        fl_message("%s", text.c_str());
}

int choice(const char* question, const char* b0, const char* b1, const char* b2) {
    if (current) return current->choice(question, b0, b1, b2);
    return fl_choice("%s", b0, b1, b2, question);
}

int showChooser(Fl_Native_File_Chooser& chooser, std::vector<std::string>& picked) {
    picked.clear();
    if (current) {
        ChooserRequest request;
        request.title = chooser.title() ? chooser.title() : "";
        request.filter = chooser.filter() ? chooser.filter() : "";
        request.directory = chooser.directory() ? chooser.directory() : "";
        request.type = chooser.type();
        return current->chooseFiles(request, picked);
    }
    int result = chooser.show();
    if (result == 0)
        for (int i = 0; i < chooser.count(); ++i)
            if (chooser.filename(i)) picked.emplace_back(chooser.filename(i));
    return result;
}

int choose(const ChooserRequest& request, std::vector<std::string>& picked) {
    picked.clear();
    const int type = request.save       ? Fl_Native_File_Chooser::BROWSE_SAVE_FILE
                     : request.multiple ? Fl_Native_File_Chooser::BROWSE_MULTI_FILE
                                        : Fl_Native_File_Chooser::BROWSE_FILE;
    if (current) {
        ChooserRequest typed = request;
        typed.type = type;
        return current->chooseFiles(typed, picked);
    }
    Fl_Native_File_Chooser chooser(type);
    chooser.title(request.title.c_str());
    chooser.filter(request.filter.c_str());
    chooser.directory(request.directory.c_str());
    if (request.save && !request.fileName.empty()) chooser.preset_file(request.fileName.c_str());
    return showChooser(chooser, picked);
}

const Fl_Menu_Item* popup(const Fl_Menu_Item* items, int x, int y) {
    if (current) return current->popup(items, x, y);
    return items->popup(x, y);
}

}  // namespace dialogs
