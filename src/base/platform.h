// The operating-system services the program uses: folders, environment, the
// desktop folder, web pages, processes, signals and interrupts, fonts. Every
// difference between the systems is answered here (and, for files, in
// base/files.h), so no other file branches on the system. All but openUri and
// the two font functions are plain C++ (orvella_base_files, for orvella-cli
// too); those need the toolkit (orvella_base).
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// Called first by every program's main, before anything else is opened:
// standard input, output and error that were closed are opened on the null
// device, so that no file the program opens later takes their number (and
// receives what was meant for the terminal). They are opened the other way
// round (input for writing, outputs for reading), so that using a stream
// that was closed still fails as it did: a result printed to a closed
// standard output is a failed write, never silently dropped.
void keepStandardStreams();

// The width in columns of the terminal a stream writes to; 0 when it is no
// terminal or does not tell.
int terminalColumns(std::FILE* stream);

// True only for an existing directory (a plain file of that name is absent).
bool folderExists(const std::string& path);
// Creates one folder level; true on success.
bool makeFolder(const std::string& path);
// Creates a folder and the folders above it; true when it exists afterwards.
bool makeFolders(const std::string& path);
// The value of an environment variable, "" when unset. HOMEDRIVE and
// USERPROFILE fall back to HOME when unset or empty, as a Linux home plays
// both roles (and to the account's home folder when HOME is unset or empty
// too).
std::string env(const char* name);
// Whether the variable itself is set (no fallback).
bool envSet(const char* name);
// Sets an environment variable for this process and its children.
bool setEnv(const char* name, const std::string& value);
// USERPROFILE/Desktop, or the USERPROFILE folder itself when it has no Desktop.
std::string desktopFolder();
// Opens a web page in the user's browser; false when no program to open it
// could be started (a browser that fails later is not seen).
bool openUri(const std::string& uri);
// The working directory, "" when it cannot be named.
std::string currentFolder();
// Makes path the working directory; true on success.
bool changeFolder(const std::string& path);
// The running program's own file (/proc/self/exe resolved), "" when unknown.
// On Windows this and currentFolder use '/' between folders, as the rest of
// the program does; the system takes either.
std::string executablePath();
// Renames from over to, replacing an existing to (which a plain rename does
// not do on Windows); false with errno set on failure.
bool replaceFile(const std::string& from, const std::string& to);

// A path as the user reads it (status log, messages, orvella-cli's output):
// with the system's own separator, '\\' on Windows, where the program itself
// keeps '/' between folders. Nothing else is changed.
std::string shownPath(const std::string& path);

#ifdef _WIN32
// Paths and texts are UTF-8 inside the program; the system's wide-character
// calls take UTF-16. Invalid input gives "".
std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& utf16);
#endif

// Whether the program was built for Windows: a few of its texts and
// pictures speak of the system.
constexpr bool isWindows() {
#ifdef _WIN32
    return true;
#else
    return false;
#endif
}

// A path as the system or a host program writes it, in the program's own
// form: on Windows '\\' becomes '/', elsewhere (where '\\' may be part of a
// name) it is left as it is. The counterpart of shownPath.
std::string fromSystemPath(const std::string& path);

// Whether the process of that number (one the system's process numbers can
// hold) runs; a process the user may not ask about (another user's) counts
// as running.
bool processAlive(long pid);

// A signal's way into the event loop: a pipe whose read end the loop watches
// and into which a signal handler writes a byte. openSignalPipe gives the
// read end (non-blocking, closed on exec), or -1 when none could be made or
// the toolkit's loop cannot watch one (Windows, where it watches sockets
// only). writeSignalPipe is safe in a signal handler and is false when no
// pipe is open (a full pipe still counts: the loop has bytes to read).
int openSignalPipe();
bool writeSignalPipe();
void drainSignalPipe();
void closeSignalPipe();

// Like openUri, these two need the toolkit (orvella_base).
// Whether the toolkit's Helvetica or Courier should be given the face family:
// the system has it itself (not a fallback) and the toolkit's own faces may
// have other metrics, as on Linux (asked of fontconfig). Windows' Arial and
// Courier New have the metrics the layout was measured with: false there.
bool preferFontFamily(const char* family);
// Makes the screen draw every text exactly as wide as fl_width measures it:
// Windows' GDI may place letters elsewhere (see platform_fonts.cpp); the
// toolkit elsewhere draws as it measures already.
void drawTextAsMeasured();

// --- Interrupts -------------------------------------------------------------
// Ctrl-C, a hang-up or a termination: SIGINT, SIGTERM and SIGHUP (on Windows
// Ctrl-C and Ctrl-Break, which reach a console program as SIGINT and SIGTERM).

// Installs the handler: an interrupt ends the program as the signal would,
// after `cleanUp` ran and the interrupt text (setInterruptText) went to
// standard error. `cleanUp` runs inside the signal handler: it may do only
// what is safe there.
void catchInterrupts(void (*cleanUp)());
// While deferred, the next interrupt is only noted (interrupted() tells it),
// for the work to stop at its next safe point; that ends the deferral, so a
// second interrupt ends the program.
void deferInterrupt(bool defer);
// Whether an interrupt arrived.
bool interrupted();
// What an interrupt that ends the program writes to standard error first
// (at most 255 bytes kept); "" for nothing.
void setInterruptText(const std::string& text);
// A write to a pipe whose reader is gone fails (EPIPE) instead of ending the
// program; Windows has no such signal.
void ignoreBrokenPipe();

}  // namespace platform
