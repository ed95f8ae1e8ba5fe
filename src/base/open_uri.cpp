// The one platform service that needs the toolkit: opening a web page.
#include "base/platform.h"

#include <FL/filename.H>

namespace platform {

bool openUri(const std::string& uri) {
    char error[256];
    return fl_open_uri(uri.c_str(), error, sizeof error) != 0;
}

}  // namespace platform
