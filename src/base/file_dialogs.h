// The one way a file is chosen to open or save: every chooser starts in the
// folder its kind of file lives in, a saved name gets its kind's extension
// before the question about replacing an existing file, and a file that
// cannot be written is reported with its path and the reason. Everything
// shown goes through the dialog seam; no toolkit here.
#pragma once

#include <string>
#include <vector>

namespace filedialogs {

enum class Kind {
    Preset,     // .lop, in the presets folder
    Backup,     // .bkp, in the presets folder
    Wav,        // .wav, in the folder of the last WAV file chosen, else the home folder
};

// The folder a chooser for this kind starts in (no final '/').
std::string startFolder(Kind kind);
const char* extension(Kind kind);          // ".lop", ".bkp", ".wav"

// Opens a chooser; true with the path picked. A save gets the extension
// appended when the name lacks it, and a file already there is replaced
// only when the user says so (else nothing is picked). fileName is the name
// a save proposes.
bool openFile(Kind kind, const std::string& title, std::string& path);
// Several files, or one; gives what the seam gives: 0 picked (paths holds
// them), 1 cancelled, -1 the chooser failed.
int openFiles(Kind kind, const std::string& title, std::vector<std::string>& paths, bool multiple);
bool saveFile(Kind kind, const std::string& title, const std::string& fileName, std::string& path);

// An alert's text for a file that could not be written: the editor's own
// wording, then the path and the reason (errno).
std::string failureText(const std::string& wording, const std::string& path, int error);

}  // namespace filedialogs
