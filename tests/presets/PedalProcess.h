// A virtual pedal program run by a test: started with its registration in
// the test's pedal folder, ready once it has printed its serial and port,
// stopped (and unregistered) at the end. Its state, command log and faults
// file are the test's window into what reached the pedal.
#pragma once

#include "PedalState.h"
#include "link/PedalRegistry.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace presettest {

class PedalProcess {
public:
    PedalProcess(const std::string& folder, const std::string& serial, std::vector<std::string> extra = {})
        : folder_(folder), serial_(serial) {
        std::vector<std::string> args = {ORVELLA_PEDAL_PROGRAM, "--dir", folder, "--serial", serial};
        args.insert(args.end(), extra.begin(), extra.end());
        int out[2];
        if (pipe(out) != 0) return;
        pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            // A test that dies without its destructors (a crash, a lost display)
            // takes its pedal along, which would otherwise hold the test
            // runner's output open and keep it waiting.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != parent) _exit(127);
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(&a[0]);
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        // Ready once it has registered itself and printed "SERIAL PORT".
        FILE* in = fdopen(out[0], "r");
        char line[256];
        ready_ = in && std::fgets(line, sizeof line, in) != nullptr;
        if (in) std::fclose(in);
    }
    ~PedalProcess() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    PedalProcess(const PedalProcess&) = delete;
    PedalProcess& operator=(const PedalProcess&) = delete;

    bool ready() const { return ready_; }
    void unplug() const { kill(pid_, SIGUSR1); }    // unregisters and closes its port
    std::string base() const { return pedalregistry::fileFor(folder_, serial_); }
    PedalState state() const {
        PedalState s;
        std::string error;
        EXPECT_TRUE(s.load(base() + ".state", error)) << error;
        return s;
    }
    std::vector<std::string> commands() const {     // the command log without time stamps and "#" notes
        std::ifstream in(base() + ".log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            size_t text = line.find(' ');       // after the time stamp
            if (text != std::string::npos && line.compare(text + 1, 1, "#") != 0) lines.push_back(line.substr(text + 1));
        }
        return lines;
    }
    // A preview gets no reply, so the editor moves on before the pedal has
    // taken it: wait (at most ten seconds, for a busy machine) until the log
    // holds count commands.
    bool waitForCommands(size_t count) const {
        for (int i = 0; i < 1000 && commands().size() < count; ++i) usleep(10000);
        return commands().size() >= count;
    }
    // The same for the image the pedal plays.
    bool waitUntilPlaying(const uint8_t* image) const {
        for (int i = 0; i < 1000; ++i) {
            PedalState s;
            std::string error;
            if (s.load(base() + ".state", error) && std::memcmp(s.playing, image, 512) == 0) return true;
            usleep(10000);
        }
        return false;
    }
    void setFaults(const std::string& text) const {
        std::ofstream(base() + ".faults", std::ios::trunc) << text << "\n";
    }

private:
    std::string folder_, serial_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

}  // namespace presettest
