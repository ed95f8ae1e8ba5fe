// Test helper: builds the main window in the current directory, prints every
// dialog instead of showing it, then runs the Quit button's callback (or, with
// the argument "close", hides the window and lets the loop end).
#include <FL/Fl.H>
#include <FL/Fl_Menu_Item.H>

#include <cstdio>
#include <cstring>

#include "shell/Orvella.h"
#include "shell/dialogs.h"

namespace {

class PrintingDialogs : public dialogs::Handler {
public:
    void alert(const std::string& text) override { std::printf("alert: %s\n", text.c_str()); }
    void message(const std::string& text) override { std::printf("message: %s\n", text.c_str()); }
    int choice(const std::string& text, const char*, const char*, const char*) override {
        std::printf("choice: %s\n", text.c_str());
        return 0;
    }
    int chooseFiles(const dialogs::ChooserRequest&, std::vector<std::string>&) override { return 1; }
    const Fl_Menu_Item* popup(const Fl_Menu_Item*, int, int) override { return nullptr; }
};

}  // namespace

int main(int argc, char** argv) {
    PrintingDialogs printing;
    dialogs::setHandler(&printing);
    setvbuf(stdout, nullptr, _IONBF, 0);
    bool close = argc > 1 && std::strcmp(argv[1], "close") == 0;
    {
        Orvella window(830, 600, "Kestrova - Orvella 2.0.8");
        std::printf("constructed\n");
        if (close) {
            window.hide();
            int result = Fl::run();
            std::printf("loop ended %d\n", result);
            return result;
        }
        window.quitButton->do_callback();
        std::printf("still running after Quit\n");
    }
    return 3;
}
