#include "audio/player.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "dsp/DspInterpreter.h"
#include "audio/crossfade.h"

namespace audio {

static_assert(Player::BlockFrames == CrossfadeFrames, "a change fades over one rendered block");

Player::Player(std::unique_ptr<AudioDevice> device, std::size_t aheadFrames)
    : device_(std::move(device)), ahead_(std::min(std::max(aheadFrames, BlockFrames), RingFrames)),
      ring_(RingFrames * 2, 0.0f) {}

Player::~Player() { stop(); }

bool Player::start(const std::vector<float>& clip, const uint8_t image[dspisa::kImageBytes], std::string& error) {
    stop();
    if (clip.empty()) {
        error = "The clip holds no audio.";
        return false;
    }
    written_.store(0);
    read_.store(0);
    played_.store(0);
    missed_.store(0);
    largestRequest_.store(0);
    current_.reset(new DspInterpreter);
    current_->load(image);
    fading_.reset();
    {
        std::lock_guard<std::mutex> hold(mutex_);
        quit_ = false;
        primed_ = false;
        haveSound_ = false;
        haveClip_ = true;
        clip_ = clip;
    }
    // Render ahead before the output asks for its first samples.
    thread_ = std::thread(&Player::renderLoop, this);
    {
        std::unique_lock<std::mutex> lock(mutex_);
        primedWake_.wait(lock, [this] { return primed_; });
    }
    if (!device_->start(dspisa::kSampleRate, &Player::pull, this, error)) {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        thread_.join();
        return false;
    }
    running_ = true;
    return true;
}

void Player::stop() {
    if (thread_.joinable()) {
        device_->stop();
        {
            std::lock_guard<std::mutex> hold(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    running_ = false;
}

void Player::setSound(const uint8_t image[dspisa::kImageBytes]) {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        std::memcpy(sound_.data(), image, sound_.size());
        haveSound_ = true;
    }
    wake_.notify_all();
}

void Player::setClip(const std::vector<float>& clip) {
    if (clip.empty()) return;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        clip_ = clip;
        haveClip_ = true;
    }
    wake_.notify_all();
}

bool Player::healthy(std::string& problem) {
    if (!running_ || device_->healthy(problem)) return true;
    stop();
    return false;
}

std::size_t Player::buffered() const {
    return std::size_t(written_.load(std::memory_order_acquire) - read_.load(std::memory_order_acquire));
}

void Player::pull(void* self, float* stereo, unsigned long frames) {
    Player* p = static_cast<Player*>(self);
    if (frames > p->largestRequest_.load(std::memory_order_relaxed))
        p->largestRequest_.store(frames, std::memory_order_relaxed);
    const uint64_t read = p->read_.load(std::memory_order_relaxed);
    const uint64_t available = p->written_.load(std::memory_order_acquire) - read;
    const uint64_t n = std::min<uint64_t>(available, frames);
    for (uint64_t i = 0; i < n; ++i) {
        const std::size_t at = std::size_t((read + i) & (RingFrames - 1)) * 2;
        stereo[2 * i] = p->ring_[at];
        stereo[2 * i + 1] = p->ring_[at + 1];
    }
    std::fill(stereo + 2 * n, stereo + 2 * frames, 0.0f);
    p->read_.store(read + n, std::memory_order_release);
    p->played_.fetch_add(n, std::memory_order_relaxed);
    p->missed_.fetch_add(frames - n, std::memory_order_relaxed);
}

void Player::renderBlock(std::vector<float>& clip, std::size_t& position, float* out) {
    for (std::size_t i = 0; i < BlockFrames; ++i) {
        const int32_t in = DspInterpreter::toFixed(std::clamp(double(clip[position]), -1.0, 1.0));
        if (++position == clip.size()) position = 0;
        int32_t l, r;
        current_->step(in, l, r);
        float left = float(DspInterpreter::toReal(l)), right = float(DspInterpreter::toReal(r));
        if (fading_) {
            int32_t l0, r0;
            fading_->step(in, l0, r0);
            const float g = crossfadeGain(i);
            left = g * left + (1 - g) * float(DspInterpreter::toReal(l0));
            right = g * right + (1 - g) * float(DspInterpreter::toReal(r0));
        }
        out[2 * i] = left;
        out[2 * i + 1] = right;
    }
    fading_.reset();
}

void Player::renderLoop() {
    std::vector<float> clip;
    std::size_t position = 0;
    std::vector<float> block(BlockFrames * 2);
    // Each time the output found the ring empty, rendering keeps one more
    // block ready (up to half the ring): a busy computer trades a little
    // latency for no further gaps.
    std::size_t extra = 0;
    uint64_t missedSeen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!quit_) {
        if (haveClip_) {
            clip.swap(clip_);
            haveClip_ = false;
            position = 0;
            continue;
        }
        if (haveSound_) {
            std::array<uint8_t, dspisa::kImageBytes> image = sound_;
            haveSound_ = false;
            lock.unlock();
            std::unique_ptr<DspInterpreter> next(new DspInterpreter);
            next->load(image.data());
            // Two changes before a block was rendered: the fade starts from
            // the sound last heard, not from the one never played.
            if (!fading_) fading_ = std::move(current_);
            current_ = std::move(next);
            lock.lock();
            continue;
        }
        const std::size_t waiting = buffered();
        const uint64_t missed = missed_.load(std::memory_order_relaxed);
        if (primed_ && missed != missedSeen && extra < RingFrames / 2) extra += BlockFrames;
        missedSeen = missed;
        const std::size_t target = std::min<std::size_t>(
            RingFrames, std::max<std::size_t>(ahead_ + extra, largestRequest_.load() + BlockFrames));
        if (waiting + BlockFrames > target) {
            // Sleep until the output has taken what is over the mark (or a
            // change arrives); never less than a millisecond.
            const auto frames = waiting + BlockFrames - target;
            wake_.wait_for(lock, std::chrono::microseconds(std::max<uint64_t>(1000, frames * 1000000 / dspisa::kSampleRate)));
            continue;
        }
        lock.unlock();
        renderBlock(clip, position, block.data());
        const uint64_t w = written_.load(std::memory_order_relaxed);
        for (std::size_t i = 0; i < BlockFrames; ++i) {
            const std::size_t at = std::size_t((w + i) & (RingFrames - 1)) * 2;
            ring_[at] = block[2 * i];
            ring_[at + 1] = block[2 * i + 1];
        }
        written_.store(w + BlockFrames, std::memory_order_release);
        lock.lock();
        if (!primed_ && buffered() + BlockFrames > ahead_) {
            primed_ = true;
            primedWake_.notify_all();
        }
    }
}

}  // namespace audio
