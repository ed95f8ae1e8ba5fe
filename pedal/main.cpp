// orvella-pedal: a virtual Drevani pedal on a pseudo-terminal, registered in
// ORVELLA_PEDAL_DIR so that the editor finds it like a real one.
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pedal/FactoryImages.h"
#include "pedal/PedalFaults.h"
#include "pedal/PedalProtocol.h"
#include "pedal/PedalState.h"
#include "pedal/VirtualPort.h"
#include "base/program_info.h"
#include "link/PedalRegistry.h"
#ifdef ORVELLA_PEDAL_RENDER
#include "dsp/DspInterpreter.h"
#endif

namespace {

volatile sig_atomic_t stopRequested = 0;
volatile sig_atomic_t unplugRequested = 0;
volatile sig_atomic_t plugRequested = 0;

void onStop(int) { stopRequested = 1; }
void onUnplug(int) { unplugRequested = 1; }
void onPlug(int) { plugRequested = 1; }

const double abandonSeconds = 2.0;     // a half-received command is dropped after this silence

struct Options {
    std::string dir, serial, description = "Kestrova Drevani";
    std::string stateFile, logFile, faultsFile, factory;
    std::string renderOut, renderIn;
    bool wireSpeed = false, updateMode = false;
    int firmware = -1;
    PedalFaults faults;
};

const char* const usage =
        "Usage: orvella-pedal [options]\n"
        "A virtual Kestrova Drevani pedal on a pseudo-terminal, registered in the\n"
        "folder named by ORVELLA_PEDAL_DIR (or --dir) so that the editor finds it.\n"
        "\n"
        "  --dir DIR             registration folder (default: $ORVELLA_PEDAL_DIR)\n"
        "  --serial TEXT         serial number, at most 11 characters (default: made up)\n"
        "  --description TEXT    USB description (default: \"Kestrova Drevani\")\n"
        "  --state FILE          state file: presets, configuration byte, oscillator values (in use and\n"
        "                        burned), firmware (default: DIR/SERIAL.pedal.state)\n"
        "  --log FILE            command log, one line per command with every byte received in hex\n"
        "                        (default: DIR/SERIAL.pedal.log)\n"
        "  --faults FILE         faults file, re-read before each command (default: DIR/SERIAL.pedal.faults)\n"
        "  --factory FILE        192-byte preset bank to start from when there is no state file\n"
        "  --wire-speed          pace every byte as at 115200 baud 8N1 (default: answer at once)\n"
        "  --update-mode         start in firmware-update mode\n"
        "  --firmware BYTE       firmware version byte, bits 6-4 major, 3-0 minor (e.g. 0x21)\n"
        "  --fault NAME[=VALUE]  inject a fault (repeatable): no-reply, short-reply, corrupt-echo,\n"
        "                        corrupt-echo-always, slow-reply=SECONDS, stuck-tx, unplug,\n"
        "                        keep-wrong-record (stored images echo right, titles are kept wrong),\n"
        "                        keep-wrong-byte=N (images echo right, byte N of the record (0-11)\n"
        "                        or title (12-23) is kept wrong),\n"
        "                        stray-byte (a stray byte whenever the line is idle 0.2 s)\n"
        "  --render OUT.wav      render the image the pedal plays to a WAV file and exit\n"
        "  --input IN.wav        input signal for --render (default: a built-in test signal)\n"
        "  --help                show this text\n"
        "  --version             show the version\n"
        "\n"
        "Signals: SIGINT/SIGTERM stop the pedal and remove its registration; SIGUSR1\n"
        "unplugs it (unregisters, closes its port); SIGUSR2 plugs it back in.\n";

bool parseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&](std::string& into) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "orvella-pedal: %s needs a value\n", a.c_str());
                return false;
            }
            into = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--dir") { if (!next(o.dir)) return false; }
        else if (a == "--serial") { if (!next(o.serial)) return false; }
        else if (a == "--description") { if (!next(o.description)) return false; }
        else if (a == "--state") { if (!next(o.stateFile)) return false; }
        else if (a == "--log") { if (!next(o.logFile)) return false; }
        else if (a == "--faults") { if (!next(o.faultsFile)) return false; }
        else if (a == "--factory") { if (!next(o.factory)) return false; }
        else if (a == "--render") { if (!next(o.renderOut)) return false; }
        else if (a == "--input") { if (!next(o.renderIn)) return false; }
        else if (a == "--wire-speed") o.wireSpeed = true;
        else if (a == "--update-mode") o.updateMode = true;
        else if (a == "--firmware") {
            if (!next(v)) return false;
            char* end = nullptr;
            long b = std::strtol(v.c_str(), &end, 0);
            if (*end || b < 0 || b > 0x7F) {
                std::fprintf(stderr, "orvella-pedal: --firmware takes a byte 0..0x7F, not %s\n", v.c_str());
                return false;
            }
            o.firmware = static_cast<int>(b);
        } else if (a == "--fault") {
            if (!next(v)) return false;
            std::string why;
            if (!o.faults.add(v, &why)) {
                std::fprintf(stderr, "orvella-pedal: %s (see --help)\n", why.c_str());
                return false;
            }
        } else {
            std::fprintf(stderr, "orvella-pedal: unknown option %s (see --help)\n", a.c_str());
            return false;
        }
    }
    return true;
}

std::string timestamp() {
    timeval tv;
    gettimeofday(&tv, nullptr);
    tm t;
    gmtime_r(&tv.tv_sec, &t);
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06ldZ", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, static_cast<long>(tv.tv_usec));
    return text;
}

double nowSeconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// One line per command: time, name, received bytes in hex, reply bytes sent.
void logLine(FILE* log, const std::string& text) {
    if (!log) return;
    std::fprintf(log, "%s %s\n", timestamp().c_str(), text.c_str());
    std::fflush(log);
}

std::string hex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (uint8_t b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s.empty() ? "-" : s;
}

class Pedal {
public:
    explicit Pedal(Options& o) : o_(o), protocol_(state_), stalled_(o.faults.stuckTx) {}
    int run();

private:
    bool plugIn();
    void unplug();
    void refreshFaults();
    bool registerSelf();
    void handle(PedalCommand& c);
    void handleReply(PedalCommand& c, std::string note);
    void saveState();
    bool stalled() const;
    std::string stallFile() const;
    void noteStall();
    void endStall();

    Options& o_;
    PedalState state_;
    PedalProtocol protocol_;
    VirtualPort port_;
    FILE* log_ = nullptr;
    PedalFaults fileFaults_;
    bool fileCorruptUsed_ = false;
    timespec faultsTime_{0, 0};
    // The file's identity besides its time: a rename puts a new file in place,
    // and a file rewritten in place changes size, even within one clock tick.
    ino_t faultsInode_ = 0;
    off_t faultsSize_ = -1;
    bool stalled_;             // the bridge keeps what the editor sends
};

bool Pedal::stalled() const { return o_.faults.stuckTx || fileFaults_.stuckTx; }

std::string Pedal::stallFile() const { return pedalregistry::fileFor(o_.dir, o_.serial) + ".stalled"; }

// A stalled bridge: the pedal reads nothing, so what a program writes stays
// in the pseudo-terminal, and it says so in "<serial>.pedal.stalled"
// ("tty=PATH") while its port is open. A pseudo-terminal has no transmit
// queue to show the writer; tests/support/pedal/stalled_bridge.c, loaded
// into a program under test, reads the file and keeps one for it.
void Pedal::noteStall() {
    const std::string path = stallFile(), temp = path + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "w");
    if (!f) return;
    std::fprintf(f, "tty=%s\n", port_.path().c_str());
    if (std::fclose(f) != 0 || std::rename(temp.c_str(), path.c_str()) != 0) unlink(temp.c_str());
}

// The bridge works again: what it held never reached the pedal (the editor
// purged it after its time-out).
void Pedal::endStall() {
    if (port_.isOpen()) tcflush(port_.fd(), TCIFLUSH);
    protocol_.reset();
    unlink(stallFile().c_str());
}

bool Pedal::registerSelf() {
    pedalregistry::Entry e;
    e.description = o_.description;
    e.serial = o_.serial;
    e.tty = port_.path();
    e.pid = static_cast<long>(getpid());
    if (!pedalregistry::write(o_.dir, e)) {
        std::fprintf(stderr, "orvella-pedal: cannot register in %s: %s\n", o_.dir.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

bool Pedal::plugIn() {
    if (!port_.open()) {
        std::fprintf(stderr, "orvella-pedal: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
        return false;
    }
    port_.setWireSpeed(o_.wireSpeed);
    protocol_.reset();
    if (stalled_) noteStall();
    if (!registerSelf()) return false;
    logLine(log_, "# plugged-in " + port_.path());
    return true;
}

void Pedal::unplug() {
    pedalregistry::remove(o_.dir, o_.serial);
    endStall();
    port_.close();
    protocol_.reset();
    logLine(log_, "# unplugged");
}

void Pedal::refreshFaults() {
    struct stat st;
    timespec t{0, 0};
    ino_t inode = 0;
    off_t size = -1;
    if (stat(o_.faultsFile.c_str(), &st) == 0) {
        t = st.st_mtim;
        inode = st.st_ino;
        size = st.st_size;
    }
    if (t.tv_sec == faultsTime_.tv_sec && t.tv_nsec == faultsTime_.tv_nsec && inode == faultsInode_ &&
        size == faultsSize_)
        return;
    faultsTime_ = t;
    faultsInode_ = inode;
    faultsSize_ = size;
    std::string error;
    if (!fileFaults_.loadFile(o_.faultsFile, error)) logLine(log_, "# " + error);
    fileCorruptUsed_ = false;
    if (stalled_ && !stalled()) endStall();
    if (!stalled_ && stalled() && port_.isOpen()) noteStall();
    stalled_ = stalled();
    if (fileFaults_.unplug && port_.isOpen()) unplug();
    // Logged last: whoever waits for this line finds every effect in place.
    logLine(log_, "# faults loaded");
}

void Pedal::handle(PedalCommand& c) {
    // A firmware page is echoed before the state is saved: the editor waits
    // for every echo of an update, and saving takes longer than answering.
    // Other commands are saved first, so their effect is on disk when
    // their reply (or log line) is seen.
    std::string note;
    if (c.name == "store-header" && (o_.faults.keepWrongRecord || fileFaults_.keepWrongRecord)) {
        // The record arrived whole; what is kept differs, which only a read-back shows.
        uint8_t& last = state_.presets[(c.bytes[0] & 0x0E) >> 1].title[11];
        last = last == '#' ? '*' : '#';
        note = " kept-wrong";
    }
    const int wrongByte = o_.faults.keepWrongByte >= 0 ? o_.faults.keepWrongByte : fileFaults_.keepWrongByte;
    if (c.name == "store-header" && wrongByte >= 0) {
        PedalPreset& p = state_.presets[(c.bytes[0] & 0x0E) >> 1];
        if (wrongByte < 12) p.params[wrongByte] ^= 0x01;
        else p.title[wrongByte - 12] = p.title[wrongByte - 12] == '#' ? '*' : '#';   // still printable
        note = " kept-wrong";
    }
    const bool saveAfterReply = c.changedState && c.name == "page";
    if (c.changedState && !saveAfterReply) saveState();
    handleReply(c, note);
    if (saveAfterReply) saveState();
}

void Pedal::saveState() {
    std::string error;
    if (!state_.save(o_.stateFile, error)) logLine(log_, "# cannot save state: " + error);
}

void Pedal::handleReply(PedalCommand& c, std::string note) {
    std::vector<uint8_t> reply = c.reply;
    const bool echo = c.name == "store-image" || c.name == "page";
    if (echo && !reply.empty()) {
        bool once = (o_.faults.corruptOnce) || (fileFaults_.corruptOnce && !fileCorruptUsed_);
        if (o_.faults.corruptAlways || fileFaults_.corruptAlways || once) {
            reply[reply.size() / 5] ^= 0xFF;
            note = " corrupted";
            if (o_.faults.corruptOnce) o_.faults.corruptOnce = false;
            else if (fileFaults_.corruptOnce) fileCorruptUsed_ = true;
        }
    }
    if (o_.faults.noReply || fileFaults_.noReply) reply.clear();
    if (!reply.empty() && (o_.faults.shortReply || fileFaults_.shortReply)) reply.resize(reply.size() / 2);
    double slow = o_.faults.slowSeconds > 0 ? o_.faults.slowSeconds : fileFaults_.slowSeconds;
    logLine(log_, c.name + " " + hex(c.bytes) + " " + std::to_string(reply.size()) + note);
    if (reply.empty()) return;
    if (slow > 0) {
        timespec ts{static_cast<time_t>(slow), static_cast<long>((slow - static_cast<time_t>(slow)) * 1e9)};
        while (nanosleep(&ts, &ts) != 0 && errno == EINTR && !stopRequested) {}
    }
    port_.send(reply.data(), reply.size());
}

int Pedal::run() {
    std::string error;
    // Two live pedals with one serial number would share one state file.
    for (const pedalregistry::Entry& e : pedalregistry::list(o_.dir)) {
        if (e.serial == o_.serial && e.pid > 0 && e.pid != static_cast<long>(getpid()) && pedalregistry::alive(e)) {
            std::fprintf(stderr, "orvella-pedal: a pedal with serial number %s already runs (process %ld)\n",
                         o_.serial.c_str(), e.pid);
            return 1;
        }
    }
    bool haveState = access(o_.stateFile.c_str(), F_OK) == 0;
    if (haveState && !state_.load(o_.stateFile, error)) {
        // Never overwrite what may be a user's presets.
        std::fprintf(stderr, "orvella-pedal: %s; move it away or name another --state\n", error.c_str());
        return 1;
    }
    if (!haveState) {
        uint8_t bank[192];
        bool haveBank = false;
        if (!o_.factory.empty()) {
            haveBank = readBankFile(o_.factory, bank, error);
            if (!haveBank) std::fprintf(stderr, "orvella-pedal: %s; using built-in presets\n", error.c_str());
        }
        state_ = PedalState();
        state_.setFactory(haveBank ? bank : nullptr);
        // The factory master lies beside the core files the programs are made from.
        std::string binDir = haveBank ? folderOf(o_.factory) : "bin";
        struct stat binInfo;
        bool haveBin = stat(binDir.c_str(), &binInfo) == 0 && S_ISDIR(binInfo.st_mode);
        if (haveBin && !composeFactoryImages(state_, binDir, error))
            std::fprintf(stderr, "orvella-pedal: %s; presets start with an empty program\n", error.c_str());
    }
    if (o_.firmware >= 0) state_.firmwareVersion = static_cast<uint8_t>(o_.firmware);
    if (o_.updateMode) state_.updateMode = true;

    // Rendering plays the stored image and leaves the state untouched.
#ifdef ORVELLA_PEDAL_RENDER
    if (!o_.renderOut.empty()) {
        if (!renderWav(state_.playing, o_.renderIn, o_.renderOut, error)) {
            std::fprintf(stderr, "orvella-pedal: render failed: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
#else
    if (!o_.renderOut.empty()) {
        std::fprintf(stderr, "orvella-pedal: this build has no DSP engine; --render is unavailable\n");
        return 1;
    }
#endif

    if (!state_.save(o_.stateFile, error)) {
        std::fprintf(stderr, "orvella-pedal: %s\n", error.c_str());
        return 1;
    }

    log_ = std::fopen(o_.logFile.c_str(), "a");
    if (!log_) {
        std::fprintf(stderr, "orvella-pedal: cannot open the log %s: %s\n", o_.logFile.c_str(), std::strerror(errno));
        return 1;
    }
    refreshFaults();
    if (!fileFaults_.unplug && !plugIn()) return 1;
    logLine(log_, std::string("# started serial=") + o_.serial + (state_.updateMode ? " update-mode" : ""));
    std::printf("%s %s\n", o_.serial.c_str(), port_.path().c_str());
    std::fflush(stdout);

    double lastByte = 0;
    std::vector<PedalCommand> done;
    while (!stopRequested) {
        if (unplugRequested) {
            unplugRequested = 0;
            if (port_.isOpen()) unplug();
        }
        if (plugRequested) {
            plugRequested = 0;
            if (!port_.isOpen() && !plugIn()) break;
        }
        if (!port_.isOpen()) {
            // Unplugged: wait for a signal. A bounded sleep rather than pause(),
            // which would miss a signal arriving just before it.
            timespec nap{0, 50 * 1000000L};
            nanosleep(&nap, nullptr);
            continue;
        }
        if (stalled_) {     // nothing is read: what comes waits in the terminal
            timespec nap{0, 50 * 1000000L};
            nanosleep(&nap, nullptr);
            refreshFaults();
            continue;
        }
        pollfd pfd{port_.fd(), POLLIN, 0};
        int r = poll(&pfd, 1, 50);
        refreshFaults();
        if (!port_.isOpen() || stalled_) continue;
        if (r <= 0) {
            if (protocol_.midCommand() && nowSeconds() - lastByte > abandonSeconds) {
                protocol_.reset();
                logLine(log_, "# dropped an unfinished command");
            }
            if ((o_.faults.strayByte || fileFaults_.strayByte) && !protocol_.midCommand() &&
                nowSeconds() - lastByte >= 0.2) {
                const uint8_t stray = 0x5A;     // line noise, never a reply
                port_.send(&stray, 1);
                lastByte = nowSeconds();
            }
            continue;
        }
        uint8_t data[1024];
        size_t n = port_.receive(data, sizeof data);
        if (n == 0) continue;
        lastByte = nowSeconds();
        done.clear();
        protocol_.feed(data, n, done);
        for (PedalCommand& c : done) handle(c);
    }
    if (port_.isOpen()) pedalregistry::remove(o_.dir, o_.serial);
    endStall();
    logLine(log_, "# stopped");
    std::fclose(log_);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int answered = programinfo::answerHelpOrVersion(argc, argv, "orvella-pedal", usage);
    if (answered >= 0) return answered;
    Options o;
    if (!parseArgs(argc, argv, o)) return 2;
    if (o.dir.empty()) o.dir = pedalregistry::folder();
    if (o.dir.empty()) {
        std::fprintf(stderr, "orvella-pedal: set ORVELLA_PEDAL_DIR or give --dir (see --help)\n");
        return 2;
    }
    if (o.serial.empty()) {
        char made[12];
        std::snprintf(made, sizeof made, "VP%06d", static_cast<int>(getpid() % 1000000));
        o.serial = made;
    }
    if (o.serial.size() > 11) {
        std::fprintf(stderr, "orvella-pedal: a serial number has at most 11 characters\n");
        return 2;
    }
    if (o.stateFile.empty()) o.stateFile = pedalregistry::fileFor(o.dir, o.serial) + ".state";
    if (o.logFile.empty()) o.logFile = pedalregistry::fileFor(o.dir, o.serial) + ".log";
    if (o.faultsFile.empty()) o.faultsFile = pedalregistry::fileFor(o.dir, o.serial) + ".faults";

    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = onStop;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sa.sa_handler = onUnplug;
    sigaction(SIGUSR1, &sa, nullptr);
    sa.sa_handler = onPlug;
    sigaction(SIGUSR2, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    Pedal pedal(o);
    return pedal.run();
}
