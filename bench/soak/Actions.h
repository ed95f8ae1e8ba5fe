// The soak's actions: what a user, a script and the world around them do to
// the editor, orvella-cli, the virtual pedals and the files, one step each.
// An action carries every random choice it needs, so a list of actions
// replays the same session without its seed (which is what shrinking needs).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace soak {

enum class Op {
    // The editor's window, driven by clicks and keys.
    Read, Write, Title, Click, Backup, Restore, SaveLocal, ChooseLocal, ImportLocal, RemoveLocal,
    OpenConfig, ConfigConfirm, ConfigCancel, FactoryReset, Connect, SelectPedal, SelectConfirm, RestartEditor, Audition,
    // orvella-cli, as a script runs it.
    CliWrite, CliBackup, CliRestore, CliExport, CliConfig, CliStatus, CliFirmware, CliPair,
    CliClosed, CliStdio,    // a command with standard streams closed; "-" as a file of ir
    // The world: faults, cables, power, other people's files.
    Fault, Unplug, Replug, KillPedal, Corrupt, SecondPedal,
};

struct Action {
    Action() = default;
    explicit Action(Op o, int a_ = 0, int b_ = 0, int c_ = 0, std::string t = std::string())
        : op(o), a(a_), b(b_), c(c_), text(std::move(t)) {}
    Op op = Op::Read;
    int a = 0, b = 0, c = 0;     // preset, choice, pedal (0 A, 1 B), position... per op
    std::string text;            // a file name, a title, a fault
    int killAfterMs = 0;         // > 0: the pedal (editor ops) or the program (CLI ops) is killed this late
    int killSignal = 0;          // CLI ops: SIGINT or SIGKILL
};

// One line, enough to replay the action by hand ("cli-write preset 3 Good.lop --title 'Soak'").
std::string describe(const Action& action);
// The files a session offers (in its files folder); the generator names them.
extern const std::vector<std::string> offeredFiles;
// Faults the virtual pedal knows, one chosen per Fault action ("" clears them).
extern const std::vector<std::string> faultChoices;
// count actions from the seed.
std::vector<Action> generate(uint32_t seed, int count);
// True for the actions that inject a fault (for the figures).
bool injectsFault(const Action& action);

}  // namespace soak
