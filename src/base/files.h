// File helpers every feature shares: the program's data folders, whole-file
// reads, writes that replace a file only once complete, and the escaping a
// toolkit message box needs. No toolkit here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace files {

// HOMEDRIVE/Kestrova/Orvella/ and its preset folder, both with a final '/'.
std::string dataFolder(const std::string& homeDrive);
std::string presetFolder(const std::string& homeDrive);

// Whole-file read; false (errno kept in *err) when it cannot be opened or
// read, or (EFBIG) when it holds more than limit bytes.
bool readFile(const std::string& path, std::vector<uint8_t>& out, int* err = nullptr, size_t limit = SIZE_MAX);
// The same from an open stream (standard input, say), read to its end.
bool readStream(std::FILE* f, std::vector<uint8_t>& out, int* err = nullptr, size_t limit = SIZE_MAX);

// Writes into a temporary file beside the target and renames it over the
// target only on commit, so the old file survives any failure on the way.
// The target is the file the path leads to: a symbolic link is followed to
// the file it names, which is replaced, not the link. An existing file keeps
// its permission bits (and, for root, its owner and group). A device node, a
// FIFO or a socket cannot be replaced by renaming: the data is kept in
// memory and written straight to it on commit, as it is to /dev/stdout,
// /dev/stderr and /dev/fd/N (the process's own descriptor, whatever it is).
class AtomicFile {
public:
    explicit AtomicFile(const std::string& path);
    ~AtomicFile();                          // discards an uncommitted file
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool isOpen() const { return file_ != nullptr || directOpen_; }
    bool write(const void* data, size_t size);
    bool commit();                          // flush, sync, close, rename
    // Like commit, but never replaces a file: the data goes to the path, or,
    // when that exists, to the first free "name_2.ext", "name_3.ext", ...;
    // written names the file made.
    bool commitNew(std::string& written);
    void discard();
    int error() const { return error_; }    // errno of the first failure

    // The file a commit replaces or writes: the path with its links followed.
    const std::string& target() const { return target_; }

private:
    bool finish();                          // flush, sync, close; removes the temporary file on failure
    bool writeDirect();                     // a device or FIFO: the kept bytes, straight to it
    void dropTemp();                        // removes the temporary file and forgets it
    std::string path_, target_, temp_;
    std::FILE* file_ = nullptr;
    bool direct_ = false;                   // target is not a regular file
    int streamFd_ = -1;                     // /dev/stdout and kin: the descriptor it names
    bool directOpen_ = false;
    std::vector<uint8_t> kept_;             // direct_: what commit writes
    int error_ = 0;
};

// The path a chain of symbolic links ends in (the path itself when it is no
// link); the last name need not exist. Gives up after 40 links (ELOOP).
std::string followLinks(const std::string& path, int* err = nullptr);

// Removes every temporary file an AtomicFile of this process has open. Safe
// in a signal handler (it only calls unlink), so an interrupted program
// leaves none behind.
void removeTemporaryFiles();
// path with "_n" before its extension (n of 2 or more; path itself for 1).
std::string numberedPath(const std::string& path, int n);
bool writeFileAtomically(const std::string& path, const void* data, size_t size, int* err = nullptr);
// A text file the user opens in a plain editor (a saved status log): written
// as writeFileAtomically does, with the system's line ends, "\r\n" on
// Windows ("\n" in text may already be "\r\n"; none is doubled).
bool writeTextFile(const std::string& path, const std::string& text, int* err = nullptr);

// Text for a toolkit message box, which reads "@" as the start of a symbol.
std::string doubleAtSigns(const std::string& text);

// Whether two paths name the same existing file (links and "." resolved).
bool sameFile(const std::string& a, const std::string& b);

}  // namespace files
