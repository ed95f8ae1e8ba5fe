// list and status: the pedals attached, and one pedal's firmware mode,
// version and global configuration.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/command_functions.h"
#include "cli/decode.h"

namespace cli {

// Finding no pedal is an answer, not a failure: nothing is printed (an empty
// array with --json), so that scripts can count the lines.
int listCommand(Session& s) {
    std::vector<PedalInfo> pedals = pedalsFound();
    if (!s.o.json) {
        s.result(pedalLines(pedals, ""));
        return ExitOk;
    }
    std::string text = "[";
    for (const PedalInfo& p : pedals)
        text += std::string(text.size() > 1 ? ",\n " : "") + "{\"serial\": " + jsonString(p.serial) +
                ", \"description\": " + jsonString(p.description) + ", \"port\": " + jsonString(p.port) + "}";
    s.result(text + "]\n");
    return ExitOk;
}

int statusCommand(Session& s) {
    if (int code = choosePedal(s)) return code;
    uint8_t st = 0;
    if (int code = readStatus(s, st)) return code;
    bool running = st & protocol::StatusRunning;
    uint8_t config = 0;
    if (running && !s.link.getOneByte(protocol::GetConfig).ok())
        return s.fail(ExitCommunication, s.linkError("Reading the global configuration"));
    if (running) config = s.link.reply()[0];
    std::string text;
    if (s.o.json) {
        text = "{\"serial\": " + jsonString(s.serial) + ", \"mode\": " + jsonString(running ? "normal" : "update") +
               ", \"firmware\": " + jsonString(versionOf(st));
        if (running) {
            std::string c = configJson(config);
            text += ", \"config\": " + c.substr(0, c.size() - 1);
        }
        text += "}\n";
    } else {
        text = field("serial", s.serial);
        text += field("mode", running ? "normal" : "update (waits for firmware)");
        text += field("firmware", versionOf(st));
        if (running) text += configText(config);
    }
    s.result(text);
    return ExitOk;
}

}  // namespace cli
