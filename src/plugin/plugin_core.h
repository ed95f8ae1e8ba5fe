// What both plugin formats share: the sound as the Dashboard's parameters,
// its saved state (the bytes of a local preset file), the presets it loads,
// and the audio processing (the pedal's interpreter at 48 kHz, resampled in
// and out at any other rate, a new program crossfaded in at a block
// boundary). Plain C++: no toolkit, no link.
//
// Threads: the Sound methods run on the host's main (or a worker) thread;
// Processor::process runs on the audio thread and never allocates, locks,
// waits or logs. A change becomes a program on the main thread (compile),
// is handed over with publish(), and the audio thread takes it at the start
// of its next block.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dsp/DspIsa.h"
#include "plugin/plugin_params.h"
#include "presets/PresetFiles.h"

class DspInterpreter;
class SoundModel;

namespace audio {
class StreamResampler;
}

namespace plugin {

// The data folder holding "bin" (core files and the factory bank), looked
// for beside the plugin file and in the installed data folder relative to it.
std::string findDataFolder(const std::string& pluginPath, const std::string& dataFromPlugin);

class Sound {
public:
    // binDir: the folder with the core files and factoryset.fap.
    explicit Sound(const std::string& binDir);
    ~Sound();
    bool ok() const { return problem_.empty(); }
    const std::string& problem() const { return problem_; }

    const ParamValues& values() const { return values_; }
    void setValue(int id, double value);
    void setValues(const ParamValues& values);

    // The program the values give (apply, then Solo).
    void compile(uint8_t image[dspisa::kImageBytes]) const;
    // The record a preset stores: the block with a Solo folded in.
    void record(uint8_t block[sound::ParamCount]) const;

    // The saved state: a local preset file's bytes (name line, record, title).
    std::vector<uint8_t> state() const;
    // A state or a .lop file's bytes; refused (why set, nothing changed)
    // when not a valid local preset.
    bool loadState(const std::vector<uint8_t>& bytes, std::string& why);
    // One preset (0..7) of a backup file or of the factory bank.
    bool loadBackupPreset(const std::string& path, int index, std::string& why);
    bool loadFactoryPreset(int index, std::string& why);
    bool loadFile(const std::string& path, std::string& why);   // a .lop file
    const std::string& name() const { return name_; }
    // The factory bank as read at start (192 bytes; empty when unreadable).
    const std::vector<uint8_t>& factoryBank() const { return factory_; }

private:
    // The one check every record that comes from outside passes.
    bool take(const std::string& name, const uint8_t record[sound::ParamCount],
              const uint8_t title[presetfiles::TitleSize], std::string& why);

    std::unique_ptr<SoundModel> engine_;
    std::string problem_;
    std::vector<uint8_t> factory_;
    ParamValues values_;
    std::string name_ = "Plugin";
    uint8_t title_[presetfiles::TitleSize];
};

class Processor {
public:
    static constexpr std::size_t MaxBlock = 8192;
    Processor();
    ~Processor();

    // Main thread, while not processing: the host's rate (a whole number of
    // Hz from 8 to 192 kHz) and the first program.
    static bool rateSupported(double rate);
    bool activate(double rate, const uint8_t image[dspisa::kImageBytes]);
    void deactivate();
    // Frames of delay the resampling adds at this rate (none at 48 kHz).
    uint32_t latency() const { return latency_; }

    // Main thread: a new program, heard from the audio thread's next block.
    void publish(const uint8_t image[dspisa::kImageBytes]);
    // Main thread: frees the interpreters the audio thread is done with.
    void collect();

    // Audio thread. in1 may be null (mono input); n at most MaxBlock.
    void process(const float* in0, const float* in1, float* outL, float* outR, std::size_t n);
    // Audio thread: clears the interpreter's state (host reset).
    void reset();

private:
    void takeNew();
    void runPedal(const float* in, float* outL, float* outR, std::size_t n);

    static constexpr std::size_t FadeFrames = 256;
    static constexpr std::size_t Retired = 16;
    DspInterpreter* current_ = nullptr;
    DspInterpreter* fading_ = nullptr;
    std::size_t faded_ = 0;
    std::atomic<DspInterpreter*> incoming_{nullptr};
    std::atomic<DspInterpreter*> retired_[Retired];
    std::vector<float> mono_;
    // At another rate: the input down to 48 kHz, the outputs back up, and a
    // queue that holds the outputs `latency_` frames late so that every
    // block has its frames whatever the rates' ratio.
    uint32_t latency_ = 0;
    std::unique_ptr<audio::StreamResampler> down_, upL_, upR_;
    std::vector<float> pedalIn_, pedalL_, pedalR_, upOutL_, upOutR_, queueL_, queueR_;
    std::size_t queued_ = 0;
};

}  // namespace plugin
