#include "cli/command_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/platform.h"
#include "cli/decode.h"

namespace cli {

std::string errnoText(int error) { return error ? std::strerror(error) : "unknown error"; }

bool isStdio(const std::string& path) { return isStandardStream(path); }
std::string shownName(const std::string& path) { return isStdio(path) ? "standard input" : printable(platform::shownPath(path)); }

bool readInput(const std::string& path, std::vector<uint8_t>& bytes, int* error, size_t limit) {
    if (!isStdio(path)) return files::readFile(path, bytes, error, limit);
    if (isatty(STDIN_FILENO) == 1) {
        if (error) *error = ENOTTY;
        return false;
    }
    return files::readStream(stdin, bytes, error, limit);
}

std::string readError(const std::string& path, int error) {
    if (isStdio(path) && error == ENOTTY) return "standard input is a terminal: pipe the file in, or name it";
    return "cannot read " + shownName(path) + ": " + errnoText(error);
}

presetfiles::BankStatus readBankInput(const std::string& path, uint8_t bank[protocol::BankSize], long& size, int& error) {
    if (!isStdio(path)) return presetfiles::readBank(path, bank, &size, &error);
    std::vector<uint8_t> bytes;
    const size_t enough = 1 << 20;     // to tell its size, up to a point
    if (!readInput(path, bytes, &error, enough) && error != EFBIG) return presetfiles::BankStatus::CannotOpen;
    size = static_cast<long>(bytes.size());
    if (bytes.size() != protocol::BankSize) return presetfiles::BankStatus::WrongSize;
    std::memcpy(bank, bytes.data(), protocol::BankSize);
    return presetfiles::BankStatus::Ok;
}

int readLop(Session& s, const std::string& path, presetfiles::LocalPreset& preset) {
    std::vector<uint8_t> bytes;
    int error = 0;
    if (!readInput(path, bytes, &error, presetfiles::MaxLopSize))
        return s.fail(ExitFile, error == EFBIG ? shownName(path) + " is too large to be a local preset file"
                                               : readError(path, error));
    std::string why;
    switch (presetfiles::decodeLop(bytes, preset, &why)) {
    case presetfiles::LopStatus::Ok: return ExitOk;
    case presetfiles::LopStatus::BadPreset:
        return s.fail(ExitFile, shownName(path) + " holds a preset no pedal holds: " + why + "; nothing was used");
    case presetfiles::LopStatus::NoName: return s.fail(ExitFile, shownName(path) + " is not a local preset file: it has no name line");
    case presetfiles::LopStatus::BadName:
        return s.fail(ExitFile, shownName(path) + " is not a local preset file: its name line cannot be a preset name");
    case presetfiles::LopStatus::LongName:
        return s.fail(ExitFile, shownName(path) + " is not a usable local preset file: its name is longer than " +
                                    std::to_string(presetfiles::MaxNameLength) + " characters");
    case presetfiles::LopStatus::TooShort:
        return s.fail(ExitFile, shownName(path) + " is too short for a local preset file (name, line feed, 12-byte record, 12-byte title)");
    }
    return ExitOk;
}

Output::Output(Session& s, const std::string& path) : s_(s), path_(path) {
    if (!isStdio(path)) file_.reset(new files::AtomicFile(path));
}

bool Output::put(const void* data, size_t size) {
    if (file_) return file_->write(data, size) && file_->commit();
    errno = 0;
    bool ok = std::fwrite(data, 1, size, s_.out) == size && std::fflush(s_.out) == 0;
    if (!ok) error_ = errno ? errno : EIO;
    return ok;
}

bool Output::isStdout() const {
    if (!file_) return true;
    struct stat named, out;
    return stat(path_.c_str(), &named) == 0 && fstat(STDOUT_FILENO, &out) == 0 && named.st_dev == out.st_dev &&
           named.st_ino == out.st_ino;
}

std::string Output::name() const { return file_ ? printable(platform::shownPath(path_)) : "standard output"; }

void Output::tell(const std::string& line) {
    if (isStdout()) s_.note(line);
    else s_.result(line + "\n");
}

}  // namespace cli
