// backup and restore: all eight presets (records and titles) from the pedal
// into a backup file, and from a backup file into the pedal, verified.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>

#include "base/platform.h"
#include "cli/command_files.h"
#include "cli/command_functions.h"
#include "cli/composer.h"
#include "cli/store_texts.h"
#include "presets/PresetFiles.h"
#include "presets/PresetTransfer.h"
#include "sound/Params.h"
#include "sound/SoundModel.h"

using namespace sound;

namespace cli {

namespace {

// "presets 1 to 3", "preset 1"
std::string presetRange(int first, int last) {
    if (first == last) return "preset " + std::to_string(first);
    return "presets " + std::to_string(first) + " to " + std::to_string(last);
}

// Stores nothing more once interrupted: the restore then ends as if the next
// store had failed before reaching the pedal, which leaves that preset as it was.
class StoppablePresetLink : public presettransfer::PedalPresetLink {
public:
    using PedalPresetLink::PedalPresetLink;
    int storePreset(int index, const uint8_t* record, const uint8_t* title, const uint8_t* image) override {
        stopped_ = platform::interrupted();
        if (stopped_) return PedalLink::NothingMoved;
        return PedalPresetLink::storePreset(index, record, title, image);
    }
    bool storeReachedPedal() const override { return !stopped_ && PedalPresetLink::storeReachedPedal(); }
    int readAll() override { return platform::interrupted() ? PedalLink::NothingMoved : PedalPresetLink::readAll(); }

private:
    bool stopped_ = false;
};


}  // namespace

int backupCommand(Session& s) {
    std::string path;
    bool named = !s.o.operands.empty();
    if (named) {
        path = s.o.operands[0];
    } else {
        std::string home = platform::env("HOMEDRIVE");
        std::time_t now = std::time(nullptr);
        path = presetfiles::backupPath(home, *std::localtime(&now));
        std::string folder = presetfiles::presetFolder(home);
        if (!platform::makeFolders(folder)) return s.fail(ExitFile, "cannot create the preset folder " + platform::shownPath(folder) + ": " + errnoText(errno));
    }
    if (int code = choosePedal(s)) return code;
    Output file(s, path);
    if (!file.isOpen()) return s.fail(ExitFile, "cannot write " + platform::shownPath(path) + ": " + errnoText(file.error()));
    if (int code = requireRunning(s)) return code;
    if (!s.link.readAll().ok()) return s.fail(ExitCommunication, s.linkError("Reading the presets"));
    if (!named) {
        // The day's backup name, as the editor's BACKUP gives it: a second
        // one of the day becomes "..._2.bkp", never replacing the first.
        std::string written;
        if (!file.file()->write(s.link.reply(), protocol::BankSize) || !file.file()->commitNew(written))
            return s.fail(ExitFile, "cannot write " + platform::shownPath(path) + ": " + errnoText(file.error()));
        s.result(written + "\n");
        return ExitOk;
    }
    if (!file.put(s.link.reply(), protocol::BankSize))
        return s.fail(ExitFile, "cannot write " + file.name() + ": " + errnoText(file.error()));
    file.tell(file.isStdout() ? "8 presets written to " + file.name() : platform::shownPath(path));
    return ExitOk;
}

int restoreCommand(Session& s) {
    const std::string& path = s.o.operands[0];
    const std::string shown = shownName(path);
    uint8_t bank[protocol::BankSize];
    long size = 0;
    int error = 0;
    presetfiles::BankStatus read = readBankInput(path, bank, size, error);
    switch (read) {
    case presetfiles::BankStatus::Ok: break;
    case presetfiles::BankStatus::CannotOpen: return s.fail(ExitFile, readError(path, error));
    case presetfiles::BankStatus::WrongSize:
        return s.fail(ExitFile, shown + " holds " + (error == EFBIG ? "more than 1 MiB" : std::to_string(size) + " bytes") +
                                    ", a backup exactly 192: not a backup, nothing was sent");
    }
    if (presetfiles::BankProblem bad = presetfiles::checkBank(bank))
        return s.fail(ExitFile, shown + ": preset " + std::to_string(bad.preset + 1) + ": " + bad.why +
                                    ": not a backup, nothing was sent");
    Composer composer;
    if (int code = loadSoundModel(s, composer)) return code;
    if (int code = choosePedal(s)) return code;
    if (int code = requireRunning(s)) return code;

    const double pauseBetweenPresets = 0.25;    // as the editor's restore
    auto composeRecord = [&](int, const uint8_t* bankRecord, uint8_t* record, uint8_t* image) {
        composer.model->apply(bankRecord);
        std::memcpy(record, composer.model->params(), ParamCount);
        std::memcpy(image, composer.model->image(), protocol::ImageSize);
    };
    // What the pedal holds when the restore stops after `done` presets.
    auto storedText = [](int done) {
        return done == 0 ? std::string("restore interrupted: no preset was stored")
                         : "restore interrupted: " + presetRange(1, done) + " already stored";
    };
    // What a second signal, which ends the program during the next store, prints.
    auto abortText = [&](int done) {
        std::string text = "orvella-cli: " + storedText(done);
        if (done < protocol::PresetSlots) text += "; preset " + std::to_string(done + 1) + " may hold a damaged copy";
        return text + "\n";
    };
    auto progress = [&](int done) {
        s.progress.update("restore", done, protocol::PresetSlots);
        platform::setInterruptText(abortText(done));
        if (!platform::interrupted()) s.link.pause(pauseBetweenPresets);
    };
    // The program's own notes, not the editor's retry lines.
    auto retries = [&](presettransfer::Retry stage, int preset, presettransfer::Outcome::Kind cause) {
        if (stage == presettransfer::Retry::Fixed)
            s.note("note: " + retryCause(cause, preset) + "; stored again and verified");
    };
    s.progress.update("restore", 0, protocol::PresetSlots);
    platform::setInterruptText(abortText(0));
    platform::deferInterrupt(true);
    StoppablePresetLink presets(s.link);
    presettransfer::Outcome outcome = presettransfer::restoreBank(
        presets, bank, composeRecord, progress, presettransfer::RetryFn(retries));
    platform::deferInterrupt(false);
    const bool stoppedHere = (outcome.kind == presettransfer::Outcome::StoreFailed && !outcome.reached) ||
                             outcome.kind == presettransfer::Outcome::ReadAllFailed;
    if (platform::interrupted() && stoppedHere) {
        // Stopped between two presets (or before the final read-back): the
        // presets stored so far were each verified; the rest are untouched.
        std::string text = storedText(outcome.overwritten);
        if (outcome.overwritten < protocol::PresetSlots)
            text += "; " + presetRange(outcome.overwritten + 1, protocol::PresetSlots) + " unchanged";
        else
            text += " (not read back)";
        return s.fail(ExitInterrupted, text);
    }
    std::string which = "preset " + std::to_string(outcome.preset + 1);
    // Only a restore that stored some presets before it stopped says so.
    const std::string before = outcome.overwritten > 0 ? "; the presets before it are stored" : "";
    const std::string damaged = outcome.damagedCopy() ? "; " + which + " may now hold a damaged copy" : "";
    switch (outcome.kind) {
    case presettransfer::Outcome::Done:
        s.result("Restored 8 presets from " + shown + " (verified)\n");
        return ExitOk;
    case presettransfer::Outcome::StoreFailed:
        return s.fail(ExitCommunication, s.linkError("Storing " + which) + before + damaged);
    case presettransfer::Outcome::EchoMismatch:
    case presettransfer::Outcome::ReadBackMismatch:
        if (outcome.code != 0)
            return s.fail(ExitCommunication, s.linkError("Storing " + which + " again") + before + damaged);
        return s.fail(ExitVerification, which + ": " + twiceText(outcome.kind) + "; restore stopped there" + before +
                                              damaged);
    case presettransfer::Outcome::ReadBackFailed:
        return s.fail(ExitCommunication, s.linkError("Reading " + which + " back") + before + damaged);
    case presettransfer::Outcome::ReadAllFailed:
        return s.fail(ExitCommunication, s.linkError("Reading the presets back"));
    case presettransfer::Outcome::ReadAllMismatch: {
        std::string differ = presettransfer::presetList(outcome.differing);
        differ[0] = 'p';
        return s.fail(ExitVerification, differ + " read back differently from " + platform::shownPath(path) + "; restore again");
    }
    }
    return ExitOk;
}

}  // namespace cli
