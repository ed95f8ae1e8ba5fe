// read, export, write and preview: one preset, read from the pedal into
// text or a local preset file, or composed from a local preset file and
// stored (verified) or played.
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "base/platform.h"
#include "cli/command_files.h"
#include "cli/command_functions.h"
#include "cli/composer.h"
#include "cli/decode.h"
#include "cli/store_texts.h"
#include "presets/PresetFiles.h"
#include "presets/PresetTransfer.h"
#include "sound/Params.h"
#include "sound/SoundModel.h"

using namespace sound;

namespace cli {

namespace {

// What the editor stores for a checked preset's record: applied to the sound
// model (which takes it unchanged), soloed if asked, the silent side folded
// into the record.
int compose(Session& s, Composer& c, const presetfiles::Preset& preset, uint8_t record[ParamCount],
            uint8_t image[protocol::ImageSize]) {
    SoundModel& model = *c.model;
    model.apply(preset.record());
    if (s.o.solo >= 0) {
        if (model.stereoMode() != 0) return s.fail(ExitUsage, "--solo needs a Stereo Cabs preset; this one is Stereo Mics");
        model.setSolo(s.o.solo == 0 ? LeftSide : RightSide, true);
    }
    std::memcpy(record, model.params(), ParamCount);
    if (s.o.solo >= 0) presetfiles::foldSolo(record, s.o.solo == 0, s.o.solo == 1);
    std::memcpy(image, model.image(), protocol::ImageSize);
    return ExitOk;
}

std::string stemOf(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".lop") == 0) name.resize(name.size() - 4);
    return name;
}

int writeOrPreview(Session& s, bool store) {
    const std::string& path = s.o.operands[store ? 1 : 0];
    // The editor's title rule: the pedal keeps 12 single bytes.
    if (s.o.titleGiven)
        if (const char* problem = presetfiles::titleProblem(s.o.title))
            return s.fail(ExitUsage, "--title '" + printable(s.o.title) + "': " + problem + "; nothing was sent");
    presetfiles::LocalPreset lop;
    if (int code = readLop(s, path, lop)) return code;
    presetfiles::Preset preset = lop.preset;
    if (s.o.titleGiven) {
        std::string why;
        std::optional<presetfiles::Preset> titled = presetfiles::Preset::check(lop.preset.record(), s.o.title, why);
        if (!titled) return s.fail(ExitUsage, "--title: " + why + "; nothing was sent");
        preset = *titled;
    }
    Composer composer;
    if (int code = loadSoundModel(s, composer)) return code;
    uint8_t record[ParamCount], image[protocol::ImageSize];
    if (int code = compose(s, composer, preset, record, image)) return code;
    if (int code = choosePedal(s)) return code;
    if (int code = requireRunning(s)) return code;

    if (!store) {
        if (!s.link.writePreview(image).ok()) return s.fail(ExitCommunication, s.linkError("Sending the preview"));
        s.result("Playing " + printable(lop.name) + " on " + s.serial + " (not stored)\n");
        return ExitOk;
    }
    presettransfer::PedalPresetLink presets(s.link);
    // Ended by a signal half way, the program still says what it may have left.
    platform::setInterruptText("orvella-cli: write interrupted: preset " + std::to_string(s.o.preset) +
                             " may hold a damaged copy: write it again\n");
    presettransfer::Outcome outcome =
        presettransfer::writeVerified(presets, s.o.preset - 1, record, preset.title(), image);
    platform::setInterruptText("");
    std::string which = "preset " + std::to_string(s.o.preset);
    const std::string damaged = which + " may now hold a damaged copy: write it again";
    switch (outcome.kind) {
    case presettransfer::Outcome::Done:
        if (outcome.retried)
            s.note("note: " + retryCause(outcome.retryCause, s.o.preset - 1) + "; stored again and verified");
        s.result("Preset " + std::to_string(s.o.preset) + " written and verified: " + printable(lop.name) + "\n");
        return ExitOk;
    case presettransfer::Outcome::EchoMismatch:
    case presettransfer::Outcome::ReadBackMismatch:
        if (outcome.code != 0)
            return s.fail(ExitCommunication, s.linkError("Storing " + which + " again") + "; " + damaged);
        return s.fail(ExitVerification, which + ": " + twiceText(outcome.kind) +
                                              "; check the pedal's power supply; " + damaged);
    case presettransfer::Outcome::ReadBackFailed:
        return s.fail(ExitCommunication, s.linkError("Reading " + which + " back") + "; " + damaged);
    default:
        // A store that broke off once bytes of it had reached the pedal may
        // have changed the preset; one that failed before did not.
        return s.fail(ExitCommunication,
                      s.linkError("Storing " + which) + (outcome.damagedCopy() ? "; " + damaged : std::string()));
    }
}

}  // namespace

int readCommand(Session& s) {
    if (int code = choosePedal(s)) return code;
    if (int code = requireRunning(s)) return code;
    uint8_t reply[protocol::PresetReplySize];
    if (int code = readPreset(s, reply)) return code;
    s.result(s.o.json ? presetJson(s.o.preset, reply, reply + 12) : presetText(s.o.preset, reply, reply + 12));
    return ExitOk;
}

int exportCommand(Session& s) {
    const std::string& path = s.o.operands[1];
    std::string name = s.o.name.empty() ? (isStdio(path) ? std::string() : stemOf(path)) : s.o.name;
    if (isStdio(path) && name.empty())
        return s.fail(ExitUsage, "a preset written to standard output needs its name: give one with --name");
    if (const char* problem = presetfiles::nameProblem(name))
        return s.fail(ExitUsage, "'" + name + "' cannot be a preset name (" + problem + "); give one with --name");
    if (int code = choosePedal(s)) return code;
    Output file(s, path);
    if (!file.isOpen()) return s.fail(ExitFile, "cannot write " + platform::shownPath(path) + ": " + errnoText(file.error()));
    if (int code = requireRunning(s)) return code;
    uint8_t reply[protocol::PresetReplySize];
    if (int code = readPreset(s, reply)) return code;
    uint8_t record[ParamCount];
    sanitizeParams(reply, record);
    std::vector<uint8_t> bytes = presetfiles::encodeLop(name, record, reply + 12);
    if (!file.put(bytes.data(), bytes.size()))
        return s.fail(ExitFile, "cannot write " + file.name() + ": " + errnoText(file.error()));
    file.tell("Preset " + std::to_string(s.o.preset) + " (" + printable(titleText(reply + 12)) + ") exported to " +
              file.name());
    return ExitOk;
}

int writeCommand(Session& s) { return writeOrPreview(s, true); }

int previewCommand(Session& s) { return writeOrPreview(s, false); }

}  // namespace cli
