// The default output through PortAudio: every call into the library is here.
#include <portaudio.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "audio/audio_device.h"

namespace audio {

namespace {

// The library is initialised once per process and on first use; a failed
// start leaves it for the next attempt.
bool initialise(std::string& error) {
    static std::mutex lock;
    static bool ready = false;
    std::lock_guard<std::mutex> hold(lock);
    if (ready) return true;
    const PaError e = Pa_Initialize();
    if (e != paNoError) {
        error = std::string("The audio system could not be started: ") + Pa_GetErrorText(e);
        return false;
    }
    ready = true;
    // Quit ends the process with exit(): the library closes any stream still
    // playing before the process is taken down under its audio thread.
    std::atexit([] { Pa_Terminate(); });
    return true;
}

class PortAudioDevice : public AudioDevice {
public:
    ~PortAudioDevice() override { stop(); }

    bool start(int rate, Pull pull, void* user, std::string& error) override {
        stop();
        if (!initialise(error)) return false;
        const PaDeviceIndex device = Pa_GetDefaultOutputDevice();
        if (device == paNoDevice) {
            error = "No audio output device was found on this computer.";
            return false;
        }
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
        PaStreamParameters out{};
        out.device = device;
        out.channelCount = 2;
        out.sampleFormat = paFloat32;
        out.suggestedLatency = info ? info->defaultLowOutputLatency : 0.02;
        out.hostApiSpecificStreamInfo = nullptr;
        pull_ = pull;
        user_ = user;
        ended_.store(false);
        PaError e = Pa_OpenStream(&stream_, nullptr, &out, rate, paFramesPerBufferUnspecified, paNoFlag, &callback, this);
        if (e == paNoError) {
            Pa_SetStreamFinishedCallback(stream_, &finished);
            e = Pa_StartStream(stream_);
            if (e != paNoError) {
                Pa_CloseStream(stream_);
                stream_ = nullptr;
            }
        } else {
            stream_ = nullptr;
        }
        if (e != paNoError) {
            const std::string name = info && info->name ? info->name : "the default output";
            error = "The audio output \"" + name + "\" could not be opened (" + Pa_GetErrorText(e) +
                    "). It may be in use by another program.";
            return false;
        }
        const PaStreamInfo* streamInfo = Pa_GetStreamInfo(stream_);
        latency_ = streamInfo ? streamInfo->outputLatency : 0;
        return true;
    }

    void stop() override {
        if (!stream_) return;
        stopping_.store(true);
        Pa_AbortStream(stream_);
        Pa_CloseStream(stream_);
        stream_ = nullptr;
        stopping_.store(false);
    }

    bool healthy(std::string& problem) override {
        if (!stream_) return true;
        if (ended_.load() || Pa_IsStreamActive(stream_) != 1) {
            problem = "The audio output stopped: the device is no longer available.";
            return false;
        }
        return true;
    }

    double latency() const override { return latency_; }

private:
    static int callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* self) {
        PortAudioDevice* d = static_cast<PortAudioDevice*>(self);
        d->pull_(d->user_, static_cast<float*>(output), frames);
        return paContinue;
    }
    static void finished(void* self) {
        PortAudioDevice* d = static_cast<PortAudioDevice*>(self);
        if (!d->stopping_.load()) d->ended_.store(true);
    }

    PaStream* stream_ = nullptr;
    Pull pull_ = nullptr;
    void* user_ = nullptr;
    double latency_ = 0;
    std::atomic<bool> ended_{false};
    std::atomic<bool> stopping_{false};
};

}  // namespace

std::unique_ptr<AudioDevice> systemAudioDevice() { return std::unique_ptr<AudioDevice>(new PortAudioDevice); }

}  // namespace audio
