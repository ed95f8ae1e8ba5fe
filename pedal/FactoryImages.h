// A pedal leaves the factory with a playable program in every preset. The
// virtual pedal composes those programs from each preset's parameter block
// with the editor's sound model and the core files of a bin folder.
#pragma once

#include <string>

#include "pedal/PedalState.h"

// Replaces every preset's image, and the image playing, with the program the
// sound model composes for its block. False (images untouched, message in
// error) when the bin folder's core files are missing or short.
bool composeFactoryImages(PedalState& state, const std::string& binDir, std::string& error);

// The folder holding a file ("." for a bare file name).
std::string folderOf(const std::string& path);
