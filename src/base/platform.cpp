#include "base/platform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <windows.h>
#include <shlobj.h>
#else
#include <fcntl.h>
#include <limits.h>
#include <sys/ioctl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

#ifdef _WIN32
std::wstring widen(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

std::string narrow(const std::wstring& utf16) {
    if (utf16.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), &out[0], n, nullptr, nullptr);
    return out;
}

// The program writes '/' between folders everywhere; so do the paths it gets.
static std::string forwardSlashes(std::string path) {
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

// A folder the shell knows (CSIDL_PROFILE, CSIDL_DESKTOPDIRECTORY), "" when unknown.
static std::string shellFolder(int csidl) {
    wchar_t buffer[MAX_PATH];
    if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) return std::string();
    return forwardSlashes(narrow(buffer));
}
#endif

void keepStandardStreams() {
#ifdef _WIN32
    // A program started without a console or with a stream closed has no
    // descriptor behind it; "NUL" takes its place the other way round.
    const struct {
        FILE* stream;
        const char* mode;
    } streams[] = {{stdin, "w"}, {stdout, "r"}, {stderr, "r"}};
    for (const auto& s : streams) {
        int fd = _fileno(s.stream);
        if (fd < 0 || _get_osfhandle(fd) == -1) {
            FILE* reopened = std::freopen("NUL", s.mode, s.stream);
            (void)reopened;
        }
    }
#else
    // open() takes the lowest free number, so in this order each closed
    // descriptor gets its own.
    const int modes[] = {O_WRONLY, O_RDONLY, O_RDONLY};
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        int opened = open("/dev/null", modes[fd]);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
#endif
}

int terminalColumns(std::FILE* stream) {
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info;
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(handle, &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
#else
    struct winsize size;
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
#endif
}

bool folderExists(const std::string& path) {
#ifdef _WIN32
    DWORD attributes = GetFileAttributesW(widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
#endif
}

bool makeFolder(const std::string& path) {
#ifdef _WIN32
    return _wmkdir(widen(path).c_str()) == 0;
#else
    return mkdir(path.c_str(), 0755) == 0;
#endif
}

bool makeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (!part.empty() && !folderExists(part) && !makeFolder(part) && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    return folderExists(path);
}

#ifdef _WIN32
// The variable in UTF-8, read through the wide environment so that folders
// with names outside the system's code page survive; false when unset.
static bool wideEnv(const char* name, std::string& value) {
    const wchar_t* wide = _wgetenv(widen(name).c_str());
    if (!wide) return false;
    value = narrow(wide);
    return true;
}

bool envSet(const char* name) {
    std::string value;
    return wideEnv(name, value);
}
#else
bool envSet(const char* name) { return std::getenv(name) != nullptr; }
#endif

bool setEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    return _wputenv_s(widen(name).c_str(), widen(value).c_str()) == 0;
#else
    return setenv(name, value.c_str(), 1) == 0;
#endif
}

// The user's home folder: HOME, or the account's home when HOME is unset or
// empty, so that folders are never built from an empty prefix (the file
// system's root).
static std::string homeFolder() {
#ifdef _WIN32
    // Windows sets both variables at log-on; should either be missing, the
    // account's profile folder stands in, never the drive's root.
    std::string profile;
    if (wideEnv("USERPROFILE", profile) && !profile.empty()) return profile;
    return shellFolder(CSIDL_PROFILE);
#endif
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
#ifndef _WIN32
    if (const struct passwd* account = getpwuid(getuid()))
        if (account->pw_dir) return account->pw_dir;
#endif
    return std::string();
}

std::string env(const char* name) {
#ifdef _WIN32
    std::string text;
    bool set = wideEnv(name, text);
    const char* value = set ? text.c_str() : nullptr;
#else
    const char* value = std::getenv(name);
#endif
    // An empty folder variable would put the folders at the file system's root.
    if (std::strcmp(name, "HOMEDRIVE") == 0 || std::strcmp(name, "USERPROFILE") == 0)
        return value && *value ? std::string(value) : homeFolder();
    return value ? std::string(value) : std::string();
}

std::string desktopFolder() {
    std::string profile = env("USERPROFILE");
    std::string desktop = profile + "/Desktop";
    if (folderExists(desktop)) return desktop;
#ifdef _WIN32
    // A desktop moved elsewhere (a synchronised folder, another drive).
    std::string shell = shellFolder(CSIDL_DESKTOPDIRECTORY);
    if (!shell.empty() && folderExists(shell)) return shell;
#endif
    return profile;
}

std::string currentFolder() {
#ifdef _WIN32
    wchar_t* folder = _wgetcwd(nullptr, 0);
    if (!folder) return std::string();
    std::string out = forwardSlashes(narrow(folder));
    std::free(folder);
    return out;
#else
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
#endif
}

bool changeFolder(const std::string& path) {
#ifdef _WIN32
    return _wchdir(widen(path).c_str()) == 0;
#else
    return chdir(path.c_str()) == 0;
#endif
}

std::string executablePath() {
#ifdef _WIN32
    wchar_t buffer[32768];
    DWORD length = GetModuleFileNameW(nullptr, buffer, sizeof buffer / sizeof buffer[0]);
    return length > 0 && length < sizeof buffer / sizeof buffer[0]
               ? forwardSlashes(narrow(std::wstring(buffer, length)))
               : std::string();
#else
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    return length > 0 && length < static_cast<ssize_t>(sizeof buffer) ? std::string(buffer, length)
                                                                      : std::string();
#endif
}

bool replaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
    if (MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DWORD code = GetLastError();
    errno = code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION ? EACCES
            : code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? ENOENT
            : code == ERROR_DISK_FULL                                        ? ENOSPC
                                                                             : EIO;
    return false;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

std::string shownPath(const std::string& path) {
#ifdef _WIN32
    std::string shown = path;
    for (char& c : shown) {
        if (c == '/') c = '\\';
    }
    return shown;
#else
    return path;
#endif
}

std::string fromSystemPath(const std::string& path) {
#ifdef _WIN32
    return forwardSlashes(path);
#else
    return path;
#endif
}

bool processAlive(long pid) {
#ifdef _WIN32
    // A process number of this system; a pedal on the far side of a mapped
    // port (another system) registers without one.
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
#else
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
#endif
}

#ifndef _WIN32
// The signal pipe's two ends; -1 when closed.
static int signalPipe[2] = {-1, -1};
#endif

int openSignalPipe() {
#ifdef _WIN32
    return -1;
#else
    if (signalPipe[0] >= 0) return signalPipe[0];
    if (pipe(signalPipe) != 0) {
        signalPipe[0] = signalPipe[1] = -1;
        return -1;
    }
    for (int fd : signalPipe) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    return signalPipe[0];
#endif
}

bool writeSignalPipe() {
#ifdef _WIN32
    return false;
#else
    if (signalPipe[1] < 0) return false;
    char byte = 1;
    ssize_t written = write(signalPipe[1], &byte, 1);
    (void)written;
    return true;
#endif
}

void drainSignalPipe() {
#ifndef _WIN32
    char byte;
    while (signalPipe[0] >= 0 && read(signalPipe[0], &byte, 1) > 0) {
    }
#endif
}

void closeSignalPipe() {
#ifndef _WIN32
    for (int& fd : signalPipe) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
#endif
}

// --- Interrupts -------------------------------------------------------------

namespace {

volatile std::sig_atomic_t interruptArrived = 0;
volatile std::sig_atomic_t interruptDeferred = 0;
char interruptText[256] = "";
volatile std::sig_atomic_t interruptTextLength = 0;
void (*interruptCleanUp)() = nullptr;

extern "C" void onInterrupt(int signal) {
    interruptArrived = signal;
    if (interruptDeferred) {
        interruptDeferred = 0;      // the next signal ends the program
        return;
    }
    if (interruptCleanUp) interruptCleanUp();
    if (interruptTextLength > 0) {
#ifdef _WIN32
        int written = _write(2, interruptText, static_cast<unsigned>(interruptTextLength));
#else
        ssize_t written = write(STDERR_FILENO, interruptText, static_cast<size_t>(interruptTextLength));
#endif
        (void)written;
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

void catchInterrupts(void (*cleanUp)()) {
    interruptCleanUp = cleanUp;
#ifdef _WIN32
    for (int signal : {SIGINT, SIGTERM}) std::signal(signal, onInterrupt);
#else
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &sa, nullptr);
#endif
}

void deferInterrupt(bool defer) { interruptDeferred = defer ? 1 : 0; }

bool interrupted() { return interruptArrived != 0; }

void setInterruptText(const std::string& text) {
    interruptTextLength = 0;
    size_t n = text.size() < sizeof interruptText - 1 ? text.size() : sizeof interruptText - 1;
    std::memcpy(interruptText, text.data(), n);
    interruptTextLength = static_cast<std::sig_atomic_t>(n);
}

void ignoreBrokenPipe() {
#ifndef _WIN32
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

}  // namespace platform
