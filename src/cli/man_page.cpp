// Makes orvella-cli's manual page: the template's lines that name a section
// made from the command-line tables (".\" orvella-cli: commands", "options",
// "exit status") are replaced by it; the rest is copied as it is.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "base/program_info.h"
#include "cli/arguments.h"

int main(int argc, char** argv) {
    int answered = programinfo::answerHelpOrVersion(
        argc, argv, "orvella-cli-man-page",
        "Usage: orvella-cli-man-page TEMPLATE OUT\n"
        "Writes orvella-cli's manual page: TEMPLATE with its commands, options and\n"
        "exit status made from the program's command-line tables.\n");
    if (answered >= 0) return answered;
    if (argc != 3) {
        std::fprintf(stderr, "usage: orvella-cli-man-page TEMPLATE OUT\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "orvella-cli-man-page: cannot read %s\n", argv[1]);
        return 1;
    }
    std::ostringstream page;
    int filled = 0;
    for (std::string line; std::getline(in, line);) {
        const std::string marker = ".\\\" orvella-cli: ";
        if (line.compare(0, marker.size(), marker) == 0) {
            const std::string section = line.substr(marker.size());
            if (section == "commands") page << cli::manCommands();
            else if (section == "options") page << cli::manOptions();
            else if (section == "exit status") page << cli::manExitStatus();
            else {
                std::fprintf(stderr, "orvella-cli-man-page: no section '%s'\n", section.c_str());
                return 1;
            }
            ++filled;
            continue;
        }
        page << line << '\n';
    }
    if (filled != 3) {
        std::fprintf(stderr, "orvella-cli-man-page: %s names %d of the 3 sections\n", argv[1], filled);
        return 1;
    }
    std::ofstream out(argv[2]);
    out << page.str();
    out.close();
    if (!out) {
        std::fprintf(stderr, "orvella-cli-man-page: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
