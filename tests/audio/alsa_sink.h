// A sound card made of ALSA's own plugins for the playback tests: the default
// device is the "file" plugin over the "null" device, writing into a named
// pipe that this class reads at 48 kHz, as a converter would take the samples.
// Must be set up before the process first opens the audio system.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

class AlsaSink {
public:
    AlsaSink();
    ~AlsaSink();
    bool ready() const { return ready_; }
    // The first `frames` interleaved stereo frames played, once taken (fewer
    // when the output stalls for ten seconds).
    std::vector<float> take(std::size_t frames);
    uint64_t framesTaken() const { return taken_.load(); }

private:
    void readLoop();
    std::string dir_, fifo_;
    bool ready_ = false;
    int fd_ = -1;
    std::atomic<bool> quit_{false};
    std::atomic<uint64_t> taken_{0};
    std::vector<float> data_;
    std::thread reader_;
};
