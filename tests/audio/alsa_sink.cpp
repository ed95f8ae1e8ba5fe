#include "tests/audio/alsa_sink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {
std::mutex dataLock;
constexpr int kRate = 48000;
constexpr std::size_t kChunk = 256;     // frames a read takes
}  // namespace

AlsaSink::AlsaSink() {
    char pattern[] = "/tmp/orvella-alsa-XXXXXX";
    if (!mkdtemp(pattern)) return;
    dir_ = pattern;
    fifo_ = dir_ + "/played.raw";
    if (mkfifo(fifo_.c_str(), 0600) != 0) return;
    FILE* rc = std::fopen((dir_ + "/.asoundrc").c_str(), "w");
    if (!rc) return;
    std::fprintf(rc, "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"%s\"\n  format \"raw\"\n}\n",
                 fifo_.c_str());
    std::fclose(rc);
    // ALSA reads ~/.asoundrc; nothing else of the user's configuration applies.
    setenv("HOME", dir_.c_str(), 1);
    unsetenv("ALSA_CONFIG_PATH");
    setenv("JACK_NO_START_SERVER", "1", 1);
    fd_ = open(fifo_.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd_ < 0) return;
    // A small pipe: what waits in it is latency a real device would not add.
    fcntl(fd_, F_SETPIPE_SZ, 4096);
    fcntl(fd_, F_SETFL, 0);
    ready_ = true;
    reader_ = std::thread(&AlsaSink::readLoop, this);
}

AlsaSink::~AlsaSink() {
    quit_ = true;
    if (reader_.joinable()) reader_.join();
    if (fd_ >= 0) close(fd_);
    if (!fifo_.empty()) unlink(fifo_.c_str());
    if (!dir_.empty()) {
        unlink((dir_ + "/.asoundrc").c_str());
        rmdir(dir_.c_str());
    }
}

void AlsaSink::readLoop() {
    using clock = std::chrono::steady_clock;
    std::vector<float> chunk(kChunk * 2);
    clock::time_point start{};
    bool started = false;
    uint64_t frames = 0;
    while (!quit_) {
        // Before the writer opens the pipe, reads return 0 at once: wait a little.
        std::size_t got = 0;
        auto* bytes = reinterpret_cast<char*>(chunk.data());
        while (got < chunk.size() * sizeof(float) && !quit_) {
            const ssize_t n = read(fd_, bytes + got, chunk.size() * sizeof(float) - got);
            if (n > 0) {
                got += std::size_t(n);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        if (got < chunk.size() * sizeof(float)) break;
        if (!started) {
            start = clock::now();
            started = true;
        }
        {
            std::lock_guard<std::mutex> hold(dataLock);
            data_.insert(data_.end(), chunk.begin(), chunk.end());
        }
        frames += kChunk;
        taken_ = frames;
        // Take the next chunk when a 48 kHz converter would have played this one.
        std::this_thread::sleep_until(start + std::chrono::microseconds(frames * 1000000 / kRate));
    }
}

std::vector<float> AlsaSink::take(std::size_t frames) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (taken_.load() < frames && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::lock_guard<std::mutex> hold(dataLock);
    return std::vector<float>(data_.begin(), data_.begin() + std::min(data_.size(), frames * 2));
}
