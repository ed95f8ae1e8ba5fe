// Builds every file of the run-time "bin" folder from the sources in dsp/:
// the five program images (.fvc, assembled), the three speaker sets (.coe,
// designed) and the factory bank (.fap). Output is byte-for-byte repeatable.
#pragma once

#include <string>

namespace datagen {

// Writes all files into outDir (which must exist), each through a temporary
// file and a rename, once every source has been read and built. Returns false
// with a message on the first problem; a faulty source writes nothing.
bool generate(const std::string& sourceDir, const std::string& outDir, std::string& error);

bool readText(const std::string& path, std::string& text, std::string& error);

}  // namespace datagen
