// The files a command reads and writes. A file of "-" is standard input
// where one is read (refused when it is a terminal) and standard output where
// one is written; "./-" is a file of that name. Written files go through
// files::AtomicFile: replaced only once complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/files.h"
#include "cli/session.h"
#include "link/Protocol.h"
#include "presets/PresetFiles.h"

namespace cli {

// The reason of a failed file operation, from its errno.
std::string errnoText(int error);

// Whether a file operand or option value names the standard stream.
bool isStdio(const std::string& path);
// An input file's name in messages: "standard input" for "-".
std::string shownName(const std::string& path);

// A whole input file, or standard input for "-"; false with *error set
// (ENOTTY for standard input on a terminal, EFBIG beyond `limit`).
bool readInput(const std::string& path, std::vector<uint8_t>& bytes, int* error, size_t limit);
// The one line for a failed readInput.
std::string readError(const std::string& path, int error);

// A backup's bank from a file or standard input: exactly 192 bytes.
presetfiles::BankStatus readBankInput(const std::string& path, uint8_t bank[protocol::BankSize], long& size, int& error);
// A local preset file, refused with the reason when it cannot be one.
int readLop(Session& s, const std::string& path, presetfiles::LocalPreset& preset);

// Where a command's file goes: an atomic file, or the results stream for "-".
class Output {
public:
    Output(Session& s, const std::string& path);
    bool isOpen() const { return !file_ || file_->isOpen(); }
    int error() const { return file_ ? file_->error() : error_; }
    // Writes everything and commits (or flushes standard output).
    bool put(const void* data, size_t size);
    // Whether the data goes to standard output ("-", /dev/stdout, a link to
    // the file standard output is): the result line then goes to standard error.
    bool isStdout() const;
    std::string name() const;
    // The result line: a note on standard error when the data went to
    // standard output, the result otherwise.
    void tell(const std::string& line);
    files::AtomicFile* file() { return file_.get(); }

private:
    Session& s_;
    std::string path_;
    std::unique_ptr<files::AtomicFile> file_;
    int error_ = 0;
};

}  // namespace cli
