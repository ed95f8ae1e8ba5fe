// Draws one page of the guide with cairo: its words laid out in the guide's
// look, the pieces of the real window it shows (with numbered markers), and
// the two signal-flow diagrams.
#pragma once

#include <cairo.h>

#include <map>
#include <string>

#include "tools/guide/GuideSource.h"
#include "tools/guide/WindowShots.h"

namespace guide {

// Draws page onto a new surface of the size its file name states. Fails
// (false, reason in error) when text runs off the page or under a picture
// that lies over this one on the guide's page.
bool drawPage(const Page& page, const std::map<std::string, Shot>& shots, cairo_surface_t** surface,
              std::string& error);

}  // namespace guide
