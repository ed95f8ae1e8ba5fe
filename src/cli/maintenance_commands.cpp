// config get, config set and firmware: the pedal's global configuration
// byte, and a firmware update of a pedal that waits for one.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/platform.h"
#include "cli/command_files.h"
#include "cli/command_functions.h"
#include "cli/decode.h"
#include "maintenance/FirmwarePackage.h"
#include "maintenance/FirmwareTransfer.h"

namespace cli {

namespace {

// A firmware package from a file or standard input, which is copied into a
// temporary file first: the reader measures the payload by seeking.
firmware::ReadStatus readFirmware(const std::string& path, firmware::Package& package, int& error) {
    if (!isStdio(path)) return firmware::readPackage(path, "rb", true, package, error);
    std::vector<uint8_t> bytes;
    if (!readInput(path, bytes, &error, size_t(4) << 20)) return firmware::ReadStatus::OpenFailed;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> copy(std::tmpfile(), std::fclose);
    errno = 0;
    if (!copy || std::fwrite(bytes.data(), 1, bytes.size(), copy.get()) != bytes.size() ||
        std::fseek(copy.get(), 0, SEEK_SET) != 0) {
        error = errno ? errno : EIO;
        return firmware::ReadStatus::ReadFailed;
    }
    return firmware::readPackage(copy.get(), false, true, package, error);
}

}  // namespace

int configGetCommand(Session& s) {
    if (int code = choosePedal(s)) return code;
    if (int code = requireRunning(s)) return code;
    if (!s.link.getOneByte(protocol::GetConfig).ok())
        return s.fail(ExitCommunication, s.linkError("Reading the global configuration"));
    uint8_t config = s.link.reply()[0];
    s.result(s.o.json ? configJson(config) : configText(config));
    return ExitOk;
}

int configSetCommand(Session& s) {
    if (int code = choosePedal(s)) return code;
    if (int code = requireRunning(s)) return code;
    uint8_t current = 0;
    if (s.o.left < 0 || s.o.right < 0 || s.o.midi < 0) {
        if (!s.link.getOneByte(protocol::GetConfig).ok())
            return s.fail(ExitCommunication, s.linkError("Reading the global configuration"));
        current = s.link.reply()[0];
    }
    uint8_t config = configByte(s.o.left >= 0 ? s.o.left : leftKnob(current),
                                s.o.right >= 0 ? s.o.right : rightKnob(current),
                                s.o.midi >= 0 ? s.o.midi : midiChannel(current));
    if (!s.link.oneByte(protocol::SetConfig, config).ok())
        return s.fail(ExitCommunication, s.linkError("Setting the global configuration"));
    if (!s.link.getOneByte(protocol::GetConfig).ok())
        return s.fail(ExitCommunication, s.linkError("Reading the global configuration back"));
    if (s.link.reply()[0] != config)
        return s.fail(ExitVerification, "the pedal's global configuration reads back differently from what was sent");
    s.result(configText(config));
    return ExitOk;
}

int firmwareCommand(Session& s) {
    const std::string path = shownName(s.o.operands[0]);
    firmware::Package package;
    int error = 0;
    switch (readFirmware(s.o.operands[0], package, error)) {
    case firmware::ReadStatus::Ok: break;
    case firmware::ReadStatus::OpenFailed: return s.fail(ExitFile, readError(s.o.operands[0], error));
    case firmware::ReadStatus::NoVersion: return s.fail(ExitFile, path + " is empty: not a firmware package");
    case firmware::ReadStatus::ReadFailed: return s.fail(ExitFile, "cannot read " + path + ": " + errnoText(error));
    }
    if (package.payloadSize == 0) return s.fail(ExitFile, path + " holds no firmware after its notes: nothing was sent");
    std::string malformed = firmware::formatProblem(package);
    if (!malformed.empty())
        return s.fail(ExitFile, path + " is not a firmware package: " + malformed + "; nothing was sent");
    if (package.payloadSize > firmware::kMaxPayload)
        return s.fail(ExitFile, path + " holds " + std::to_string(package.payloadSize) +
                                    " bytes of firmware, more than the pedal's 65536: nothing was sent");
    if (int code = choosePedal(s)) return code;
    uint8_t st = 0;
    if (int code = readStatus(s, st)) return code;
    if (st & protocol::StatusRunning)
        return s.fail(ExitPedalMode, "pedal " + s.serial + " runs its firmware " + versionOf(st) +
                                         "; start it in update mode to update it");
    // An older firmware than the pedal's goes in only on request.
    const uint8_t versionBits = protocol::StatusVersionMask;
    if ((package.version & versionBits) < (st & versionBits) && !s.o.force)
        return s.fail(ExitFile, platform::shownPath(path) + " holds firmware " + firmware::versionText(package.version) +
                                    ", older than the pedal's " + versionOf(st) +
                                    ": nothing was sent (give --force to install it all the same)");
    long pages = firmware::pageCount(package.payloadSize);
    std::string version = firmware::versionText(package.version);
    s.progress.update("firmware " + version, 0, pages);
    firmware::PedalPageLink pageLink(s.link);
    firmware::Outcome outcome = firmware::sendFirmware(pageLink, package.payload, package.version, [&](float percent) {
        s.progress.update("firmware " + version, long(std::lround(percent * pages / 100.0)), pages);
    });
    std::string page = "page " + std::to_string(outcome.pagesVerified + 1) + " of " + std::to_string(pages);
    std::string advice = "; the pedal still waits for firmware: power it down and try again";
    switch (outcome.kind) {
    case firmware::Outcome::Complete: break;
    case firmware::Outcome::TransferFailed: return s.fail(ExitCommunication, s.linkError("Sending " + page) + advice);
    case firmware::Outcome::VerifyFailed:
        return s.fail(ExitVerification, page + ": the pedal's echo differed from the page sent; nothing more was sent" + advice);
    case firmware::Outcome::Empty:
    case firmware::Outcome::TooLarge: return s.fail(ExitFile, platform::shownPath(path) + " holds no firmware the pedal can take");
    }
    if (s.link.sendOneMessage(protocol::Resume) != PedalLink::Written)
        return s.fail(ExitCommunication, "firmware " + version + " is installed, but " + s.serial +
                                             " did not take the message to resume: power it down and up");
    s.result("Firmware " + version + " installed on " + s.serial + "; the pedal resumes normal operation\n");
    return ExitOk;
}

}  // namespace cli
