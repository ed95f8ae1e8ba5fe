// The computer's audio output as the player sees it: a stereo float stream at
// the pedal's rate that pulls its samples from a function called on the audio
// system's own thread. The system implementation (portaudio_device.cpp) is
// the only place that calls the audio library. Plain C++.
#pragma once

#include <memory>
#include <string>

namespace audio {

class AudioDevice {
public:
    // Fills `frames` interleaved stereo frames; runs on the audio thread, so
    // it must neither allocate nor lock.
    using Pull = void (*)(void* user, float* stereo, unsigned long frames);

    virtual ~AudioDevice() = default;
    // Opens the default output at `rate` and starts pulling. False with a
    // message for the user (no device, device busy, ...) in error.
    virtual bool start(int rate, Pull pull, void* user, std::string& error) = 0;
    // Stops pulling and closes the output; pull is not called afterwards.
    virtual void stop() = 0;
    // False once a started output ended by itself (the device went away);
    // the reason is then in `problem`.
    virtual bool healthy(std::string& problem) = 0;
    // The output's latency as the audio system reports it, in seconds.
    virtual double latency() const = 0;
};

// The computer's default output device.
std::unique_ptr<AudioDevice> systemAudioDevice();

}  // namespace audio
