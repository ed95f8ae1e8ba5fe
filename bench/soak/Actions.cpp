#include "bench/soak/Actions.h"

#include <csignal>
#include <random>

namespace soak {

const std::vector<std::string> offeredFiles = {
    "mine.bkp", "other.bkp", "linked.bkp", "private.bkp", "short.bkp",   // backups (linked is a symlink, private 0600)
    "Good.lop", "Wide.lop", "linked.lop", "Bell.lop",                      // local presets (Wide: speakers 250/251; Bell: title byte 0x07)
    "update.fdt", "notes.txt",                                             // a firmware package and a licence text
};

const std::vector<std::string> faultChoices = {
    "", "", "no-reply", "short-reply", "corrupt-echo", "corrupt-echo-always", "slow-reply=0.6", "slow-reply=1.5",
    "stuck-tx", "unplug", "keep-wrong-record",
};

namespace {

const char* const names[] = {
    "read", "write", "title", "click", "backup", "restore", "save-local", "choose-local", "import-local",
    "remove-local", "open-config", "config-confirm", "config-cancel", "factory-reset", "connect", "select-pedal",
    "select-confirm", "restart-editor", "audition", "cli-write", "cli-backup", "cli-restore", "cli-export", "cli-config",
    "cli-status", "cli-firmware", "cli-pair", "cli-closed", "cli-stdio", "fault", "unplug", "replug", "kill-pedal", "corrupt", "second-pedal",
};

// How often each op comes up, in the order of Op.
const int weights[] = {
    6, 7, 3, 6, 3, 4, 3, 3, 3, 2, 3, 3, 2, 1, 3, 2, 3, 1, 3,
    4, 3, 3, 2, 2, 2, 2, 1, 1, 1,
    6, 1, 2, 1, 2, 1,
};

const std::vector<std::string> titles = {"Soak", "Clean", "TwelveChars!", "Café Tone", "x"};
const std::vector<std::string> localNames = {"Clean", "Lead", "Bass_2"};

}  // namespace

std::string describe(const Action& x) {
    std::string s = names[static_cast<int>(x.op)];
    s += " a=" + std::to_string(x.a) + " b=" + std::to_string(x.b) + " c=" + std::to_string(x.c);
    if (!x.text.empty()) s += " '" + x.text + "'";
    if (x.killAfterMs) s += " kill after " + std::to_string(x.killAfterMs) + " ms" +
                            (x.killSignal == SIGINT ? " (SIGINT)" : x.killSignal == SIGKILL ? " (SIGKILL)" : "");
    return s;
}

bool injectsFault(const Action& x) {
    return x.op == Op::Fault || x.op == Op::Unplug || x.op == Op::KillPedal || x.op == Op::Corrupt ||
           x.killAfterMs > 0;
}

std::vector<Action> generate(uint32_t seed, int count) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::discrete_distribution<int> opOf(std::begin(weights), std::end(weights));
    auto fileWith = [&](const char* suffix) {
        std::vector<std::string> fit;
        for (const std::string& f : offeredFiles)
            if (f.size() > 4 && f.compare(f.size() - 4, 4, suffix) == 0) fit.push_back(f);
        return fit[pick(static_cast<int>(fit.size()))];
    };
    std::vector<Action> list;
    for (int i = 0; i < count; ++i) {
        Action x;
        x.op = static_cast<Op>(opOf(rng));
        x.a = pick(8);
        x.b = pick(3);
        x.c = pick(4) == 0 ? 1 : 0;     // pedal B now and then
        switch (x.op) {
        case Op::Title: x.text = titles[pick(4)]; break;           // the editor never takes the non-ASCII one
        case Op::Click: x.a = 10 + pick(810); x.b = 96 + pick(330); break;
        case Op::SaveLocal: x.text = localNames[pick(3)]; break;
        case Op::ConfigConfirm: x.a = pick(3); x.b = pick(3); x.c = pick(16); break;
        case Op::Restore: case Op::CliRestore: x.text = fileWith(".bkp"); break;
        case Op::CliPair: x.text = fileWith(".bkp"); break;
        case Op::ImportLocal: x.text = fileWith(".lop"); break;
        case Op::CliWrite: x.text = fileWith(".lop"); x.b = pick(titles.size() + 1); break;
        case Op::CliExport: x.text = pick(2) ? "linked.lop" : "export.lop"; break;
        case Op::CliBackup: x.text = pick(3) == 0 ? "" : fileWith(".bkp"); break;
        case Op::CliConfig: x.a = pick(3); x.b = pick(3); x.c = pick(16); x.text = pick(2) ? "left" : ""; break;
        case Op::CliClosed: x.b = 1 + pick(3); x.c = pick(2); break;    // b: 1 out, 2 error, 3 both; c: read or export -
        case Op::CliStdio: x.text = pick(2) ? fileWith(".lop") : fileWith(".bkp"); x.b = pick(2); break;   // b: out to -
        case Op::CliFirmware: x.text = pick(3) == 0 ? "notes.txt" : "update.fdt"; x.c = pick(3) ? 1 : 0; break;
        case Op::Fault: x.text = faultChoices[pick(static_cast<int>(faultChoices.size()))]; break;
        case Op::Corrupt: x.text = offeredFiles[pick(static_cast<int>(offeredFiles.size()))]; x.a = pick(200); break;
        case Op::SecondPedal: x.b = pick(2); break;                   // 1: it waits for a firmware update
        case Op::Audition: x.a = 1 + pick(58); x.b = 1 + pick(3); x.c = pick(3) == 0; break;   // c: click below the charts
        default: break;
        }
        // Now and then the pedal loses power, or the script is stopped, half-way.
        bool pedalOp = x.op == Op::Write || x.op == Op::Restore || x.op == Op::FactoryReset || x.op == Op::Backup;
        bool cliOp = x.op == Op::CliWrite || x.op == Op::CliBackup || x.op == Op::CliRestore || x.op == Op::CliExport;
        if ((pedalOp || cliOp) && pick(6) == 0) {
            x.killAfterMs = 50 + pick(2500);
            if (cliOp) x.killSignal = pick(2) ? SIGINT : SIGKILL;
        }
        list.push_back(x);
    }
    return list;
}

}  // namespace soak
