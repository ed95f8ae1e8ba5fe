#include "cli/session.h"

#include <cstring>

namespace cli {

Session::Session(const Options& o, std::FILE* out, std::FILE* err, bool terminal)
    : o(o), out(out), err(err), progress(err, terminal, o.quiet) {
    if (o.verbose)
        link.setSink([err](const char* text) { std::fputs(text, err); });
    else
        link.setSink(PedalLink::quiet());
    // The chosen pedal is this program's from its first exchange to the
    // end: another program's commands never come between ours.
    PedalLink::keepClaim(true);
}

Session::~Session() {
    // A reply that timed out may still be on its way: it must not meet
    // the next program's first command.
    link.awaitLateReply();
    PedalLink::keepClaim(false);
}

int Session::fail(int code, const std::string& message) {
    progress.finish();
    std::fprintf(err, "orvella-cli: %s\n", message.c_str());
    return code;
}

void Session::result(const std::string& text) {
    progress.finish();
    std::fputs(text.c_str(), out);
    std::fflush(out);
}

std::string Session::linkError(const std::string& what) const {
    const LinkResult& r = link.lastResult();
    return what + " failed on " + serial + ": " + (r.text.empty() ? "no answer" : r.text) + " (code " +
           std::to_string(r.code) + ")";
}

std::string pedalLines(const std::vector<PedalInfo>& pedals, const char* indent) {
    std::string text;
    for (const PedalInfo& p : pedals) text += indent + p.serial + "\t" + p.description + "\t" + p.port + "\n";
    return text;
}

std::vector<PedalInfo> pedalsFound() {
    std::vector<PedalInfo> pedals;
    for (const PedalInfo& device : PedalLink::listDevices())
        if (device.isPedal()) pedals.push_back(device);
    return pedals;
}

int choosePedal(Session& s) {
    std::vector<PedalInfo> pedals = pedalsFound();
    if (!s.o.pedal.empty()) {
        for (const PedalInfo& p : pedals)
            if (p.serial == s.o.pedal) s.serial = p.serial;
        if (s.serial.empty()) {
            std::string message = "no pedal with serial number " + s.o.pedal + " found";
            if (!pedals.empty()) message += "; found:\n" + pedalLines(pedals, "  ");
            if (message.back() == '\n') message.pop_back();
            return s.fail(ExitNoPedal, message);
        }
    } else if (pedals.empty()) {
        return s.fail(ExitNoPedal, "no pedal found (is it plugged in and powered? see 'orvella-cli list')");
    } else if (pedals.size() > 1) {
        std::string message = std::to_string(pedals.size()) + " pedals found; choose one with --pedal SERIAL:\n" +
                              pedalLines(pedals, "  ");
        message.pop_back();
        return s.fail(ExitNoPedal, message);
    } else {
        s.serial = pedals[0].serial;
    }
    s.link.selectSerial(s.serial);
    return ExitOk;
}

int readStatus(Session& s, uint8_t& status) {
    if (!s.link.getOneByte(protocol::GetStatus).ok()) {
        // The first exchange of every command: a pedal this program may not
        // open (in use by another program, or a missing permission) gets
        // the reason and the fix in one line.
        if (!s.link.openProblem().empty())
            return s.fail(ExitNoPedal, "pedal " + s.serial + ": " + s.link.openProblem() + "; nothing was sent");
        return s.fail(ExitCommunication, s.linkError("Reading the status"));
    }
    status = s.link.reply()[0];
    return ExitOk;
}

std::string versionOf(uint8_t status) {
    return "V" + std::to_string(protocol::statusMajor(status)) + "." + std::to_string(protocol::statusMinor(status));
}

int requireRunning(Session& s) {
    uint8_t status = 0;
    if (int code = readStatus(s, status)) return code;
    if (!(status & protocol::StatusRunning))
        return s.fail(ExitPedalMode, "pedal " + s.serial + " waits for a firmware update (firmware " + versionOf(status) +
                                         "): update it with 'orvella-cli firmware FILE.fdt' first");
    return ExitOk;
}

int readPreset(Session& s, uint8_t reply[protocol::PresetReplySize]) {
    if (!s.link.readPreset(s.o.preset - 1).ok())
        return s.fail(ExitCommunication, s.linkError("Reading preset " + std::to_string(s.o.preset)));
    std::memcpy(reply, s.link.reply(), protocol::PresetReplySize);
    return ExitOk;
}

}  // namespace cli
