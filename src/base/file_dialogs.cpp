#include "base/file_dialogs.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

#include "base/dialogs.h"
#include "base/files.h"
#include "base/platform.h"

namespace filedialogs {
namespace {

std::string lastWavFolder;

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool endsWith(const std::string& text, const std::string& end) {
    if (text.size() < end.size()) return false;
    for (std::size_t i = 0; i < end.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - end.size() + i])) != end[i]) return false;
    return true;
}

void remember(Kind kind, const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (kind == Kind::Wav && slash != std::string::npos) lastWavFolder = path.substr(0, slash);
}

int show(Kind kind, const std::string& title, const std::string& fileName, bool save, bool multiple,
         std::vector<std::string>& picked) {
    dialogs::ChooserRequest request;
    request.title = title;
    request.filter = std::string(kind == Kind::Wav ? "WAV files\t" : "") + "*" + extension(kind);
    request.directory = startFolder(kind);
    request.fileName = fileName;
    request.save = save;
    request.multiple = multiple;
    return dialogs::choose(request, picked);
}

bool choose(Kind kind, const std::string& title, const std::string& fileName, bool save, std::string& path) {
    std::vector<std::string> picked;
    if (show(kind, title, fileName, save, false, picked) != 0 || picked.empty() || picked[0].empty()) return false;
    path = picked[0];
    if (save && !endsWith(path, extension(kind))) path += extension(kind);
    if (save && exists(path)) {
        const std::string question = "\"" + path + "\" already exists.\n\nReplace it?";
        if (dialogs::choice(files::doubleAtSigns(question).c_str(), "Cancel", "Replace", nullptr) != 1) return false;
    }
    remember(kind, path);
    return true;
}

}  // namespace

std::string startFolder(Kind kind) {
    if (kind == Kind::Wav) return lastWavFolder.empty() ? platform::env("USERPROFILE") : lastWavFolder;
    std::string folder = files::presetFolder(platform::env("HOMEDRIVE"));
    folder.pop_back();
    return folder;
}

const char* extension(Kind kind) {
    switch (kind) {
    case Kind::Preset: return ".lop";
    case Kind::Backup: return ".bkp";
    case Kind::Wav: break;
    }
    return ".wav";
}

bool openFile(Kind kind, const std::string& title, std::string& path) { return choose(kind, title, "", false, path); }

int openFiles(Kind kind, const std::string& title, std::vector<std::string>& paths, bool multiple) {
    const int shown = show(kind, title, "", false, multiple, paths);
    if (shown == 0 && !paths.empty()) remember(kind, paths[0]);
    return shown;
}

bool saveFile(Kind kind, const std::string& title, const std::string& fileName, std::string& path) {
    return choose(kind, title, fileName, true, path);
}

std::string failureText(const std::string& wording, const std::string& path, int error) {
    return wording + "\n\n  " + platform::shownPath(path) + "\n  " + std::strerror(error ? error : EIO);
}

}  // namespace filedialogs
