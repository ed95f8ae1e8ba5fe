#include "cli/commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/di_clips.h"
#include "audio/resampler.h"
#include "audio/sound_render.h"
#include "base/data_folder.h"
#include "base/files.h"
#include "base/platform.h"
#include "cli/decode.h"
#include "cli/progress.h"
#include "link/PedalLink.h"
#include "link/protocol.h"
#include "maintenance/firmware_package.h"
#include "maintenance/firmware_transfer.h"
#include "presets/PresetFiles.h"
#include "presets/preset_transfer.h"
#include "sound/CoreFiles.h"
#include "sound/Params.h"
#include "sound/SoundEngine.h"
#include "wav_file.h"

using namespace sound;

namespace cli {

namespace {

class Session {
public:
    Session(const Options& o, std::FILE* out, std::FILE* err, bool terminal)
        : o(o), out(out), err(err), progress(err, terminal, o.quiet) {
        if (o.verbose)
            link.setSink([err](const char* text) { std::fputs(text, err); });
        else
            link.setSink(PedalLink::quiet());
        // The chosen pedal is this program's from its first exchange to the
        // end: another program's commands never come between ours.
        PedalLink::keepClaim(true);
    }
    ~Session() {
        // A reply that timed out may still be on its way: it must not meet
        // the next program's first command.
        link.awaitLateReply();
        PedalLink::keepClaim(false);
    }

    int fail(int code, const std::string& message) {
        progress.finish();
        std::fprintf(err, "orvella-cli: %s\n", message.c_str());
        return code;
    }
    // A note for the user that is not a result (a retry, a clamped record).
    void note(const std::string& text) { progress.note(text); }
    void result(const std::string& text) {
        progress.finish();
        std::fputs(text.c_str(), out);
        std::fflush(out);
    }

    // The failed exchange in one line: what the link says and the code.
    std::string linkError(const std::string& what) const {
        const LinkResult& r = link.lastResult();
        return what + " failed on " + serial + ": " + (r.text.empty() ? "no answer" : r.text) + " (code " +
               std::to_string(r.code) + ")";
    }

    const Options& o;
    std::FILE* out;
    std::FILE* err;
    Progress progress;
    PedalLink link;
    std::string serial;
};

std::string pedalLines(const std::vector<PedalInfo>& pedals, const char* indent) {
    std::string text;
    for (const PedalInfo& p : pedals) text += indent + p.serial + "\t" + p.description + "\t" + p.port + "\n";
    return text;
}

std::vector<PedalInfo> pedalsFound() {
    std::vector<PedalInfo> pedals;
    for (const PedalInfo& device : PedalLink::listDevices())
        if (device.isPedal()) pedals.push_back(device);
    return pedals;
}

// Picks the pedal every exchange of the session opens.
int choosePedal(Session& s) {
    std::vector<PedalInfo> pedals = pedalsFound();
    if (!s.o.pedal.empty()) {
        for (const PedalInfo& p : pedals)
            if (p.serial == s.o.pedal) s.serial = p.serial;
        if (s.serial.empty()) {
            std::string message = "no pedal with serial number " + s.o.pedal + " found";
            if (!pedals.empty()) message += "; found:\n" + pedalLines(pedals, "  ");
            if (message.back() == '\n') message.pop_back();
            return s.fail(ExitNoPedal, message);
        }
    } else if (pedals.empty()) {
        return s.fail(ExitNoPedal, "no pedal found (is it plugged in and powered? see 'orvella-cli list')");
    } else if (pedals.size() > 1) {
        std::string message = std::to_string(pedals.size()) + " pedals found; choose one with --pedal SERIAL:\n" +
                              pedalLines(pedals, "  ");
        message.pop_back();
        return s.fail(ExitNoPedal, message);
    } else {
        s.serial = pedals[0].serial;
    }
    s.link.selectSerial(s.serial);
    return ExitOk;
}

// Reads the status byte; `status` holds it on success.
int readStatus(Session& s, uint8_t& status) {
    if (!s.link.getOneByte(protocol::GetStatus).ok()) {
        // The first exchange of every command: a pedal this program may not
        // open (in use by another program, or a missing permission) gets
        // the reason and the fix in one line.
        if (!s.link.openProblem().empty())
            return s.fail(ExitNoPedal, "pedal " + s.serial + ": " + s.link.openProblem() + "; nothing was sent");
        return s.fail(ExitCommunication, s.linkError("Reading the status"));
    }
    status = s.link.reply()[0];
    return ExitOk;
}

std::string versionOf(uint8_t status) {
    return "V" + std::to_string(protocol::statusMajor(status)) + "." + std::to_string(protocol::statusMinor(status));
}

// Preset, configuration and preview commands need the pedal's firmware
// running: a pedal waiting for an update takes none of them.
int requireRunning(Session& s) {
    uint8_t status = 0;
    if (int code = readStatus(s, status)) return code;
    if (!(status & protocol::StatusRunning))
        return s.fail(ExitPedalMode, "pedal " + s.serial + " waits for a firmware update (firmware " + versionOf(status) +
                                         "): update it with 'orvella-cli firmware FILE.fdt' first");
    return ExitOk;
}

std::string errnoText(int error) { return error ? std::strerror(error) : "unknown error"; }

// "-" names standard input for the files a command reads and standard
// output for the files it writes; "./-" is a file of that name.
bool isStdio(const std::string& path) { return isStandardStream(path); }
std::string shownName(const std::string& path) { return isStdio(path) ? "standard input" : printable(platform::shownPath(path)); }

// A whole input file, or standard input for "-".
bool readInput(const std::string& path, std::vector<uint8_t>& bytes, int* error, size_t limit) {
    if (!isStdio(path)) return presetfiles::readFile(path, bytes, error, limit);
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

// A backup's bank from a file or standard input: exactly 192 bytes.
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

// A firmware package from a file or standard input, which is copied into a
// temporary file first: the reader measures the payload by seeking.
firmware::ReadStatus readFirmware(const std::string& path, firmware::Package& package, int& error) {
    if (!isStdio(path)) return firmware::readPackage(path, "rb", true, package, error);
    std::vector<uint8_t> bytes;
    if (!readInput(path, bytes, &error, size_t(4) << 20)) return firmware::ReadStatus::OpenFailed;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> copy(std::tmpfile(), std::fclose);
    errno = 0;
    if (!copy || std::fwrite(bytes.data(), 1, bytes.size(), copy.get()) != bytes.size() ||
        std::fseek(copy.get(), 0, SEEK_SET) != 0) {
        error = errno ? errno : EIO;
        return firmware::ReadStatus::ReadFailed;
    }
    return firmware::readPackage(copy.get(), false, true, package, error);
}

// A DI recording from a file or standard input.
bool loadDi(const std::string& path, std::vector<float>& di, std::string& message) {
    if (!isStdio(path)) return audio::loadDiFile(path, di, message);
    std::vector<uint8_t> bytes;
    int error = 0;
    if (!readInput(path, bytes, &error, size_t(1) << 31)) {
        message = readError(path, error);
        return false;
    }
    wav::Audio audio;
    if (!wav::parse(bytes.data(), bytes.size(), audio, message, "standard input")) return false;
    if (audio.frames() == 0) {
        message = "standard input holds no audio";
        return false;
    }
    di = audio::diSignal(audio);
    return true;
}

// Where a command's file goes: an atomic file, or the results stream for "-".
class Output {
public:
    Output(Session& s, const std::string& path) : s_(s), path_(path) {
        if (!isStdio(path)) file_.reset(new presetfiles::AtomicFile(path));
    }
    bool isOpen() const { return !file_ || file_->isOpen(); }
    int error() const { return file_ ? file_->error() : error_; }
    // Writes everything and commits (or flushes standard output).
    bool put(const void* data, size_t size) {
        if (file_) return file_->write(data, size) && file_->commit();
        errno = 0;
        bool ok = std::fwrite(data, 1, size, s_.out) == size && std::fflush(s_.out) == 0;
        if (!ok) error_ = errno ? errno : EIO;
        return ok;
    }
    // Whether the data goes to standard output ("-", /dev/stdout, a link to
    // the file standard output is): the result line then goes to standard error.
    bool toStdout() const {
        if (!file_) return true;
        struct stat named, out;
        return stat(path_.c_str(), &named) == 0 && fstat(STDOUT_FILENO, &out) == 0 && named.st_dev == out.st_dev &&
               named.st_ino == out.st_ino;
    }
    std::string name() const { return file_ ? printable(platform::shownPath(path_)) : "standard output"; }
    // The result line: a note on standard error when the data went to
    // standard output, the result otherwise.
    void tell(const std::string& line) {
        if (toStdout()) s_.note(line);
        else s_.result(line + "\n");
    }
    presetfiles::AtomicFile* file() { return file_.get(); }

private:
    Session& s_;
    std::string path_;
    std::unique_ptr<presetfiles::AtomicFile> file_;
    int error_ = 0;
};

// Ctrl-C (or a hang-up, a termination) during a command: no temporary file
// stays behind. A restore stops at the next preset instead, and says which
// ones it had stored; a second signal ends it at once with that news.
volatile std::sig_atomic_t interrupted = 0;
volatile std::sig_atomic_t stopsAtNextPreset = 0;
char interruptedText[256] = "";
volatile std::sig_atomic_t interruptedLength = 0;

extern "C" void onInterrupt(int signal) {
    interrupted = signal;
    if (stopsAtNextPreset) {
        stopsAtNextPreset = 0;      // the next signal ends the program
        return;
    }
    files::removeTemporaryFiles();
    if (interruptedLength > 0) {
        ssize_t written = write(STDERR_FILENO, interruptedText, static_cast<size_t>(interruptedLength));
        (void)written;
    }
    std::signal(signal, SIG_DFL);
    raise(signal);
}

// The line a second signal prints during a restore.
void setInterruptedText(const std::string& text) {
    interruptedLength = 0;
    size_t n = std::min(text.size(), sizeof interruptedText - 1);
    std::memcpy(interruptedText, text.data(), n);
    interruptedLength = static_cast<std::sig_atomic_t>(n);
}

// "presets 1 to 3", "preset 1"
std::string presetRange(int first, int last) {
    if (first == last) return "preset " + std::to_string(first);
    return "presets " + std::to_string(first) + " to " + std::to_string(last);
}

// Stores nothing more once interrupted: the restore then ends as if the next
// store had failed before reaching the pedal, which leaves that preset as it was.
class StoppablePresetLink : public presettransfer::PedalPresetLink {
public:
    using PedalPresetLink::PedalPresetLink;
    int storePreset(int index, const uint8_t* record, const uint8_t* title, const uint8_t* image) override {
        stopped_ = interrupted != 0;
        if (stopped_) return PedalLink::NothingMoved;
        return PedalPresetLink::storePreset(index, record, title, image);
    }
    bool storeReachedPedal() const override { return !stopped_ && PedalPresetLink::storeReachedPedal(); }
    int readAll() override { return interrupted ? PedalLink::NothingMoved : PedalPresetLink::readAll(); }

private:
    bool stopped_ = false;
};

// The sound model over the editor's data, for the commands that compose images.
struct Composer {
    std::unique_ptr<SoundEngine> engine;
};

// The folder whose "bin" holds every core file: `given` when not empty (""
// when it holds them not), else the first of the editor's candidates that
// does. `tried` lists the "bin" folders looked at.
std::string dataFolder(const std::string& given, std::string& tried) {
    std::vector<std::string> folders = given.empty() ? datafolder::candidates() : std::vector<std::string>{given};
    tried.clear();
    for (const std::string& folder : folders) {
        if (holdsCoreFiles(folder)) return folder;
        tried += (tried.empty() ? "" : ", ") + platform::shownPath(folder + "/bin");
    }
    return std::string();
}

int loadEngine(Session& s, Composer& c) {
    std::string tried;
    std::string folder = dataFolder(s.o.data, tried);
    if (folder.empty())
        return s.fail(ExitFile, "the editor's data (core files in a \"bin\" folder) is not in " + tried +
                                    (s.o.data.empty() ? "; name its folder with --data DIR" : ""));
    c.engine.reset(new SoundEngine(folder + "/bin"));
    if (!c.engine->coreFilesOk()) {
        std::string problems = c.engine->loadProblems();
        while (!problems.empty() && problems.back() == '\n') problems.pop_back();
        for (char& ch : problems)
            if (ch == '\n') ch = ';';
        return s.fail(ExitFile, "the editor's data in " + platform::shownPath(folder + "/bin") + " is damaged: " + problems);
    }
    return ExitOk;
}

// A local preset file, refused with the reason when it cannot be one.
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

// What the editor stores for a checked preset's record: applied to the sound
// model (which takes it unchanged), soloed if asked, the silent side folded
// into the record.
int compose(Session& s, Composer& c, const presetfiles::Preset& preset, uint8_t record[ParamCount],
            uint8_t image[protocol::ImageSize]) {
    SoundEngine& engine = *c.engine;
    engine.apply(preset.record());
    if (s.o.solo >= 0) {
        if (engine.stereoMode() != 0) return s.fail(ExitUsage, "--solo needs a Stereo Cabs preset; this one is Stereo Mics");
        engine.setSolo(s.o.solo == 0 ? LeftSide : RightSide, true);
    }
    std::memcpy(record, engine.params(), ParamCount);
    if (s.o.solo >= 0) presetfiles::foldSolo(record, s.o.solo == 0, s.o.solo == 1);
    std::memcpy(image, engine.image(), protocol::ImageSize);
    return ExitOk;
}

// What set off an automatic retry that cured it, as a note says it.
std::string retryCause(presettransfer::Outcome::Kind cause, int preset) {
    if (cause == presettransfer::Outcome::ReadBackMismatch)
        return "preset " + std::to_string(preset + 1) + " read back differently from what was sent";
    return "preset " + std::to_string(preset + 1) + ": the pedal's first echo differed from the image";
}

// A difference that the retry did not cure.
std::string twiceText(presettransfer::Outcome::Kind kind) {
    if (kind == presettransfer::Outcome::ReadBackMismatch)
        return "it read back differently from what was sent, also after storing it again";
    return "the pedal's echo differed from the image twice";
}

// --- the commands ---------------------------------------------------------

// Finding no pedal is an answer, not a failure: nothing is printed (an empty
// array with --json), so that scripts can count the lines.
int listPedals(Session& s) {
    std::vector<PedalInfo> pedals = pedalsFound();
    if (!s.o.json) {
        s.result(pedalLines(pedals, ""));
        return ExitOk;
    }
    std::string text = "[";
    for (const PedalInfo& p : pedals)
        text += std::string(text.size() > 1 ? ",\n " : "") + "{\"serial\": " + jsonString(p.serial) +
                ", \"description\": " + jsonString(p.description) + ", \"port\": " + jsonString(p.port) + "}";
    s.result(text + "]\n");
    return ExitOk;
}

int status(Session& s) {
    if (int code = choosePedal(s)) return code;
    uint8_t st = 0;
    if (int code = readStatus(s, st)) return code;
    bool running = st & protocol::StatusRunning;
    uint8_t config = 0;
    if (running && !s.link.getOneByte(protocol::GetConfig).ok())
        return s.fail(ExitCommunication, s.linkError("Reading the global configuration"));
    if (running) config = s.link.reply()[0];
    std::string text;
    if (s.o.json) {
        text = "{\"serial\": " + jsonString(s.serial) + ", \"mode\": " + jsonString(running ? "normal" : "update") +
               ", \"firmware\": " + jsonString(versionOf(st));
        if (running) {
            std::string c = configJson(config);
            text += ", \"config\": " + c.substr(0, c.size() - 1);
        }
        text += "}\n";
    } else {
        text = field("serial", s.serial);
        text += field("mode", running ? "normal" : "update (waits for firmware)");
        text += field("firmware", versionOf(st));
        if (running) text += configText(config);
    }
    s.result(text);
    return ExitOk;
}

int readPresetCommand(Session& s, uint8_t reply[protocol::PresetReplySize]) {
    if (!s.link.readPreset(s.o.preset - 1).ok())
        return s.fail(ExitCommunication, s.linkError("Reading preset " + std::to_string(s.o.preset)));
    std::memcpy(reply, s.link.reply(), protocol::PresetReplySize);
    return ExitOk;
}

int read(Session& s) {
    if (int code = choosePedal(s)) return code;
    if (int code = requireRunning(s)) return code;
    uint8_t reply[protocol::PresetReplySize];
    if (int code = readPresetCommand(s, reply)) return code;
    s.result(s.o.json ? presetJson(s.o.preset, reply, reply + 12) : presetText(s.o.preset, reply, reply + 12));
    return ExitOk;
}

std::string stemOf(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".lop") == 0) name.resize(name.size() - 4);
    return name;
}

int exportPreset(Session& s) {
    const std::string& path = s.o.operands[1];
    std::string name = s.o.name.empty() ? (isStdio(path) ? std::string() : stemOf(path)) : s.o.name;
    if (isStdio(path) && name.empty())
        return s.fail(ExitUsage, "a preset written to standard output needs its name: give one with --name");
    if (const char* problem = presetfiles::nameProblem(name))
        return s.fail(ExitUsage, "'" + name + "' cannot be a preset name (" + problem + "); give one with --name");
    if (int code = choosePedal(s)) return code;
    Output file(s, path);
    if (!file.isOpen()) return s.fail(ExitFile, "cannot write " + platform::shownPath(path) + ": " + errnoText(file.error()));
    if (int code = requireRunning(s)) return code;
    uint8_t reply[protocol::PresetReplySize];
    if (int code = readPresetCommand(s, reply)) return code;
    uint8_t record[ParamCount];
    sanitizeParams(reply, record);
    std::vector<uint8_t> bytes = presetfiles::encodeLop(name, record, reply + 12);
    if (!file.put(bytes.data(), bytes.size()))
        return s.fail(ExitFile, "cannot write " + file.name() + ": " + errnoText(file.error()));
    file.tell("Preset " + std::to_string(s.o.preset) + " (" + printable(titleText(reply + 12)) + ") exported to " +
              file.name());
    return ExitOk;
}

int writeOrPreview(Session& s, bool store) {
    const std::string& path = s.o.operands[store ? 1 : 0];
    // The editor's title rule: the pedal keeps 12 single bytes.
    if (s.o.titleGiven)
        if (const char* problem = presetfiles::titleProblem(s.o.title))
            return s.fail(ExitUsage, "--title '" + printable(s.o.title) + "': " + problem + "; nothing was sent");
    presetfiles::LocalPreset lop;
    if (int code = readLop(s, path, lop)) return code;
    presetfiles::Preset preset = lop.preset;
    if (s.o.titleGiven) {
        std::string why;
        std::optional<presetfiles::Preset> titled = presetfiles::Preset::check(lop.preset.record(), s.o.title, why);
        if (!titled) return s.fail(ExitUsage, "--title: " + why + "; nothing was sent");
        preset = *titled;
    }
    Composer composer;
    if (int code = loadEngine(s, composer)) return code;
    uint8_t record[ParamCount], image[protocol::ImageSize];
    if (int code = compose(s, composer, preset, record, image)) return code;
    if (int code = choosePedal(s)) return code;
    if (int code = requireRunning(s)) return code;

    if (!store) {
        if (!s.link.writePreview(image).ok()) return s.fail(ExitCommunication, s.linkError("Sending the preview"));
        s.result("Playing " + printable(lop.name) + " on " + s.serial + " (not stored)\n");
        return ExitOk;
    }
    presettransfer::PedalPresetLink presets(s.link);
    // Ended by a signal half way, the program still says what it may have left.
    setInterruptedText("orvella-cli: write interrupted: preset " + std::to_string(s.o.preset) +
                       " may hold a damaged copy: write it again\n");
    presettransfer::Outcome outcome =
        presettransfer::writeVerified(presets, s.o.preset - 1, record, preset.title(), image);
    setInterruptedText("");
    std::string which = "preset " + std::to_string(s.o.preset);
    const std::string damaged = which + " may now hold a damaged copy: write it again";
    switch (outcome.kind) {
    case presettransfer::Outcome::Done:
        if (outcome.retried)
            s.note("note: " + retryCause(outcome.retryCause, s.o.preset - 1) + "; stored again and verified");
        s.result("Preset " + std::to_string(s.o.preset) + " written and verified: " + printable(lop.name) + "\n");
        return ExitOk;
    case presettransfer::Outcome::EchoMismatch:
    case presettransfer::Outcome::ReadBackMismatch:
        if (outcome.code != 0)
            return s.fail(ExitCommunication, s.linkError("Storing " + which + " again") + "; " + damaged);
        return s.fail(ExitVerification, which + ": " + twiceText(outcome.kind) +
                                              "; check the pedal's power supply; " + damaged);
    case presettransfer::Outcome::ReadBackFailed:
        return s.fail(ExitCommunication, s.linkError("Reading " + which + " back") + "; " + damaged);
    default:
        // A store that broke off once bytes of it had reached the pedal may
        // have changed the preset; one that failed before did not.
        return s.fail(ExitCommunication,
                      s.linkError("Storing " + which) + (outcome.damagedCopy() ? "; " + damaged : std::string()));
    }
}

int backup(Session& s) {
    std::string path;
    bool named = !s.o.operands.empty();
    if (named) {
        path = s.o.operands[0];
    } else {
        std::string home = platform::env("HOMEDRIVE");
        std::time_t now = std::time(nullptr);
        path = presetfiles::backupPath(home, *std::localtime(&now));
        std::string folder = presetfiles::presetFolder(home);
        if (!platform::makeFolders(folder)) return s.fail(ExitFile, "cannot create the preset folder " + platform::shownPath(folder) + ": " + errnoText(errno));
    }
    if (int code = choosePedal(s)) return code;
    Output file(s, path);
    if (!file.isOpen()) return s.fail(ExitFile, "cannot write " + platform::shownPath(path) + ": " + errnoText(file.error()));
    if (int code = requireRunning(s)) return code;
    if (!s.link.readAll().ok()) return s.fail(ExitCommunication, s.linkError("Reading the presets"));
    if (!named) {
        // The day's backup name, as the editor's BACKUP gives it: a second
        // one of the day becomes "..._2.bkp", never replacing the first.
        std::string written;
        if (!file.file()->write(s.link.reply(), protocol::BankSize) || !file.file()->commitNew(written))
            return s.fail(ExitFile, "cannot write " + platform::shownPath(path) + ": " + errnoText(file.error()));
        s.result(written + "\n");
        return ExitOk;
    }
    if (!file.put(s.link.reply(), protocol::BankSize))
        return s.fail(ExitFile, "cannot write " + file.name() + ": " + errnoText(file.error()));
    file.tell(file.toStdout() ? "8 presets written to " + file.name() : platform::shownPath(path));
    return ExitOk;
}

int restore(Session& s) {
    const std::string& path = s.o.operands[0];
    const std::string shown = shownName(path);
    uint8_t bank[protocol::BankSize];
    long size = 0;
    int error = 0;
    presetfiles::BankStatus read = readBankInput(path, bank, size, error);
    switch (read) {
    case presetfiles::BankStatus::Ok: break;
    case presetfiles::BankStatus::CannotOpen: return s.fail(ExitFile, readError(path, error));
    case presetfiles::BankStatus::WrongSize:
        return s.fail(ExitFile, shown + " holds " + (error == EFBIG ? "more than 1 MiB" : std::to_string(size) + " bytes") +
                                    ", a backup exactly 192: not a backup, nothing was sent");
    }
    if (presetfiles::BankProblem bad = presetfiles::checkBank(bank))
        return s.fail(ExitFile, shown + ": preset " + std::to_string(bad.preset + 1) + ": " + bad.why +
                                    ": not a backup, nothing was sent");
    Composer composer;
    if (int code = loadEngine(s, composer)) return code;
    if (int code = choosePedal(s)) return code;
    if (int code = requireRunning(s)) return code;

    const double pauseBetweenPresets = 0.25;    // as the editor's restore
    auto composeRecord = [&](int, const uint8_t* bankRecord, uint8_t* record, uint8_t* image) {
        composer.engine->apply(bankRecord);
        std::memcpy(record, composer.engine->params(), ParamCount);
        std::memcpy(image, composer.engine->image(), protocol::ImageSize);
    };
    // What the pedal holds when the restore stops after `done` presets.
    auto storedText = [](int done) {
        return done == 0 ? std::string("restore interrupted: no preset was stored")
                         : "restore interrupted: " + presetRange(1, done) + " already stored";
    };
    // What a second signal, which ends the program during the next store, prints.
    auto abortText = [&](int done) {
        std::string text = "orvella-cli: " + storedText(done);
        if (done < protocol::PresetSlots) text += "; preset " + std::to_string(done + 1) + " may hold a damaged copy";
        return text + "\n";
    };
    auto progress = [&](int done) {
        s.progress.update("restore", done, protocol::PresetSlots);
        setInterruptedText(abortText(done));
        if (!interrupted) s.link.pause(pauseBetweenPresets);
    };
    // The program's own notes, not the editor's retry lines.
    auto retries = [&](presettransfer::Retry stage, int preset, presettransfer::Outcome::Kind cause) {
        if (stage == presettransfer::Retry::Fixed)
            s.note("note: " + retryCause(cause, preset) + "; stored again and verified");
    };
    s.progress.update("restore", 0, protocol::PresetSlots);
    setInterruptedText(abortText(0));
    stopsAtNextPreset = 1;
    StoppablePresetLink presets(s.link);
    presettransfer::Outcome outcome = presettransfer::restoreBank(
        presets, bank, composeRecord, progress, presettransfer::RetryFn(retries));
    stopsAtNextPreset = 0;
    const bool stoppedHere = (outcome.kind == presettransfer::Outcome::StoreFailed && !outcome.reached) ||
                             outcome.kind == presettransfer::Outcome::ReadAllFailed;
    if (interrupted && stoppedHere) {
        // Stopped between two presets (or before the final read-back): the
        // presets stored so far were each verified; the rest are untouched.
        std::string text = storedText(outcome.overwritten);
        if (outcome.overwritten < protocol::PresetSlots)
            text += "; " + presetRange(outcome.overwritten + 1, protocol::PresetSlots) + " unchanged";
        else
            text += " (not read back)";
        return s.fail(ExitInterrupted, text);
    }
    std::string which = "preset " + std::to_string(outcome.preset + 1);
    // Only a restore that stored some presets before it stopped says so.
    const std::string before = outcome.overwritten > 0 ? "; the presets before it are stored" : "";
    const std::string damaged = outcome.damagedCopy() ? "; " + which + " may now hold a damaged copy" : "";
    switch (outcome.kind) {
    case presettransfer::Outcome::Done:
        s.result("Restored 8 presets from " + shown + " (verified)\n");
        return ExitOk;
    case presettransfer::Outcome::StoreFailed:
        return s.fail(ExitCommunication, s.linkError("Storing " + which) + before + damaged);
    case presettransfer::Outcome::EchoMismatch:
    case presettransfer::Outcome::ReadBackMismatch:
        if (outcome.code != 0)
            return s.fail(ExitCommunication, s.linkError("Storing " + which + " again") + before + damaged);
        return s.fail(ExitVerification, which + ": " + twiceText(outcome.kind) + "; restore stopped there" + before +
                                              damaged);
    case presettransfer::Outcome::ReadBackFailed:
        return s.fail(ExitCommunication, s.linkError("Reading " + which + " back") + before + damaged);
    case presettransfer::Outcome::ReadAllFailed:
        return s.fail(ExitCommunication, s.linkError("Reading the presets back"));
    case presettransfer::Outcome::ReadAllMismatch: {
        std::string differ = presettransfer::presetList(outcome.differing);
        differ[0] = 'p';
        return s.fail(ExitVerification, differ + " read back differently from " + platform::shownPath(path) + "; restore again");
    }
    }
    return ExitOk;
}

int configGet(Session& s) {
    if (int code = choosePedal(s)) return code;
    if (int code = requireRunning(s)) return code;
    if (!s.link.getOneByte(protocol::GetConfig).ok())
        return s.fail(ExitCommunication, s.linkError("Reading the global configuration"));
    uint8_t config = s.link.reply()[0];
    s.result(s.o.json ? configJson(config) : configText(config));
    return ExitOk;
}

int configSet(Session& s) {
    if (int code = choosePedal(s)) return code;
    if (int code = requireRunning(s)) return code;
    uint8_t current = 0;
    if (s.o.left < 0 || s.o.right < 0 || s.o.midi < 0) {
        if (!s.link.getOneByte(protocol::GetConfig).ok())
            return s.fail(ExitCommunication, s.linkError("Reading the global configuration"));
        current = s.link.reply()[0];
    }
    uint8_t config = configByte(s.o.left >= 0 ? s.o.left : leftKnob(current),
                                s.o.right >= 0 ? s.o.right : rightKnob(current),
                                s.o.midi >= 0 ? s.o.midi : midiChannel(current));
    if (!s.link.oneByte(protocol::SetConfig, config).ok())
        return s.fail(ExitCommunication, s.linkError("Setting the global configuration"));
    if (!s.link.getOneByte(protocol::GetConfig).ok())
        return s.fail(ExitCommunication, s.linkError("Reading the global configuration back"));
    if (s.link.reply()[0] != config)
        return s.fail(ExitVerification, "the pedal's global configuration reads back differently from what was sent");
    s.result(configText(config));
    return ExitOk;
}

int updateFirmware(Session& s) {
    const std::string path = shownName(s.o.operands[0]);
    firmware::Package package;
    int error = 0;
    switch (readFirmware(s.o.operands[0], package, error)) {
    case firmware::ReadStatus::Ok: break;
    case firmware::ReadStatus::OpenFailed: return s.fail(ExitFile, readError(s.o.operands[0], error));
    case firmware::ReadStatus::NoVersion: return s.fail(ExitFile, path + " is empty: not a firmware package");
    case firmware::ReadStatus::ReadFailed: return s.fail(ExitFile, "cannot read " + path + ": " + errnoText(error));
    }
    if (package.payloadSize == 0) return s.fail(ExitFile, path + " holds no firmware after its notes: nothing was sent");
    std::string malformed = firmware::formatProblem(package);
    if (!malformed.empty())
        return s.fail(ExitFile, path + " is not a firmware package: " + malformed + "; nothing was sent");
    if (package.payloadSize > firmware::kMaxPayload)
        return s.fail(ExitFile, path + " holds " + std::to_string(package.payloadSize) +
                                    " bytes of firmware, more than the pedal's 65536: nothing was sent");
    if (int code = choosePedal(s)) return code;
    uint8_t st = 0;
    if (int code = readStatus(s, st)) return code;
    if (st & protocol::StatusRunning)
        return s.fail(ExitPedalMode, "pedal " + s.serial + " runs its firmware " + versionOf(st) +
                                         "; start it in update mode to update it");
    // An older firmware than the pedal's goes in only on request.
    const uint8_t versionBits = protocol::StatusVersionMask;
    if ((package.version & versionBits) < (st & versionBits) && !s.o.force)
        return s.fail(ExitFile, platform::shownPath(path) + " holds firmware " + firmware::versionText(package.version) +
                                    ", older than the pedal's " + versionOf(st) +
                                    ": nothing was sent (give --force to install it all the same)");
    long pages = firmware::pageCount(package.payloadSize);
    std::string version = firmware::versionText(package.version);
    s.progress.update("firmware " + version, 0, pages);
    firmware::PedalPageLink pageLink(s.link);
    firmware::Outcome outcome = firmware::sendFirmware(pageLink, package.payload, package.version, [&](float percent) {
        s.progress.update("firmware " + version, long(std::lround(percent * pages / 100.0)), pages);
    });
    std::string page = "page " + std::to_string(outcome.pagesVerified + 1) + " of " + std::to_string(pages);
    std::string advice = "; the pedal still waits for firmware: power it down and try again";
    switch (outcome.kind) {
    case firmware::Outcome::Complete: break;
    case firmware::Outcome::TransferFailed: return s.fail(ExitCommunication, s.linkError("Sending " + page) + advice);
    case firmware::Outcome::VerifyFailed:
        return s.fail(ExitVerification, page + ": the pedal's echo differed from the page sent; nothing more was sent" + advice);
    case firmware::Outcome::Empty:
    case firmware::Outcome::TooLarge: return s.fail(ExitFile, platform::shownPath(path) + " holds no firmware the pedal can take");
    }
    if (s.link.sendOneMessage(protocol::Resume) != PedalLink::Written)
        return s.fail(ExitCommunication, "firmware " + version + " is installed, but " + s.serial +
                                             " did not take the message to resume: power it down and up");
    s.result("Firmware " + version + " installed on " + s.serial + "; the pedal resumes normal operation\n");
    return ExitOk;
}

// --- render and ir ----------------------------------------------------------

// The record of the sound render and ir were given, and a name for it in messages.
int soundRecord(Session& s, uint8_t block[ParamCount], std::string& what) {
    if (!s.o.lop.empty()) {
        presetfiles::LocalPreset preset;
        if (int code = readLop(s, s.o.lop, preset)) return code;
        std::memcpy(block, preset.preset.record(), ParamCount);
        what = "local preset " + printable(preset.name);
        return ExitOk;
    }
    if (!s.o.backup.empty()) {
        uint8_t bank[protocol::BankSize];
        long size = 0;
        int error = 0;
        switch (readBankInput(s.o.backup, bank, size, error)) {
        case presetfiles::BankStatus::Ok: break;
        case presetfiles::BankStatus::CannotOpen: return s.fail(ExitFile, readError(s.o.backup, error));
        case presetfiles::BankStatus::WrongSize:
            return s.fail(ExitFile, shownName(s.o.backup) + " holds " +
                                        (error == EFBIG ? "more than 1 MiB" : std::to_string(size) + " bytes") +
                                        ", a backup exactly 192");
        }
        // Checked as restore checks it: a backup no pedal holds is none.
        if (presetfiles::BankProblem bad = presetfiles::checkBank(bank))
            return s.fail(ExitFile, shownName(s.o.backup) + ": preset " + std::to_string(bad.preset + 1) + ": " + bad.why +
                                        ": not a backup");
        std::memcpy(block, bank + ParamCount * (s.o.index - 1), ParamCount);
        what = "preset " + std::to_string(s.o.index) + " (" +
               printable(titleText(bank + ParamCount * protocol::PresetSlots + protocol::TitleSize * (s.o.index - 1))) +
               ") of " + shownName(s.o.backup);
        return ExitOk;
    }
    if (int code = choosePedal(s)) return code;
    if (int code = requireRunning(s)) return code;
    uint8_t reply[protocol::PresetReplySize];
    if (int code = readPresetCommand(s, reply)) return code;
    std::memcpy(block, reply, ParamCount);
    what = "preset " + std::to_string(s.o.preset) + " (" + printable(titleText(reply + 12)) + ") of " + s.serial;
    return ExitOk;
}

wav::Format formatOf(const std::string& name) {
    return name == "16" ? wav::Format::Int16 : name == "float" ? wav::Format::Float32 : wav::Format::Int24;
}

// Writes both outputs into the opened file; rate: the file's.
int writeStereo(Session& s, Output& file, const audio::Stereo& sound, int rate) {
    wav::Audio out;
    out.rate = rate;
    out.channels = 2;
    out.samples.resize(sound.frames() * 2);
    for (size_t i = 0; i < sound.frames(); ++i) {
        out.samples[2 * i] = sound.left[i];
        out.samples[2 * i + 1] = sound.right[i];
    }
    const std::vector<uint8_t> bytes = wav::encode(out, formatOf(s.o.format));
    if (!file.put(bytes.data(), bytes.size()))
        return s.fail(ExitFile, "cannot write " + file.name() + ": " + errnoText(file.error()));
    return ExitOk;
}

// The output file opened and the sound the options name loaded into the
// engine, for render and ir; `what` names the sound for the result line.
int openOutputAndSound(Session& s, const std::string& path, Output& file, Composer& composer, std::string& what) {
    if (!file.isOpen()) return s.fail(ExitFile, "cannot write " + shownName(path) + ": " + errnoText(file.error()));
    if (int code = loadEngine(s, composer)) return code;
    uint8_t block[ParamCount];
    if (int code = soundRecord(s, block, what)) return code;
    composer.engine->apply(block);
    return ExitOk;
}

int renderCommand(Session& s) {
    const std::string& in = s.o.operands[0];
    const std::string& path = s.o.operands[1];
    std::vector<float> di;
    std::string error;
    if (!loadDi(in, di, error)) return s.fail(ExitFile, error);
    Output file(s, path);
    Composer composer;
    std::string what;
    if (int code = openOutputAndSound(s, path, file, composer, what)) return code;
    // Seconds of audio done of the recording and the tail it may take.
    const double length = double(di.size() + audio::TailQuietFrames) / audio::PedalRate;
    audio::Rendered rendered = audio::renderSound(composer.engine->image(), di, [&](double done) {
        s.progress.update("render", done * length, length, Unit::Seconds);
        return true;
    });
    audio::Stereo& sound = rendered.sound;
    if (s.o.rate != audio::PedalRate) {
        sound.left = audio::resample(sound.left, audio::PedalRate, s.o.rate);
        sound.right = audio::resample(sound.right, audio::PedalRate, s.o.rate);
    }
    if (int code = writeStereo(s, file, sound, s.o.rate)) return code;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", double(sound.frames()) / s.o.rate);
    if (rendered.clipped) {
        char clip[96];
        std::snprintf(clip, sizeof clip, "note: %zu samples clipped at full scale (peak %.2f dBFS)", rendered.clipped,
                      20 * std::log10(double(rendered.peak)));
        s.note(clip);
    }
    file.tell(shownName(in) + " through " + what + " written to " + file.name() + " (" + seconds + " s)");
    return ExitOk;
}

int irCommand(Session& s) {
    const std::string& path = s.o.operands[0];
    Output file(s, path);
    Composer composer;
    std::string what;
    if (int code = openOutputAndSound(s, path, file, composer, what)) return code;
    audio::IrOptions options;
    options.rate = s.o.rate;
    options.normalise = s.o.normalise;
    options.integer = formatOf(s.o.format) != wav::Format::Float32;
    audio::IrInfo info;
    const audio::Stereo ir = audio::impulseResponse(composer.engine->image(), options, &info);
    if (int code = writeStereo(s, file, ir, s.o.rate)) return code;
    file.tell("Impulse response of " + what + " written to " + file.name() + " (" + std::to_string(ir.frames()) +
              " frames at " + std::to_string(s.o.rate) + " Hz" + audio::irNotes(info, s.o.rate) + ")");
    return ExitOk;
}

}  // namespace

void catchInterrupts() {
#ifdef _WIN32
    // Ctrl-C and Ctrl-Break reach a console program as these two.
    for (int signal : {SIGINT, SIGTERM}) std::signal(signal, onInterrupt);
#else
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &sa, nullptr);
#endif
}

int run(const Options& options, std::FILE* out, std::FILE* err, bool errIsTerminal) {
    Session s(options, out, err, errIsTerminal);
    const std::string& c = options.command;
    if (c == "list") return listPedals(s);
    if (c == "status") return status(s);
    if (c == "read") return read(s);
    if (c == "export") return exportPreset(s);
    if (c == "write") return writeOrPreview(s, true);
    if (c == "preview") return writeOrPreview(s, false);
    if (c == "backup") return backup(s);
    if (c == "restore") return restore(s);
    if (c == "config get") return configGet(s);
    if (c == "config set") return configSet(s);
    if (c == "firmware") return updateFirmware(s);
    if (c == "render") return renderCommand(s);
    if (c == "ir") return irCommand(s);
    return s.fail(ExitUsage, "unknown command '" + c + "'");
}

}  // namespace cli
