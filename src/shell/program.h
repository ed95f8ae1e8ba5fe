// Program entry's work, here so that tests run the very wiring main() runs.
#pragma once

#include <memory>

class Orvella;

// The main window as the program runs it (--service: the Menu offers
// calibration). It wires itself: its buttons, its close, the end of the
// desktop session.
std::unique_ptr<Orvella> openMainWindow(bool service);

// The whole program: --help and --version, the data folder, the dialog mode
// (ORVELLA_DIALOGS=print), the main window and the toolkit's loop; the exit
// status.
int runProgram(int argc, char** argv);
