#include "tests/support/pedal/TestPedal.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "link/PedalRegistry.h"

namespace testpedal {

namespace {

void sleepMs(int ms) {
    timespec ts{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&ts, nullptr);
}

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

const int startLimitMs = 30000;     // start, stop, unplug, plug in, take new faults

}  // namespace

PedalFolder::PedalFolder() {
    char pattern[] = "/tmp/orvella-pedals-XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made ? made : "";
    const char* old = getenv("ORVELLA_PEDAL_DIR");
    hadPrevious_ = old != nullptr;
    if (old) previous_ = old;
    setenv("ORVELLA_PEDAL_DIR", path_.c_str(), 1);
    // Tests talk to their own pedals only, never to one plugged in.
    const char* only = getenv("ORVELLA_VIRTUAL_ONLY");
    hadVirtualOnly_ = only != nullptr;
    if (only) previousVirtualOnly_ = only;
    setenv("ORVELLA_VIRTUAL_ONLY", "1", 1);
    // The port locks of the programs a test starts live in the folder too:
    // on a machine where other suites run at once, a pseudo-terminal number
    // comes round again while a program of another run still holds its lock
    // in the system's lock folder, and the pedal would seem in use.
    const char* locks = getenv("ORVELLA_LOCK_DIR");
    hadLockDir_ = locks != nullptr;
    if (locks) previousLockDir_ = locks;
    // Open to every user, as the system's lock folder is.
    const std::string lockDir = path_ + "/locks";
    if (!path_.empty() && mkdir(lockDir.c_str(), 0700) == 0 && chmod(lockDir.c_str(), 01777) == 0)
        setenv("ORVELLA_LOCK_DIR", lockDir.c_str(), 1);
}

PedalFolder::~PedalFolder() {
    if (hadPrevious_)
        setenv("ORVELLA_PEDAL_DIR", previous_.c_str(), 1);
    else
        unsetenv("ORVELLA_PEDAL_DIR");
    if (hadVirtualOnly_)
        setenv("ORVELLA_VIRTUAL_ONLY", previousVirtualOnly_.c_str(), 1);
    else
        unsetenv("ORVELLA_VIRTUAL_ONLY");
    if (hadLockDir_)
        setenv("ORVELLA_LOCK_DIR", previousLockDir_.c_str(), 1);
    else
        unsetenv("ORVELLA_LOCK_DIR");
    if (!path_.empty()) {
        std::string cmd = "rm -rf '" + path_ + "'";
        if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", path_.c_str());
    }
}

StalledBridgesShown::StalledBridgesShown() {
    const char* preload = getenv("LD_PRELOAD");
    const char* asan = getenv("ASAN_OPTIONS");
    hadPreload_ = preload != nullptr;
    hadAsan_ = asan != nullptr;
    if (preload) preload_ = preload;
    if (asan) asan_ = asan;
    setenv("LD_PRELOAD", (std::string(ORVELLA_STALLED_BRIDGE) + (preload ? ":" + preload_ : "")).c_str(), 1);
    // A sanitized build's runtime then comes second, which it otherwise refuses.
    setenv("ASAN_OPTIONS", (asan_ + (asan_.empty() ? "" : ":") + "verify_asan_link_order=0").c_str(), 1);
}

StalledBridgesShown::~StalledBridgesShown() {
    if (hadPreload_)
        setenv("LD_PRELOAD", preload_.c_str(), 1);
    else
        unsetenv("LD_PRELOAD");
    if (hadAsan_)
        setenv("ASAN_OPTIONS", asan_.c_str(), 1);
    else
        unsetenv("ASAN_OPTIONS");
}

VirtualPedal::VirtualPedal(const PedalFolder& folder, PedalOptions options)
    : folder_(folder.path()), options_(std::move(options)) {}

VirtualPedal::~VirtualPedal() { stop(); }

std::string VirtualPedal::program() { return ORVELLA_PEDAL_PROGRAM; }
std::string VirtualPedal::registration() const { return pedalregistry::fileFor(folder_, options_.serial); }
std::string VirtualPedal::statePath() const { return registration() + ".state"; }
std::string VirtualPedal::logPath() const { return registration() + ".log"; }

bool VirtualPedal::waitRegistered(bool present, int timeoutMs) const {
    for (int waited = 0; waited <= timeoutMs; waited += 5) {
        if (exists(registration()) == present) return true;
        sleepMs(5);
    }
    return false;
}

bool VirtualPedal::start(std::string* error) {
    if (pid_ > 0) return true;
    std::vector<std::string> args = {program(), "--dir", folder_, "--serial", options_.serial};
    if (!options_.description.empty()) args.insert(args.end(), {"--description", options_.description});
    if (options_.wireSpeed) args.push_back("--wire-speed");
    if (options_.updateMode) args.push_back("--update-mode");
    if (options_.firmware >= 0) args.insert(args.end(), {"--firmware", std::to_string(options_.firmware)});
    if (!options_.factory.empty()) args.insert(args.end(), {"--factory", options_.factory});
    for (const std::string& f : options_.faults) args.insert(args.end(), {"--fault", f});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);

    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);   // never outlive a crashed test
        // Not freopen: it would flush the test's buffered output a second time.
        int null = open("/dev/null", O_WRONLY);
        if (null < 0 || dup2(null, 1) < 0) _exit(127);
        if (options_.closedStreams)
            for (int fd = 0; fd < 64; ++fd) close(fd);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pid_ < 0) {
        if (error) *error = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    // Generous limits: a busy machine may be slow to start a process; the
    // wait ends as soon as the pedal is up.
    for (int waited = 0; waited < startLimitMs; waited += 5) {
        if (exists(registration())) return true;
        int st;
        if (waitpid(pid_, &st, WNOHANG) == pid_) {
            pid_ = -1;
            if (error) *error = "orvella-pedal exited with status " + std::to_string(WEXITSTATUS(st));
            return false;
        }
        sleepMs(5);
    }
    if (error) *error = "orvella-pedal did not register within " + std::to_string(startLimitMs / 1000) + " s";
    stop();
    return false;
}

bool VirtualPedal::stop() {
    if (pid_ <= 0) return true;
    kill(pid_, SIGTERM);
    int st = 0;
    for (int waited = 0; waited < startLimitMs; waited += 5) {
        if (waitpid(pid_, &st, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(st) && WEXITSTATUS(st) == 0;
        }
        sleepMs(5);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &st, 0);
    pid_ = -1;
    return false;
}

void VirtualPedal::crash() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    int st = 0;
    waitpid(pid_, &st, 0);
    pid_ = -1;
    unlink(registration().c_str());
}

bool VirtualPedal::unplug() {
    if (pid_ <= 0) return false;
    kill(pid_, SIGUSR1);
    return waitRegistered(false, startLimitMs);
}

bool VirtualPedal::plugIn() {
    if (pid_ <= 0) return false;
    kill(pid_, SIGUSR2);
    return waitRegistered(true, startLimitMs);
}

static int countLines(const std::string& path, const std::string& text) {
    std::ifstream in(path);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) n += line.find(text) != std::string::npos;
    return n;
}

bool VirtualPedal::setFaults(const std::vector<std::string>& faults) {
    std::string path = registration() + ".faults";
    std::string temp = path + ".tmp";
    int before = countLines(logPath(), "# faults ");
    {
        std::ofstream out(temp);
        for (const std::string& f : faults) out << f << "\n";
    }
    sleepMs(10);    // a modification time the pedal can tell from the last one
    std::rename(temp.c_str(), path.c_str());
    for (int waited = 0; waited < startLimitMs; waited += 5) {
        if (countLines(logPath(), "# faults ") > before) return true;
        sleepMs(5);
    }
    return false;
}

std::vector<LoggedCommand> VirtualPedal::waitForCommands(size_t n, int timeoutMs) const {
    std::vector<LoggedCommand> list = commands();
    for (int waited = 0; list.size() < n && waited < timeoutMs; waited += 5) {
        sleepMs(5);
        list = commands();
    }
    return list;
}

size_t VirtualPedal::count(const std::string& name) const {
    size_t n = 0;
    for (const LoggedCommand& c : commands()) n += c.name == name;
    return n;
}

bool VirtualPedal::waitForCount(const std::string& name, size_t n, int timeoutMs) const {
    for (int waited = 0; count(name) < n; waited += 5) {
        if (waited >= timeoutMs) return false;
        sleepMs(5);
    }
    return true;
}

std::vector<LoggedCommand> VirtualPedal::commands() const {
    std::vector<LoggedCommand> list;
    std::ifstream in(logPath());
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string time, name, hex, replied, note;
        fields >> time >> name;
        if (name.empty() || name[0] == '#') continue;
        fields >> hex >> replied >> note;
        LoggedCommand c;
        c.name = name;
        for (size_t i = 0; i + 1 < hex.size(); i += 2) c.bytes.push_back(std::stoi(hex.substr(i, 2), nullptr, 16));
        c.replied = replied.empty() ? 0 : std::stoul(replied);
        c.corrupted = note == "corrupted";
        list.push_back(c);
    }
    return list;
}

bool VirtualPedal::state(PedalState& out) const {
    std::string error;
    return out.load(statePath(), error);
}

bool VirtualPedal::presetState(const PedalState& s) const {
    std::string error;
    return s.save(statePath(), error);
}

std::vector<uint8_t> knownRecord(int n) {
    return {0x21, 3, 23, static_cast<uint8_t>(10 + n), 31, static_cast<uint8_t>(150 - n), 200,
            static_cast<uint8_t>(20 + n), 100, 125, 50, static_cast<uint8_t>(40 + n)};
}

std::string knownTitle(int n) {
    std::string t = "Factory " + std::to_string(n + 1);
    t.resize(12, ' ');
    return t;
}

std::string knownBank() {
    std::string bank;
    for (int i = 0; i < 8; ++i) {
        std::vector<uint8_t> r = knownRecord(i);
        bank.append(r.begin(), r.end());
    }
    for (int i = 0; i < 8; ++i) bank += knownTitle(i);
    return bank;
}

}  // namespace testpedal
