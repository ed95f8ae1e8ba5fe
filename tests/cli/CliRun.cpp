#include "tests/cli/CliRun.h"

#include <fcntl.h>
#include <signal.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace clitest {

std::vector<std::string> CliResult::errLines() const {
    std::vector<std::string> lines;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return bool(out.flush());
}

TempFolder::TempFolder() {
    char pattern[] = "/tmp/orvella-cli-test-XXXXXX";
    path_ = mkdtemp(pattern) ? pattern : "";
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string dataFolder() { return ORVELLA_DATA_DIR; }

CliProcess::CliProcess(const std::vector<std::string>& args, const std::string& input, bool withData, int user,
                       Sink outSink, Sink errSink)
    : capture_(new TempFolder) {
    outPath_ = capture_->path() + "/out";
    errPath_ = capture_->path() + "/err";
    std::vector<std::string> all = {ORVELLA_CLI_PROGRAM};
    if (withData) all.insert(all.end(), {"--data", dataFolder()});
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    std::string inPath = input.empty() ? "/dev/null" : input;
    pid_ = fork();
    if (pid_ == 0) {
        int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int in = open(inPath.c_str(), O_RDONLY);
        if (out < 0 || err < 0 || in < 0) _exit(127);
        dup2(in, 0);
        signal(SIGPIPE, SIG_DFL);
        for (auto sink : {std::make_pair(1, outSink), std::make_pair(2, errSink)}) {
            int pipes[2];
            switch (sink.second) {
            case Sink::Captured: dup2(sink.first == 1 ? out : err, sink.first); break;
            case Sink::Closed: close(sink.first); break;
            case Sink::Full: dup2(open("/dev/full", O_WRONLY), sink.first); break;
            case Sink::ClosedPipe:
                if (pipe(pipes) != 0) _exit(127);
                close(pipes[0]);
                dup2(pipes[1], sink.first);
                break;
            }
        }
        for (int fd = 3; fd < 64; ++fd) close(fd);    // the numbers a closed stream could lend
        if (user >= 0 && (setgroups(0, nullptr) != 0 || setgid(gid_t(user)) != 0 || setuid(uid_t(user)) != 0)) _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
}

CliProcess::~CliProcess() {
    if (pid_ > 0) finish();
}

CliResult CliProcess::finish() {
    CliResult result;
    int status = 0;
    if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) {
        if (WIFEXITED(status)) result.code = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    }
    pid_ = -1;
    result.out = readFile(outPath_);
    result.err = readFile(errPath_);
    return result;
}

CliResult runCli(const std::vector<std::string>& args, bool withData) {
    return CliProcess(args, std::string(), withData).finish();
}

CliResult runCliTo(const std::vector<std::string>& args, Sink out, Sink err) {
    return CliProcess(args, std::string(), true, -1, out, err).finish();
}

CliResult runCliWithInput(const std::vector<std::string>& args, const std::string& input) {
    return CliProcess(args, input).finish();
}

}  // namespace clitest
