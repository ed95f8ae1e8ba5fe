// Runs the orvella-cli program as a script would, for the tests: its exit
// status, standard output and standard error.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace clitest {

struct CliResult {
    int code = -1;          // exit status; -1 when it did not exit normally
    int signal = 0;         // the signal that ended it, if one did
    std::string out, err;
    // The lines of standard error.
    std::vector<std::string> errLines() const;
};

// Runs orvella-cli with args (plus "--data" and the source tree's data
// folder when withData) in the current environment.
CliResult runCli(const std::vector<std::string>& args, bool withData = true);

// The same with standard input read from the file `input`.
CliResult runCliWithInput(const std::vector<std::string>& args, const std::string& input);

// Where standard output or error goes: captured into the result, closed, a
// device that is always full, or a pipe whose reader is gone (with SIGPIPE
// as a shell leaves it).
enum class Sink { Captured, Closed, Full, ClosedPipe };
CliResult runCliTo(const std::vector<std::string>& args, Sink out, Sink err);

class TempFolder;
// orvella-cli started without waiting for it (standard input from `input`,
// or /dev/null when empty); finish() waits and collects its output.
class CliProcess {
public:
    // `user`: the user (and group) id to run as, when not negative (needs root).
    explicit CliProcess(const std::vector<std::string>& args, const std::string& input = std::string(),
                        bool withData = true, int user = -1, Sink out = Sink::Captured, Sink err = Sink::Captured);
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;
    int pid() const { return pid_; }
    CliResult finish();

private:
    std::unique_ptr<TempFolder> capture_;
    std::string outPath_, errPath_;
    int pid_ = -1;
};

std::string readFile(const std::string& path);
bool writeFile(const std::string& path, const std::string& bytes);
// A fresh temporary folder, removed with its contents by the destructor.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The data folder of the source tree (holding "bin").
std::string dataFolder();

}  // namespace clitest
