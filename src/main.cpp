// Program entry: the shell does the work (shell/program.h).
#include "shell/program.h"

int main(int argc, char** argv) { return runProgram(argc, argv); }
