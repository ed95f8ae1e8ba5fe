#include "listen/listening.h"

#include <FL/Fl.H>
#include <FL/Fl_Progress.H>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "audio/di_clips.h"
#include "audio/player.h"
#include "audio/sound_render.h"
#include "base/dialogs.h"
#include "base/file_dialogs.h"
#include "base/files.h"
#include "base/platform.h"
#include "context/exchange_guard.h"
#include "context/status_writer.h"
#include "editor/OV_Parameters.h"
#include "link/OV_UsbController.h"
#include "presets/PresetFiles.h"
#include "sound/SoundModel.h"
#include "dsp/WavFile.h"

Listening* Listening::active_ = nullptr;

namespace {

constexpr double kPollSeconds = 0.1;

}  // namespace

Listening::Listening(const ListenContext& context) : context_(context) {
    active_ = this;
    Fl::add_handler(&Listening::shortcut);
}

Listening::~Listening() {
    Fl::remove_timeout(&Listening::poll, this);
    Fl::remove_handler(&Listening::shortcut);
    if (active_ == this) active_ = nullptr;
}

// Ctrl+L: Listen on or off; Ctrl+K: the Dashboard or the compared preset.
// Only shortcuts no control of the window took arrive here.
int Listening::shortcut(int event) {
    if (event != FL_SHORTCUT || !active_ || !(Fl::event_state() & FL_CTRL)) return 0;
    if (Fl::event_key() == 'l') {
        active_->toggleListen();
        return 1;
    }
    if (Fl::event_key() == 'k' && active_->canSwitch()) {
        active_->switchCompared();
        return 1;
    }
    return 0;
}

bool Listening::listening() const { return player_ && player_->playing(); }

void Listening::log(const std::string& line) {
    StatusWriter* w = context_.feature.log;
    if (!w) return;
    w->stampStatus();
    w->logStatus("%s", line.c_str());
    w->advanceStatus(1);
}

std::string Listening::clipName() const {
    if (source_ == UserFile) return userClipName_;
    return audio::clipName(audio::Clip(source_));
}

std::vector<float> Listening::clip() const {
    if (source_ == UserFile) return userClip_;
    return audio::makeClip(audio::Clip(source_));
}

const uint8_t* Listening::heardImage() const {
    return hearingCompared_ ? compareImage_.data() : context_.feature.dashboard->image();
}

const char* Listening::listenLabel() {
    // Two spaces keep the label clear of the shortcut shown beside it.
    label_ = " > Listen on this computer (" + clipName() + ")  ";
    return label_.c_str();
}

bool Listening::startPlayer() {
    if (!player_) player_.reset(new audio::Player(context_.device()));
    const uint8_t* image = context_.feature.dashboard->image();
    lastSound_.assign(image, image + dspisa::kImageBytes);
    std::string error;
    if (!player_->start(clip(), heardImage(), error)) {
        log("Listening failed: " + error);
        dialogs::alert("%s", error.c_str());
        return false;
    }
    Fl::add_timeout(kPollSeconds, &Listening::poll, this);
    return true;
}

void Listening::stopPlayer(const char* why) {
    Fl::remove_timeout(&Listening::poll, this);
    if (player_) player_->stop();
    if (why) log(why);
}

void Listening::toggleListen() {
    if (listening()) {
        stopPlayer("Listening stopped.");
        return;
    }
    if (startPlayer())
        log("Listening on this computer: " + clipName() + " through " +
            (hearingCompared_ ? comparedName_ : std::string("the Dashboard's sound")) + ".");
}

void Listening::soundChanged() {
    if (!listening()) return;
    const uint8_t* image = context_.feature.dashboard->image();
    if (lastSound_.size() == dspisa::kImageBytes && std::memcmp(lastSound_.data(), image, dspisa::kImageBytes) == 0)
        return;
    lastSound_.assign(image, image + dspisa::kImageBytes);
    if (!hearingCompared_) player_->setSound(image);
}

// While listening: a sound the Dashboard took without a preview (a preset
// read or loaded) is heard too, and an output that went away is reported.
void Listening::poll(void* self) {
    Listening* l = static_cast<Listening*>(self);
    if (!l->player_) return;
    std::string problem;
    if (!l->player_->healthy(problem)) {
        l->log("Listening stopped: " + problem);
        dialogs::alert("%s", problem.c_str());
        return;
    }
    l->soundChanged();
    Fl::repeat_timeout(kPollSeconds, &Listening::poll, self);
}

void Listening::chooseSource(Source source) {
    if (source == UserFile) {
        std::string path;
        if (!filedialogs::openFile(filedialogs::Kind::Wav, "Choose a DI recording (WAV)", path)) return;
        std::vector<float> samples;
        std::string error;
        if (!audio::loadDiFile(path, samples, error)) {
            dialogs::alert("%s", files::doubleAtSigns(error).c_str());
            log("DI clip not changed: " + error);
            return;
        }
        userClip_ = std::move(samples);
        const size_t slash = path.find_last_of("/\\");
        userClipName_ = slash == std::string::npos ? path : path.substr(slash + 1);
    }
    source_ = source;
    if (listening()) player_->setClip(clip());
    log("DI clip: " + clipName() + (listening() ? ", playing from its start." : "."));
}

void Listening::chooseComparePreset() {
    std::string path;
    if (!filedialogs::openFile(filedialogs::Kind::Preset, "Choose a local preset to compare with", path)) return;
    std::vector<uint8_t> bytes;
    int err = 0;
    presetfiles::LocalPreset preset;
    std::string problem;
    if (!files::readFile(path, bytes, &err, presetfiles::MaxLopSize) ||
        presetfiles::decodeLop(bytes, preset, &problem) != presetfiles::LopStatus::Ok) {
        // A record no pedal holds is refused as the library refuses it, not clamped into another sound.
        const std::string text = "\"" + platform::shownPath(path) + "\" " +
                                 (problem.empty() ? std::string("is not a local preset file that can be read.")
                                                  : "holds a preset that cannot be loaded: " + problem + ".");
        dialogs::alert("%s", files::doubleAtSigns(text).c_str());
        log("Compare not changed: " + text);
        return;
    }
    if (compareWith(preset.preset.record(), "local preset " + preset.name))
        log("Compare with local preset " + preset.name + ": Ctrl+K switches while listening.");
    if (listening()) switchCompared();
}

// The sound of a record as the Dashboard would load it (clamped).
bool Listening::compareWith(const uint8_t record[12], const std::string& name) {
    SoundModel model(context_.binDir);
    if (!model.coreFilesOk()) {
        dialogs::alert("%s", "The sound's core files are missing or damaged; nothing can be compared.");
        return false;
    }
    model.apply(record);
    compareImage_.assign(model.image(), model.image() + dspisa::kImageBytes);
    comparedName_ = name;
    hearingCompared_ = false;
    return true;
}

void Listening::compareWithPedalPreset() {
    const int index = context_.pedalPreset ? context_.pedalPreset() : -1;
    if (index < 0 || !context_.feature.usb) {
        dialogs::alert("Connect the pedal to compare with one of its presets.");
        return;
    }
    uint8_t reply[24];
    {
        ExchangeGuard run(context_.feature, nullptr);
        if (!context_.feature.usb->readPreset(index)) {
            run.log("Preset %d could not be read; nothing to compare with.", index + 1);
            run.outcome(100, "Read error", OV_UsbController::progressRed);
            dialogs::alert("Preset %d could not be read from the pedal. Please try again.", index + 1);
            return;
        }
        std::memcpy(reply, context_.feature.usb->reply(), sizeof reply);
        std::string title(reinterpret_cast<const char*>(reply + 12), 12);
        while (!title.empty() && (title.back() == ' ' || title.back() == '\0')) title.pop_back();
        if (!compareWith(reply, "preset " + std::to_string(index + 1) + " (" + title + ")")) return;
        run.log("Compare with %s as stored on the pedal: Ctrl+K switches while listening.", comparedName_.c_str());
        run.outcome(100, "Read complete", OV_UsbController::progressBlue);
    }
    if (listening()) switchCompared();
}

void Listening::switchCompared() {
    if (compareImage_.empty()) return;
    hearingCompared_ = !hearingCompared_;
    if (listening()) player_->setSound(heardImage());
    log(hearingCompared_ ? "Hearing " + comparedName_ + "." : std::string("Hearing the Dashboard's sound."));
}

std::string Listening::defaultFileName(const std::string& suffix) const {
    std::string title = context_.title ? context_.title() : std::string();
    std::string name;
    for (char c : title) name += (std::strchr("/\\:*?\"<>|", c) || static_cast<unsigned char>(c) < 32) ? '_' : c;
    while (!name.empty() && name.back() == ' ') name.pop_back();
    while (!name.empty() && name.front() == ' ') name.erase(0, 1);
    if (name.empty()) name = "Orvella sound";
    return name + suffix + ".wav";
}

// Three questions, each with a Cancel, then the file; nothing is written
// before the last answer.
void Listening::exportImpulseResponse() {
    const int rate = dialogs::choice("Export the impulse response at which sample rate?", "Cancel", "48 kHz", "44.1 kHz");
    if (rate == 0) return;
    const int kind = dialogs::choice("Which samples?", "Cancel", "24-bit", "32-bit float");
    if (kind == 0) return;
    audio::IrOptions options;
    options.rate = rate == 1 ? 48000 : 44100;
    options.integer = kind == 1;
    if (options.integer) {
        const int level = dialogs::choice("Which level?\n\nNormalised puts the peak at -1 dBFS.", "Cancel", "As played",
                                          "Normalised");
        if (level == 0) return;
        options.normalise = level == 2;
    }
    audio::IrInfo info;
    const audio::Stereo ir = audio::impulseResponse(context_.feature.dashboard->image(), options, &info);
    char gain[32] = "";
    if (info.gainDb != 0 && !options.normalise) std::snprintf(gain, sizeof gain, " %+.0f dB", info.gainDb);
    std::string path;
    if (!filedialogs::saveFile(filedialogs::Kind::Wav, "Export impulse response", defaultFileName(std::string(" IR") + gain),
                               path))
        return;
    wav::Audio file;
    file.rate = options.rate;
    file.channels = 2;
    for (std::size_t i = 0; i < ir.frames(); ++i) file.samples.insert(file.samples.end(), {ir.left[i], ir.right[i]});
    std::string error;
    if (!wav::write(path, file, options.integer ? wav::Format::Int24 : wav::Format::Float32, error)) {
        dialogs::alert("%s", files::doubleAtSigns(error).c_str());
        log("Impulse response not exported: " + error);
        return;
    }
    log("Impulse response written to " + platform::shownPath(path) + " (" + audio::durationText(ir.frames(), options.rate) + ", " +
        (rate == 1 ? "48" : "44.1") + " kHz" + audio::irNotes(info, options.rate) + ").");
}

void Listening::exportAudio() {
    std::string in, out;
    if (!filedialogs::openFile(filedialogs::Kind::Wav, "Choose the DI recording to render (WAV)", in)) return;
    std::vector<float> di;
    std::string error;
    if (!audio::loadDiFile(in, di, error)) {
        dialogs::alert("%s", files::doubleAtSigns(error).c_str());
        log("Audio not exported: " + error);
        return;
    }
    if (!filedialogs::saveFile(filedialogs::Kind::Wav, "Export audio", defaultFileName(""), out)) return;
    Fl_Progress* bar = context_.feature.usb ? context_.feature.usb->progress : nullptr;
    auto show = [bar](double done, const char* label) {
        if (!bar) return;
        bar->selection_color(OV_UsbController::progressBlue);
        bar->value(float(done * 100));
        bar->copy_label(label);
        Fl::check();
    };
    const audio::Rendered rendered = audio::renderSound(context_.feature.dashboard->image(), di, [&](double done) {
        show(done, "Rendering audio");
        return true;
    });
    const audio::Stereo& sound = rendered.sound;
    wav::Audio file;
    file.rate = audio::PedalRate;
    file.channels = 2;
    for (std::size_t i = 0; i < sound.frames(); ++i) file.samples.insert(file.samples.end(), {sound.left[i], sound.right[i]});
    if (!wav::write(out, file, wav::Format::Int24, error)) {
        show(0, "Export failed");
        dialogs::alert("%s", files::doubleAtSigns(error).c_str());
        log("Audio not exported: " + error);
        return;
    }
    show(1, "Audio exported");
    log("Audio written to " + platform::shownPath(out) + " (" + audio::durationText(sound.frames(), audio::PedalRate) + ", 48 kHz, 24-bit).");
    if (rendered.clipped) {
        char text[128];
        std::snprintf(text, sizeof text, "> %zu samples clipped at full scale (peak %.2f dBFS).", rendered.clipped,
                      20 * std::log10(double(rendered.peak)));
        log(text);
    }
}
