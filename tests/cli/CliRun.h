// Runs the orvella-cli program as a script would, for the tests: its exit
// status, standard output and standard error.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace clitest {

struct CliResult {
    int code = -1;          // exit status; -1 when it did not exit normally
    std::string out, err;
    // The lines of standard error.
    std::vector<std::string> errLines() const;
};

// Runs orvella-cli with args (plus "--data" and the source tree's data
// folder when withData) in the current environment.
CliResult runCli(const std::vector<std::string>& args, bool withData = true);

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
