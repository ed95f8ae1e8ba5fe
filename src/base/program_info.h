// How every program of the project starts: its standard streams made sure of
// (platform::keepStandardStreams), then --help and --version answered on
// standard output, exit status 0, before anything else on its command line
// is looked at. Every main calls answerHelpOrVersion first (orvella-cli,
// which reads its own command line, calls keepStandardStreams itself). The
// build gives each program ORVELLA_VERSION and the platform layer
// (cmake/Programs.cmake).
#pragma once

#include <cstdio>
#include <cstring>

#include "base/platform.h"

#ifndef ORVELLA_VERSION
#error "a program needs ORVELLA_VERSION (see cmake/Programs.cmake)"
#endif

namespace programinfo {

// When the arguments hold --help or -h (help wins) or --version, prints the
// usage text or "NAME VERSION" and returns the status to exit with: 0, or 1
// when standard output cannot take it. Otherwise returns -1 and prints
// nothing. Arguments after "--" are not options.
inline int answerHelpOrVersion(int argc, char** argv, const char* name, const char* usage) {
    platform::keepStandardStreams();
    bool help = false, version = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        help = help || std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
        version = version || std::strcmp(argv[i], "--version") == 0;
    }
    if (help) std::fputs(usage, stdout);
    else if (version) std::printf("%s %s\n", name, ORVELLA_VERSION);
    else return -1;
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

}  // namespace programinfo
