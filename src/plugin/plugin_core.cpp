#include "plugin/plugin_core.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/DspInterpreter.h"
#include "audio/crossfade.h"
#include "audio/resampler.h"
#include "base/data_folder.h"
#include "base/platform.h"
#include "sound/SoundModel.h"

namespace plugin {

using presetfiles::BankSize;
using presetfiles::TitleSize;

std::string findDataFolder(const std::string& pluginPath, const std::string& dataFromPlugin) {
    const std::string path = platform::fromSystemPath(pluginPath);     // a host's path, as the system writes it
    for (const std::string& folder : datafolder::candidates(std::string(), path, dataFromPlugin)) {
        std::vector<uint8_t> bytes;
        if (files::readFile(folder + "/bin/factoryset.fap", bytes)) return folder;
    }
    return std::string();
}

// --- the sound ----------------------------------------------------------------

Sound::Sound(const std::string& binDir) : engine_(new SoundModel(binDir)) {
    values_ = valuesFromBlock(defaultParams);
    presetfiles::padTitle("", title_);
    if (!engine_->coreFilesOk()) {
        problem_ = "the core files in " + binDir + " are missing or damaged: " + engine_->loadProblems();
        return;
    }
    uint8_t bank[BankSize];
    long size = 0;
    int error = 0;
    if (presetfiles::readBank(binDir + "/factoryset.fap", bank, &size, &error) != presetfiles::BankStatus::Ok) {
        problem_ = "the factory bank " + binDir + "/factoryset.fap cannot be read";
        return;
    }
    factory_.assign(bank, bank + BankSize);
    // A new instance starts where a new pedal starts.
    std::string why;
    if (!loadFactoryPreset(0, why)) problem_ = "the factory bank's first preset is not valid: " + why;
}

Sound::~Sound() = default;

void Sound::setValue(int id, double value) {
    if (id >= 0 && id < ParamCount) values_.v[id] = clampValue(id, value);
}

void Sound::setValues(const ParamValues& values) {
    for (int id = 0; id < ParamCount; ++id) setValue(id, values.v[id]);
}

void Sound::compile(uint8_t image[dspisa::kImageBytes]) const {
    uint8_t block[sound::ParamCount];
    blockFromValues(values_, block);
    engine_->apply(block);
    if (values_.v[Solo] && engine_->stereoMode() == 0)
        engine_->setSolo(values_.v[Solo] == 1 ? sound::LeftSide : sound::RightSide, true);
    std::memcpy(image, engine_->image(), dspisa::kImageBytes);
}

void Sound::record(uint8_t block[sound::ParamCount]) const {
    blockFromValues(values_, block);
    if (values_.v[Solo] && values_.v[Mode] == 0) presetfiles::foldSolo(block, values_.v[Solo] == 1, values_.v[Solo] == 2);
}

std::vector<uint8_t> Sound::state() const {
    uint8_t block[sound::ParamCount];
    record(block);
    return presetfiles::encodeLop(name_, block, title_);
}

bool Sound::take(const std::string& name, const uint8_t record[sound::ParamCount], const uint8_t title[TitleSize],
                 std::string& why) {
    // The one check every record and title entering the plugin passes.
    if (!presetfiles::Preset::check(record, title, why)) return false;
    values_ = valuesFromBlock(record);
    name_ = name;
    std::memcpy(title_, title, TitleSize);
    return true;
}

bool Sound::loadState(const std::vector<uint8_t>& bytes, std::string& why) {
    presetfiles::LocalPreset preset;
    if (bytes.size() > presetfiles::MaxLopSize) {
        why = "it is too large to be a local preset";
        return false;
    }
    switch (presetfiles::decodeLop(bytes, preset, &why)) {
    case presetfiles::LopStatus::Ok: return take(preset.name, preset.preset.record(), preset.preset.title(), why);
    case presetfiles::LopStatus::BadPreset: return false;
    case presetfiles::LopStatus::NoName: why = "it is not a local preset: it has no name line"; break;
    case presetfiles::LopStatus::BadName: why = "it is not a local preset: its name line cannot be a preset name"; break;
    case presetfiles::LopStatus::LongName: why = "its name is too long for a local preset"; break;
    case presetfiles::LopStatus::TooShort: why = "it is too short for a local preset"; break;
    }
    return false;
}

bool Sound::loadFile(const std::string& path, std::string& why) {
    std::vector<uint8_t> bytes;
    if (!files::readFile(path, bytes)) {
        why = "cannot read " + path;
        return false;
    }
    return loadState(bytes, why);
}

namespace {

// A preset's name from its title: the title without its padding when that
// can be a preset name, else "<what> <n>".
std::string nameFromTitle(const uint8_t title[TitleSize], const std::string& what, int index) {
    char shown[TitleSize];
    presetfiles::showableTitle(title, shown);
    std::string name(shown, TitleSize);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    while (!name.empty() && name.front() == ' ') name.erase(name.begin());
    if (name.empty() || presetfiles::nameProblem(name)) name = what + " " + std::to_string(index + 1);
    return name;
}

}  // namespace

bool Sound::loadBackupPreset(const std::string& path, int index, std::string& why) {
    uint8_t bank[BankSize];
    long size = 0;
    int error = 0;
    if (index < 0 || index > 7) {
        why = "a backup holds presets 1 to 8";
        return false;
    }
    switch (presetfiles::readBank(path, bank, &size, &error)) {
    case presetfiles::BankStatus::Ok: break;
    case presetfiles::BankStatus::CannotOpen: why = "cannot read " + path; return false;
    case presetfiles::BankStatus::WrongSize: why = path + " is not a backup: it does not hold exactly 192 bytes"; return false;
    }
    // A backup is taken as RESTORE takes it: whole, or not at all.
    if (presetfiles::BankProblem bad = presetfiles::checkBank(bank)) {
        why = path + " is not a backup: preset " + std::to_string(bad.preset + 1) + ": " + bad.why;
        return false;
    }
    const uint8_t* title = bank + 8 * sound::ParamCount + TitleSize * index;
    return take(nameFromTitle(title, "Preset", index), bank + sound::ParamCount * index, title, why);
}

bool Sound::loadFactoryPreset(int index, std::string& why) {
    if (factory_.size() != BankSize || index < 0 || index > 7) {
        why = "the factory bank holds presets 1 to 8";
        return false;
    }
    const uint8_t* title = factory_.data() + 8 * sound::ParamCount + TitleSize * index;
    return take(nameFromTitle(title, "Factory", index), factory_.data() + sound::ParamCount * index, title, why);
}

// --- the audio ----------------------------------------------------------------

Processor::Processor() {
    for (auto& slot : retired_) slot.store(nullptr);
}

Processor::~Processor() { deactivate(); }

bool Processor::rateSupported(double rate) {
    return rate >= 8000 && rate <= 192000 && rate == double(int(rate));
}

bool Processor::activate(double rate, const uint8_t image[dspisa::kImageBytes]) {
    deactivate();
    if (!rateSupported(rate)) return false;
    mono_.assign(MaxBlock, 0.0f);
    const int r = int(rate), pedal = dspisa::kSampleRate;
    latency_ = 0;
    down_.reset();
    upL_.reset();
    upR_.reset();
    if (r != pedal) {
        down_.reset(new audio::StreamResampler(r, pedal, MaxBlock));
        const std::size_t pedalMax = down_->maxOut(MaxBlock);
        upL_.reset(new audio::StreamResampler(pedal, r, pedalMax));
        upR_.reset(new audio::StreamResampler(pedal, r, pedalMax));
        // Each resampler gives a sample its kernel's half width late; two
        // frames more cover the rounding of the rates' ratio.
        latency_ = uint32_t(std::ceil(down_->delay() + upL_->delay() * r / pedal)) + 2;
        pedalIn_.assign(pedalMax, 0.0f);
        pedalL_.assign(pedalMax, 0.0f);
        pedalR_.assign(pedalMax, 0.0f);
        upOutL_.assign(upL_->maxOut(pedalMax), 0.0f);
        upOutR_.assign(upOutL_.size(), 0.0f);
        queueL_.assign(latency_ + upOutL_.size() + MaxBlock, 0.0f);
        queueR_.assign(queueL_.size(), 0.0f);
        queued_ = latency_;
    }
    current_ = new DspInterpreter;
    current_->load(image);
    return true;
}

void Processor::deactivate() {
    delete current_;
    delete fading_;
    delete incoming_.exchange(nullptr);
    current_ = fading_ = nullptr;
    collect();
}

void Processor::publish(const uint8_t image[dspisa::kImageBytes]) {
    collect();
    DspInterpreter* next = new DspInterpreter;
    next->load(image);
    delete incoming_.exchange(next, std::memory_order_acq_rel);
}

void Processor::collect() {
    for (auto& slot : retired_) delete slot.exchange(nullptr, std::memory_order_acq_rel);
}

void Processor::takeNew() {
    if (fading_ || !current_ || !incoming_.load(std::memory_order_relaxed)) return;
    // The old interpreter goes to a free slot when its fade ends; only this
    // thread fills slots, so one free now stays free.
    bool room = false;
    for (auto& slot : retired_) room = room || !slot.load(std::memory_order_acquire);
    if (!room) return;
    DspInterpreter* next = incoming_.exchange(nullptr, std::memory_order_acq_rel);
    if (!next) return;
    fading_ = current_;
    current_ = next;
    faded_ = 0;
}

void Processor::reset() {
    if (!current_) return;
    current_->reset();
    faded_ = audio::CrossfadeFrames;
    if (down_) {
        down_->reset();
        upL_->reset();
        upR_->reset();
        std::fill(queueL_.begin(), queueL_.end(), 0.0f);
        std::fill(queueR_.begin(), queueR_.end(), 0.0f);
        queued_ = latency_;
    }
}

void Processor::process(const float* in0, const float* in1, float* outL, float* outR, std::size_t n) {
    if (!current_ || n > MaxBlock) {
        std::fill(outL, outL + n, 0.0f);
        std::fill(outR, outR + n, 0.0f);
        return;
    }
    takeNew();
    const float* in = in0;
    if (in1) {
        // Stereo is mixed to mono as a stereo DI file is.
        for (std::size_t i = 0; i < n; ++i) mono_[i] = static_cast<float>((double(in0[i]) + double(in1[i])) / 2);
        in = mono_.data();
    }
    if (!down_) {
        runPedal(in, outL, outR, n);
        return;
    }
    const std::size_t m = down_->process(in, n, pedalIn_.data());
    runPedal(pedalIn_.data(), pedalL_.data(), pedalR_.data(), m);
    const std::size_t k = upL_->process(pedalL_.data(), m, upOutL_.data());
    upR_->process(pedalR_.data(), m, upOutR_.data());
    std::copy(upOutL_.begin(), upOutL_.begin() + k, queueL_.begin() + queued_);
    std::copy(upOutR_.begin(), upOutR_.begin() + k, queueR_.begin() + queued_);
    queued_ += k;
    // The latency keeps the queue from running dry; were it ever short, the
    // missing frames are silence rather than stale samples.
    const std::size_t take = std::min(n, queued_);
    std::copy(queueL_.begin(), queueL_.begin() + take, outL);
    std::copy(queueR_.begin(), queueR_.begin() + take, outR);
    std::fill(outL + take, outL + n, 0.0f);
    std::fill(outR + take, outR + n, 0.0f);
    std::copy(queueL_.begin() + take, queueL_.begin() + queued_, queueL_.begin());
    std::copy(queueR_.begin() + take, queueR_.begin() + queued_, queueR_.begin());
    queued_ -= take;
}

void Processor::runPedal(const float* in, float* outL, float* outR, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const int32_t x = DspInterpreter::toFixed(std::clamp(double(in[i]), -1.0, 1.0));
        int32_t l, r;
        current_->step(x, l, r);
        float left = static_cast<float>(DspInterpreter::toReal(l)), right = static_cast<float>(DspInterpreter::toReal(r));
        if (fading_ && faded_ < audio::CrossfadeFrames) {
            int32_t l0, r0;
            fading_->step(x, l0, r0);
            const float g = audio::crossfadeGain(faded_++);
            left = g * left + (1 - g) * static_cast<float>(DspInterpreter::toReal(l0));
            right = g * right + (1 - g) * static_cast<float>(DspInterpreter::toReal(r0));
        }
        outL[i] = left;
        outR[i] = right;
    }
    if (fading_ && faded_ >= audio::CrossfadeFrames) {
        for (auto& slot : retired_)
            if (!slot.load(std::memory_order_acquire)) {
                slot.store(fading_, std::memory_order_release);
                fading_ = nullptr;
                break;
            }
    }
}

}  // namespace plugin
