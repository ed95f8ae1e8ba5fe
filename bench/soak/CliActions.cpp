// orvella-cli's actions: the commands a script runs against a pedal, each
// in a child process with its own streams, killed part-way when the action
// says so.
#include "bench/soak/SessionInternal.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace soak {

void Session::cli(const Action& x, Step& step) {
    step.cli = true;
    testpedal::VirtualPedal* p = x.op == Op::CliFirmware && x.c ? pedal(1) : pedal(0);
    if (!p) p = pedals_[0].get();
    step.target = p->serial();
    PedalState st;
    bool haveState = p->state(st);
    std::vector<std::string> args = {"--pedal", p->serial(), "--data", dataDir, "--quiet"};
    std::vector<std::vector<std::string>> runs;
    switch (x.op) {
    case Op::CliWrite: {
        step.preset = x.a;
        step.file = file(x.text);
        presetfiles::LocalPreset lop;
        step.fileValid = decodeOffered(fromFile(step.file), lop);
        if (step.fileValid) {
            composer_.compose(lop.preset.record(), step.record, step.image);
            step.title = str(lop.preset.title(), 12);
        }
        runs.push_back({"write", std::to_string(x.a + 1), step.file});
        static const char* const titles[] = {"Soak", "Clean", "TwelveChars!", "Café Tone", "x"};
        if (x.b < 5) {
            runs.back().insert(runs.back().end(), {"--title", titles[x.b]});
            // The title as given: one the editor's rule refuses must not be stored as something else.
            step.title = std::string(titles[x.b]).substr(0, 12);
            step.title.resize(12, ' ');
        }
        break;
    }
    case Op::CliBackup:
        step.file = x.text.empty() ? "" : file(x.text);
        runs.push_back({"backup"});
        if (!step.file.empty()) runs.back().push_back(step.file);
        break;
    case Op::CliRestore: case Op::CliPair:
        step.file = file(x.text);
        step.banks = {composedBank(fromFile(step.file))};
        runs.push_back({"restore", step.file});
        if (x.op == Op::CliPair) {
            std::string second = file(x.text == "mine.bkp" ? "other.bkp" : "mine.bkp");
            step.banks.push_back(composedBank(fromFile(second)));
            runs.push_back({"restore", second});
        }
        break;
    case Op::CliExport:
        step.preset = x.a;
        step.file = file(x.text);
        runs.push_back({"export", std::to_string(x.a + 1), step.file});
        break;
    case Op::CliConfig: {
        static const char* const knobs[] = {"mic", "blend", "volume"};
        runs.push_back({"config", "set", "--left", knobs[x.a]});
        if (x.text.empty()) runs.back().insert(runs.back().end(), {"--right", knobs[x.b], "--midi", std::to_string(x.c + 1)});
        uint8_t current = haveState ? st.globalConfig : 0;
        step.config = x.text.empty() ? (x.a << 6) | (x.b << 4) | x.c : (x.a << 6) | (current & 0x3F);
        break;
    }
    case Op::CliStatus: runs.push_back({"status"}); break;
    case Op::CliClosed:
        // The link's lines on standard error, the results on standard output.
        step.preset = x.a;
        runs.push_back({"-v", "read", std::to_string(x.a + 1)});
        if (x.c) runs.back() = {"-v", "export", std::to_string(x.a + 1), "-", "--name", "Soak"};
        break;
    case Op::CliStdio: {
        // The sound's file on standard input, the WAV file to "-" or a file.
        step.file = file(x.text);
        std::string bytes = fromFile(step.file);
        presetfiles::LocalPreset lop;
        const bool backup = x.text.size() > 4 && x.text.compare(x.text.size() - 4, 4, ".bkp") == 0;
        step.fileValid = backup ? bytes.size() == 192
                                : presetfiles::decodeLop({bytes.begin(), bytes.end()}, lop) == presetfiles::LopStatus::Ok;
        runs.push_back({"ir", x.b ? "-" : env_->root + "/ir.wav", backup ? "--backup" : "--lop", "-"});
        if (backup) runs.back().insert(runs.back().end(), {"--index", std::to_string(x.a + 1)});
        break;
    }
    case Op::CliFirmware: {
        step.file = file(x.text);
        std::string bytes = fromFile(step.file);
        // Only the package as offered counts: the old size check (661 of its 662 bytes) failed every install.
        step.fileValid = x.text == "update.fdt" && bytes == firmwarePackage();
        step.config = 0x23;     // 'Z' names version byte 90 - 55
        runs.push_back({"firmware", step.file});
        break;
    }
    default: break;
    }
    for (auto& r : runs) r.insert(r.begin(), args.begin(), args.end());
    std::vector<CliRun> done = runClis(runs, x);
    for (const CliRun& r : done) step.said += r.said;
    if (const char* locks = std::getenv("ORVELLA_LOCK_DIR"))
        for (const auto& lock : readFolders({locks})) step.lockNotes.push_back(lock.second.bytes);
    step.dashFile = access((env_->root + "/work/-").c_str(), F_OK) == 0;
    unlink((env_->root + "/work/-").c_str());
    step.killedHard = done.front().killedHard;
    step.exitCode = done.front().code;
    // A pair succeeds for the oracle when either run says so; its failure text is both runs'.
    if (done.size() > 1 && done[1].code == 0) step.exitCode = 0;
}

std::vector<CliRun> Session::runClis(const std::vector<std::vector<std::string>>& runs, const Action& x) {
    std::vector<pid_t> pids;
    std::vector<std::string> outs;
    for (size_t i = 0; i < runs.size(); ++i) {
        std::string out = env_->root + "/cli-" + std::to_string(i) + ".out";
        outs.push_back(out);
        pid_t pid = fork();
        if (pid == 0) {
            // Not freopen: it would flush this process's buffered output a second time.
            int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd < 0 || dup2(fd, 1) < 0 || dup2(fd, 2) < 0) _exit(127);
            // In a folder of its own, where a file named "-" would show;
            // the sound's file of cli-stdio on standard input; the streams
            // cli-closed closes (and no descriptor they could borrow).
            const std::string work = env_->root + "/work";
            mkdir(work.c_str(), 0755);
            if (chdir(work.c_str()) != 0) _exit(127);
            int in = open(x.op == Op::CliStdio ? file(x.text).c_str() : "/dev/null", O_RDONLY);
            if (in < 0 || dup2(in, 0) < 0) _exit(127);
            for (int closed = 3; closed < 64; ++closed) close(closed);
            if (x.op == Op::CliClosed) {
                if (x.b & 1) close(1);
                if (x.b & 2) close(2);
            }
            std::vector<std::string> a = runs[i];
            a.insert(a.begin(), ORVELLA_CLI_PROGRAM);
            std::vector<char*> argv;
            for (std::string& s : a) argv.push_back(&s[0]);
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        pids.push_back(pid);
    }
    // Children are reaped here only, so a pid signalled is always still ours.
    std::vector<CliRun> done(runs.size());
    std::vector<bool> reaped(runs.size(), false);
    size_t left = pids.size();
    bool signalled = x.killAfterMs == 0;
    const auto start = std::chrono::steady_clock::now();
    while (left > 0) {
        for (size_t i = 0; i < pids.size(); ++i) {
            int st = 0;
            if (reaped[i] || waitpid(pids[i], &st, WNOHANG) != pids[i]) continue;
            reaped[i] = true;
            --left;
            done[i].code = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
            done[i].killedHard = WIFSIGNALED(st) && WTERMSIG(st) == SIGKILL;
        }
        if (!signalled && std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(x.killAfterMs)) {
            if (!reaped[0]) kill(pids[0], x.killSignal);
            signalled = true;
        }
        if (left > 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (size_t i = 0; i < outs.size(); ++i) done[i].said = fromFile(outs[i]);
    return done;
}

}  // namespace soak
