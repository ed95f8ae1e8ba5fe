// openUri, a platform service that needs the toolkit: opening a web page.
#include "base/platform.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#else
#include <FL/filename.H>
#endif

namespace platform {

bool openUri(const std::string& uri) {
#ifdef _WIN32
    // The shell's "open" verb starts the user's browser; a value above 32 means it did.
    HINSTANCE result = ShellExecuteW(nullptr, L"open", widen(uri).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
#else
    char error[256];
    return fl_open_uri(uri.c_str(), error, sizeof error) != 0;
#endif
}

}  // namespace platform
