// Plays a DI clip through a sound on an audio output, looping. A thread of its
// own renders ahead of the output in blocks; the output's callback takes the
// blocks from a single-producer single-consumer ring through two atomic
// counters, so it never allocates, locks or waits. A new sound is heard from
// the next block rendered, crossfaded over one block from the old one.
// Plain C++.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_device.h"
#include "dsp/DspIsa.h"

class DspInterpreter;

namespace audio {

class Player {
public:
    static constexpr std::size_t BlockFrames = 256;      // 5.3 ms; also the crossfade (audio/crossfade.h)
    static constexpr std::size_t RingFrames = 8192;      // a power of two
    // aheadFrames: how far rendering runs ahead of the output (at most
    // RingFrames); it adds to the time a change takes to be heard.
    explicit Player(std::unique_ptr<AudioDevice> device, std::size_t aheadFrames = 1024);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Starts looping clip (mono, 48 kHz, not empty) through image from the
    // clip's start. False with a message for the user when the output cannot
    // be opened; nothing plays then.
    bool start(const std::vector<float>& clip, const uint8_t image[dspisa::kImageBytes], std::string& error);
    void stop();
    bool playing() const { return running_; }

    // Heard from the next block on, after a one-block crossfade.
    void setSound(const uint8_t image[dspisa::kImageBytes]);
    // A new clip, from its start, through the current sound.
    void setClip(const std::vector<float>& clip);

    // False once the output went away while playing (the player has then
    // stopped); problem says why.
    bool healthy(std::string& problem);

    // Frames the output took from the rendered audio, frames it had to fill
    // with silence because nothing was rendered yet, frames waiting.
    uint64_t framesPlayed() const { return played_.load(std::memory_order_relaxed); }
    uint64_t framesMissed() const { return missed_.load(std::memory_order_relaxed); }
    std::size_t buffered() const;
    double deviceLatency() const { return device_->latency(); }

private:
    static void pull(void* self, float* stereo, unsigned long frames);
    void renderLoop();
    void renderBlock(std::vector<float>& clip, std::size_t& position, float* out);

    std::unique_ptr<AudioDevice> device_;
    const std::size_t ahead_;
    bool running_ = false;

    // The ring: written only by the render thread, read only by the callback.
    std::vector<float> ring_;                   // RingFrames interleaved stereo frames
    std::atomic<uint64_t> written_{0}, read_{0};
    std::atomic<uint64_t> played_{0}, missed_{0};
    // The most the output asked for at once: rendering keeps at least that
    // much (and a block) ready, whatever aheadFrames says.
    std::atomic<uint64_t> largestRequest_{0};

    // The render thread's engines: the sound playing and, for one block after
    // a change, the one it fades from.
    std::unique_ptr<DspInterpreter> current_, fading_;

    // What the render thread is handed, under mutex_ (never touched by the callback).
    std::mutex mutex_;
    std::condition_variable wake_;
    bool quit_ = false;
    bool primed_ = false;                       // the ring held `ahead_` frames once
    std::condition_variable primedWake_;
    bool haveSound_ = false, haveClip_ = false;
    std::array<uint8_t, dspisa::kImageBytes> sound_{};
    std::vector<float> clip_;
    std::thread thread_;
};

}  // namespace audio
