// One soak session: a private home, one or two virtual pedals, the real
// window and orvella-cli, driven through a list of actions with the oracle
// after each. Also the shrinking of a failing list and the figures.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bench/soak/Actions.h"

namespace soak {

struct Figures {
    long sessions = 0, actions = 0, faults = 0, claims = 0, violations = 0;
};

struct Failure {
    int index = -1;             // the action after which the oracle objected; -1: none
    std::string violation;      // "rule: detail"
    std::string rule() const { return violation.substr(0, violation.find(':')); }
    explicit operator bool() const { return index >= 0; }
};

// Runs the actions in a fresh session and returns the first violation.
// Each action must end within its time limit, else the process ends with the
// seed and the actions so far on standard error (as it does on a crash).
// keepGoing: print every violation and go on to the end (for surveys).
// onlyRule: report only a violation of that rule ("prompts"), pass over the others.
Failure runSession(uint32_t seed, const std::vector<Action>& actions, Figures& figures, bool verbose = false,
                   bool keepGoing = false, const std::string& onlyRule = std::string());

// The shortest list found (removing chunks, then single actions) for which
// fails() still holds, within budget runs of fails().
std::vector<Action> shrink(std::vector<Action> actions, const std::function<bool(const std::vector<Action>&)>& fails,
                           int budget);

// A seed's session, shrunk when it fails: "" when every claim held, else the
// report (seed, violation, shortest action list).
std::string soakSeed(uint32_t seed, int actionCount, Figures& figures, int shrinkBudget, bool verbose = false,
                     const std::string& onlyRule = std::string());

}  // namespace soak
