// render and ir: a sound (a preset of the pedal, a local preset file or a
// backup's preset) run by the pedal's interpreter offline, a DI recording
// played through it or its impulse response, written as a WAV file.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "audio/di_clips.h"
#include "audio/resampler.h"
#include "audio/sound_render.h"
#include "cli/command_files.h"
#include "cli/command_functions.h"
#include "cli/composer.h"
#include "cli/decode.h"
#include "presets/PresetFiles.h"
#include "sound/Params.h"
#include "sound/SoundModel.h"
#include "dsp/WavFile.h"

using namespace sound;

namespace cli {

namespace {

// A DI recording from a file or standard input.
bool loadDi(const std::string& path, std::vector<float>& di, std::string& message) {
    if (!isStdio(path)) return audio::loadDiFile(path, di, message);
    std::vector<uint8_t> bytes;
    int error = 0;
    if (!readInput(path, bytes, &error, size_t(1) << 31)) {
        message = readError(path, error);
        return false;
    }
    wav::Audio audio;
    if (!wav::parse(bytes.data(), bytes.size(), audio, message, "standard input")) return false;
    if (audio.frames() == 0) {
        message = "standard input holds no audio";
        return false;
    }
    di = audio::diSignal(audio);
    return true;
}

// The record of the sound render and ir were given, and a name for it in messages.
int soundRecord(Session& s, uint8_t block[ParamCount], std::string& what) {
    if (!s.o.lop.empty()) {
        presetfiles::LocalPreset preset;
        if (int code = readLop(s, s.o.lop, preset)) return code;
        std::memcpy(block, preset.preset.record(), ParamCount);
        what = "local preset " + printable(preset.name);
        return ExitOk;
    }
    if (!s.o.backup.empty()) {
        uint8_t bank[protocol::BankSize];
        long size = 0;
        int error = 0;
        switch (readBankInput(s.o.backup, bank, size, error)) {
        case presetfiles::BankStatus::Ok: break;
        case presetfiles::BankStatus::CannotOpen: return s.fail(ExitFile, readError(s.o.backup, error));
        case presetfiles::BankStatus::WrongSize:
            return s.fail(ExitFile, shownName(s.o.backup) + " holds " +
                                        (error == EFBIG ? "more than 1 MiB" : std::to_string(size) + " bytes") +
                                        ", a backup exactly 192");
        }
        // Checked as restore checks it: a backup no pedal holds is none.
        if (presetfiles::BankProblem bad = presetfiles::checkBank(bank))
            return s.fail(ExitFile, shownName(s.o.backup) + ": preset " + std::to_string(bad.preset + 1) + ": " + bad.why +
                                        ": not a backup");
        std::memcpy(block, bank + ParamCount * (s.o.index - 1), ParamCount);
        what = "preset " + std::to_string(s.o.index) + " (" +
               printable(titleText(bank + ParamCount * protocol::PresetSlots + protocol::TitleSize * (s.o.index - 1))) +
               ") of " + shownName(s.o.backup);
        return ExitOk;
    }
    if (int code = choosePedal(s)) return code;
    if (int code = requireRunning(s)) return code;
    uint8_t reply[protocol::PresetReplySize];
    if (int code = readPreset(s, reply)) return code;
    std::memcpy(block, reply, ParamCount);
    what = "preset " + std::to_string(s.o.preset) + " (" + printable(titleText(reply + 12)) + ") of " + s.serial;
    return ExitOk;
}

wav::Format formatOf(const std::string& name) {
    return name == "16" ? wav::Format::Int16 : name == "float" ? wav::Format::Float32 : wav::Format::Int24;
}

// Writes both outputs into the opened file; rate: the file's.
int writeStereo(Session& s, Output& file, const audio::Stereo& sound, int rate) {
    wav::Audio out;
    out.rate = rate;
    out.channels = 2;
    out.samples.resize(sound.frames() * 2);
    for (size_t i = 0; i < sound.frames(); ++i) {
        out.samples[2 * i] = sound.left[i];
        out.samples[2 * i + 1] = sound.right[i];
    }
    const std::vector<uint8_t> bytes = wav::encode(out, formatOf(s.o.format));
    if (!file.put(bytes.data(), bytes.size()))
        return s.fail(ExitFile, "cannot write " + file.name() + ": " + errnoText(file.error()));
    return ExitOk;
}

// The output file opened and the sound the options name loaded into the
// model, for render and ir; `what` names the sound for the result line.
int openOutputAndSound(Session& s, const std::string& path, Output& file, Composer& composer, std::string& what) {
    if (!file.isOpen()) return s.fail(ExitFile, "cannot write " + shownName(path) + ": " + errnoText(file.error()));
    if (int code = loadSoundModel(s, composer)) return code;
    uint8_t block[ParamCount];
    if (int code = soundRecord(s, block, what)) return code;
    composer.model->apply(block);
    return ExitOk;
}

}  // namespace

int renderCommand(Session& s) {
    const std::string& in = s.o.operands[0];
    const std::string& path = s.o.operands[1];
    std::vector<float> di;
    std::string error;
    if (!loadDi(in, di, error)) return s.fail(ExitFile, error);
    Output file(s, path);
    Composer composer;
    std::string what;
    if (int code = openOutputAndSound(s, path, file, composer, what)) return code;
    // Seconds of audio done of the recording and the tail it may take.
    const double length = double(di.size() + audio::TailQuietFrames) / audio::PedalRate;
    audio::Rendered rendered = audio::renderSound(composer.model->image(), di, [&](double done) {
        s.progress.update("render", done * length, length, Unit::Seconds);
        return true;
    });
    audio::Stereo& sound = rendered.sound;
    if (s.o.rate != audio::PedalRate) {
        sound.left = audio::resample(sound.left, audio::PedalRate, s.o.rate);
        sound.right = audio::resample(sound.right, audio::PedalRate, s.o.rate);
    }
    if (int code = writeStereo(s, file, sound, s.o.rate)) return code;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", double(sound.frames()) / s.o.rate);
    if (rendered.clipped) {
        char clip[96];
        std::snprintf(clip, sizeof clip, "note: %zu samples clipped at full scale (peak %.2f dBFS)", rendered.clipped,
                      20 * std::log10(double(rendered.peak)));
        s.note(clip);
    }
    file.tell(shownName(in) + " through " + what + " written to " + file.name() + " (" + seconds + " s)");
    return ExitOk;
}

int irCommand(Session& s) {
    const std::string& path = s.o.operands[0];
    Output file(s, path);
    Composer composer;
    std::string what;
    if (int code = openOutputAndSound(s, path, file, composer, what)) return code;
    audio::IrOptions options;
    options.rate = s.o.rate;
    options.normalise = s.o.normalise;
    options.integer = formatOf(s.o.format) != wav::Format::Float32;
    audio::IrInfo info;
    const audio::Stereo ir = audio::impulseResponse(composer.model->image(), options, &info);
    if (int code = writeStereo(s, file, ir, s.o.rate)) return code;
    file.tell("Impulse response of " + what + " written to " + file.name() + " (" + std::to_string(ir.frames()) +
              " frames at " + std::to_string(s.o.rate) + " Hz" + audio::irNotes(info, s.o.rate) + ")");
    return ExitOk;
}

}  // namespace cli
