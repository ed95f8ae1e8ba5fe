#include "shell/program.h"

#include <FL/Fl.H>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/dialogs.h"
#include "base/printing_dialogs.h"
#include "base/program_info.h"
#include "shell/main_window.h"
#include "shell/run_folder.h"

static const char* const usage =
    "Usage: orvella [--service] [--help | --version]\n"
    "Editor and librarian of the Kestrova Drevani pedal (a desktop program).\n"
    "\n"
    "It reads its data folders \"bin\" and \"img\" from the working directory when\n"
    "they are there, else from the installed data folder beside the program\n"
    "(" ORVELLA_DATA_FROM_BIN " from its own folder). Presets live under\n"
    "$HOMEDRIVE/Kestrova/Orvella/presets/ ($HOME when HOMEDRIVE is unset).\n"
    "\n"
    "  --service  the Menu also offers \"Oscillator Calibration...\" (a service tool\n"
    "             that sets and burns the pedal's oscillator calibration value)\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "Environment: ORVELLA_DIALOGS=print prints every alert, message and question\n"
    "to standard error instead of showing it and answers \"Cancel\" (unattended runs).\n";

std::unique_ptr<Orvella> openMainWindow(bool service) {
    std::unique_ptr<Orvella> window(new Orvella(830, 600, "Kestrova - Orvella " ORVELLA_VERSION));
    window->setServiceMode(service);
    return window;
}

int runProgram(int argc, char** argv) {
    int answered = programinfo::answerHelpOrVersion(argc, argv, "orvella", usage);
    if (answered >= 0) return answered;
    bool service = false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--service") == 0) service = true;
    std::string dataFolder = runfolder::use();

    PrintingDialogs printing(stderr);
    const char* dialogMode = std::getenv("ORVELLA_DIALOGS");
    bool unattended = dialogMode && std::strcmp(dialogMode, "print") == 0;
    if (unattended) dialogs::setHandler(&printing);

    std::unique_ptr<Orvella> window = openMainWindow(service);
    // Reached only when the core files were found (else the constructor ends
    // the process): unattended runs learn here that start-up is complete.
    if (unattended) std::fprintf(stderr, "started: data from %s\n", dataFolder.c_str());
    int status = Fl::run();
    window.reset();
    dialogs::setHandler(nullptr);
    return status;
}
