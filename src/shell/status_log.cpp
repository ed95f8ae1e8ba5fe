#include "base/files.h"
#include "shell/status_log.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Item.H>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "base/dialogs.h"
#include "base/file_dialogs.h"
#include "base/platform.h"

static void saveLog_cb(Fl_Widget*, void* data) { statuslog::saveLog(static_cast<TextBoard*>(data)); }

TextBoard::TextBoard(int x, int y, int w, int h, const char* label)
    : Fl_Text_Display(x, y, w, h, label), textBuffer(new Fl_Text_Buffer(0, 1024)) {
    buffer(textBuffer);
}

TextBoard::~TextBoard() {
    // Detach before deleting so the base destructor does not touch a freed buffer.
    buffer(nullptr);
    delete textBuffer;
}

int TextBoard::handle(int event) {
    if ((event == FL_PUSH || event == FL_RELEASE) && Fl::event_button() == FL_RIGHT_MOUSE) {
        if (event == FL_PUSH) {
            Fl_Menu_Item menu[] = {
                {"  < Save records to a log file >  ", 0, saveLog_cb, this, 0, 0, 0, 0, 0},
                {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
            };
            const Fl_Menu_Item* picked = dialogs::popup(menu, Fl::event_x(), Fl::event_y());
            if (picked && picked->callback()) picked->do_callback(this, picked->user_data());
        }
        return 1;
    }
    return Fl_Text_Display::handle(event);
}

int TextBoard::wholeLines() const {
    int lines = mMaxsize > 0 ? text_area.h / mMaxsize : 1;
    return lines > 0 ? lines : 1;
}

int TextBoard::lastLine() const {
    int length = textBuffer->length();
    if (length == 0) return 1;
    int breaks = count_lines(0, length, true);
    return textBuffer->byte_at(length - 1) == '\n' ? breaks : breaks + 1;
}

namespace statuslog {

std::string logFilePath(const std::string& folder, const struct tm& when) {
    char name[64];
    snprintf(name, sizeof name, "Orvella_Log_%02d-%02d-%04d_at_%02d.%02d.%02d.log", when.tm_mday,
             when.tm_mon + 1, when.tm_year + 1900, when.tm_hour, when.tm_min, when.tm_sec);
    return folder + "/" + name;
}

void saveLog(TextBoard* board) {
    time_t now = time(nullptr);
    struct tm when = *localtime(&now);
    std::string folder = platform::desktopFolder();
    std::string path = logFilePath(folder, when);

    Fl_Text_Buffer* buffer = board->textBuffer;
    char* text = buffer->text_range(0, buffer->length());
    int error = 0;
    bool ok = files::writeTextFile(path, text, &error);
    free(text);

    if (!ok) {
        dialogs::alert("%s", files::doubleAtSigns(filedialogs::failureText(
                                 "The status records could not be written to a log file.", path, error))
                                 .c_str());
        return;
    }
    if (folder == platform::env("USERPROFILE") + "/Desktop")
        dialogs::message(
            "Status records have been successfully written to a log file.\n\nFile location : Desktop");
    else
        dialogs::message(
            "Status records have been successfully written to a log file.\n\nFile location : %s",
            files::doubleAtSigns(platform::shownPath(folder)).c_str());
}

}  // namespace statuslog
