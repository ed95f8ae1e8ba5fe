#include "bench/soak/Oracle.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <regex>

#include "maintenance/FirmwarePackage.h"
#include "presets/PresetFiles.h"

namespace soak {

namespace {

std::string bytes(const uint8_t* p, size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }
bool has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }
bool endsWith(const std::string& s, const char* tail) {
    size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

}  // namespace

// The presets an action may change when all goes well (bit per preset).
unsigned scopeOf(const Step& s) {
    switch (s.action.op) {
    case Op::Write: case Op::CliWrite: return s.preset >= 0 ? 1u << s.preset : 0;
    case Op::Restore: case Op::FactoryReset: case Op::CliRestore: case Op::CliPair: return 0xFF;
    default: return 0;
    }
}

// Whether the program said the action succeeded.
bool claimsSuccess(const Step& s) {
    if (s.cli) return s.exitCode == 0;
    switch (s.action.op) {
    case Op::Write: return has(s.said, "OK (verified)");
    case Op::Read: return has(s.said, "Read operation from Preset");
    case Op::Backup: return has(s.said, "Backup file created");
    case Op::Restore: return has(s.said, "Preset restore successful");
    case Op::FactoryReset: return has(s.said, "Factory reset successful");
    case Op::ConfigConfirm: return has(s.said, "Global Config. setup complete");
    default: return false;
    }
}

namespace {

std::string presetOf(const PedalState& st, int i) {
    return bytes(st.presets[i].params, 12) + bytes(st.presets[i].title, 12) + bytes(st.presets[i].image, 512);
}
std::string bankOf(const PedalState& st) {
    uint8_t b[192];
    st.bank(b);
    return bytes(b, 192);
}

}  // namespace

void settle(const Step& s, std::map<std::string, unsigned>& unsettled) {
    unsigned& open = unsettled[s.target];
    if (claimsSuccess(s))
        open &= ~scopeOf(s);
    else
        open |= s.killedHard ? scopeOf(s) : namedPresets(s.said) & scopeOf(s);
}

unsigned namedPresets(const std::string& said) {
    std::string t = said;
    std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return std::tolower(c); });
    unsigned named = 0;
    auto upTo = [](int n) { return n <= 0 ? 0u : (1u << std::min(n, 8)) - 1; };
    std::smatch m;
    for (auto it = t.cbegin(); std::regex_search(it, t.cend(), m, std::regex("presets? ([1-8])((?: to | and |, )([1-8]))*"));
         it = m.suffix().first) {
        int first = m[1].str()[0] - '0';
        named |= 1u << (first - 1);
        std::string rest = m.str().substr(m.position(1) - m.position(0));
        static const std::regex digit("[1-8]");
        for (std::sregex_iterator n(rest.begin(), rest.end(), digit), end; n != end; ++n)
            named |= 1u << (n->str()[0] - '1');
        if (std::regex_search(rest, std::regex("to ([1-8])"))) named |= upTo(rest.back() - '0') & ~upTo(first - 1);
    }
    if (has(t, "all 8 presets") || has(t, "all presets")) named = 0xFF;
    if (has(t, "presets before it"))   // "storing preset 4 ...; the presets before it are stored"
        for (int i = 7; i >= 0; --i)
            if (named & (1u << i)) { named |= upTo(i); break; }
    return named;
}

void checkFiles(const Step& s, const Truth& before, const Truth& after, Verdict& v) {
    if (s.action.op == Op::Corrupt) return;     // the soak's own doing
    for (const auto& [path, now] : after.files) {
        auto old = before.files.find(path);
        bool isNew = old == before.files.end();
        if (has(path, ".tmp") && isNew && !s.killedHard)
            v.violations.push_back("temporary-file: " + path + " was left behind");
        if (!isNew && old->second.bytes == now.bytes && old->second.link == now.link && old->second.mode == now.mode)
            continue;
        ++v.claims;
        // Whatever the program wrote is whole: a backup is one bank, a preset file decodes.
        if (endsWith(path, ".bkp") && now.bytes.size() != 192)
            v.violations.push_back("half-file: " + path + " holds " + std::to_string(now.bytes.size()) + " bytes");
        presetfiles::LocalPreset lop;
        if (endsWith(path, ".lop") &&
            presetfiles::decodeLop(std::vector<uint8_t>(now.bytes.begin(), now.bytes.end()), lop) !=
                presetfiles::LopStatus::Ok)
            v.violations.push_back("half-file: " + path + " is no preset file any more");
        if (isNew) continue;
        if (old->second.link && !now.link)
            v.violations.push_back("link-replaced: " + path + " pointed at " + old->second.target +
                                   " and is now a plain file");
        if (old->second.mode != now.mode && !now.link) {
            char modes[32];
            std::snprintf(modes, sizeof modes, "%04o, now %04o", static_cast<unsigned>(old->second.mode),
                          static_cast<unsigned>(now.mode));
            v.violations.push_back("mode-changed: " + path + " was " + modes);
        }
        // Only the file the user named may be replaced, and only by an action that says it did (or was cut off).
        bool named = !s.file.empty() && (path == s.file || endsWith(path, ("/" + s.file).c_str()) ||
                                         endsWith(path, ("/" + s.file + ".lop").c_str()));
        bool replacing = s.action.op == Op::CliBackup || s.action.op == Op::CliExport || s.action.op == Op::SaveLocal ||
                         s.action.op == Op::ImportLocal;
        if (endsWith(path, ".bkp") || endsWith(path, ".lop")) {
            if (!named || !replacing)
                v.violations.push_back("unnamed-file-replaced: " + path + " changed, though the action named " +
                                       (s.file.empty() ? std::string("no file") : s.file));
            else if (s.cli && s.exitCode > 0)
                v.violations.push_back("failed-but-replaced: " + path + " changed, though the program exited " +
                                       std::to_string(s.exitCode));
        }
    }
    for (const auto& [path, old] : before.files)
        if (!after.files.count(path) && s.action.op != Op::RemoveLocal && !has(path, ".tmp"))
            v.violations.push_back("file-lost: " + path + " is gone");
}

Verdict check(const Step& s, const Truth& before, const Truth& after, const Composer& composer) {
    Verdict v;
    auto fail = [&](const std::string& rule, const std::string& detail) { v.violations.push_back(rule + ": " + detail); };
    const bool ok = claimsSuccess(s);
    const std::string said = "\"" + s.said.substr(0, 300) + "\"";

    // Presets: what changed was meant to, or is named by the failure.
    for (const auto& [serial, now] : after.pedals) {
        auto was = before.pedals.find(serial);
        if (was == before.pedals.end() || !was->second.stateRead || !now.stateRead) continue;
        unsigned allowed = 0;
        if (serial == s.target) {
            allowed = ok ? scopeOf(s) : (namedPresets(s.said) & scopeOf(s));
            if (s.killedHard) allowed = scopeOf(s);
        }
        auto open = s.unsettled.find(serial);
        if (open != s.unsettled.end()) allowed |= open->second;
        for (int i = 0; i < 8; ++i) {
            if (presetOf(was->second.state, i) == presetOf(now.state, i)) continue;
            ++v.claims;
            if (!(allowed & (1u << i)))
                fail("unclaimed-change", "preset " + std::to_string(i + 1) + " of " + serial + " changed; said " + said +
                                             (s.cli ? ", exit " + std::to_string(s.exitCode) : ""));
        }
        if (was->second.state.globalConfig != now.state.globalConfig && serial != s.target)
            fail("unclaimed-change", "the configuration byte of " + serial + " changed");
        // A pedal waiting for firmware takes other commands' bytes as update commands.
        if (was->second.state.updateMode)
            for (size_t i = was->second.commands.size(); i < now.commands.size(); ++i)
                if (now.commands[i].name == "ignored")
                    fail("update-mode-sent", serial + " waits for firmware and was sent a command it does not know");
    }

    auto pedal = after.pedals.find(s.target);
    auto pedalBefore = before.pedals.find(s.target);
    if (pedal != after.pedals.end() && pedal->second.stateRead && pedalBefore != before.pedals.end()) {
        const PedalState& st = pedal->second.state;
        const Op op = s.action.op;
        if (ok && (op == Op::Write || op == Op::CliWrite)) {
            ++v.claims;
            if (presetOf(st, s.preset) != s.record + s.title + s.image)
                fail("verified-store", "said " + said + " but preset " + std::to_string(s.preset + 1) +
                                           " holds another record, title or image (title \"" +
                                           bytes(st.presets[s.preset].title, 12) + "\")");
            if (op == Op::CliWrite && !std::all_of(s.title.begin(), s.title.end(), [](unsigned char c) {
                    return presetfiles::isTitleChar(c); }))
                fail("title-rule", "a title outside printable ASCII was stored: \"" + s.title + "\"");
        }
        // A .lop no pedal holds (Wide, Bell) is refused before a byte of it is sent.
        if (op == Op::CliWrite && !s.fileValid && !s.killedHard) {
            ++v.claims;
            if (ok) fail("record-checked", s.file + " holds a preset no pedal holds; write said " + said);
            for (size_t i = pedalBefore->second.commands.size(); i < pedal->second.commands.size(); ++i)
                if (pedal->second.commands[i].name.compare(0, 5, "store") == 0)
                    fail("record-checked", s.file + " holds a preset no pedal holds, yet a store was sent");
        }
        if (ok && (op == Op::Restore || op == Op::FactoryReset || op == Op::CliRestore || op == Op::CliPair)) {
            ++v.claims;
            if (std::find(s.banks.begin(), s.banks.end(), bankOf(st)) == s.banks.end())
                fail("verified-restore", "said " + said + " but the pedal holds another bank");
            for (int i = 0; i < 8; ++i) {
                std::string params, image;
                composer.compose(st.presets[i].params, params, image);
                if (image != bytes(st.presets[i].image, 512))
                    fail("verified-restore", "preset " + std::to_string(i + 1) + " plays no image of its record");
            }
        }
        if (ok && op == Op::Read) {
            ++v.claims;
            std::string params, image;
            composer.compose(st.presets[s.preset].params, params, image);
            if (s.dashParams != params || s.shownTitle != bytes(st.presets[s.preset].title, 12))
                fail("dashboard-shows", "said " + said + " but the Dashboard or title shows another preset");
        }
        if (ok && (op == Op::ConfigConfirm || op == Op::CliConfig)) {
            ++v.claims;
            if (st.globalConfig != s.config)
                fail("config-set", "said " + said + " but the pedal holds " + std::to_string(st.globalConfig) +
                                       ", not " + std::to_string(s.config));
        }
        if (ok && op == Op::CliStatus) {
            ++v.claims;
            std::string version = firmware::versionText(st.firmwareVersion);
            if (!std::regex_search(s.said, std::regex("\\b" + version + "\\b")))
                fail("status", "the pedal runs " + version + " but the status said " + said);
        }
        if (ok && op == Op::CliFirmware) {
            ++v.claims;
            if (!s.fileValid) fail("firmware-package", s.file + " is no firmware package, yet it was installed");
            else if (st.updateMode || st.firmwareVersion != s.config)
                fail("firmware-installed", "said " + said + " but the pedal runs another version or still waits");
        }
        if (s.cli && s.exitCode == 7) {
            ++v.claims;
            bool waits = pedalBefore->second.state.updateMode;
            if (waits != (op != Op::CliFirmware))
                fail("pedal-mode", "exit 7 says the pedal is in the wrong mode, but it " +
                                       std::string(waits ? "waits for firmware" : "runs normally") + "; said " + said);
        }
        if (ok && (op == Op::Backup || op == Op::CliBackup || op == Op::CliExport)) {
            ++v.claims;
            std::string path = s.file;
            std::smatch m;
            if (op == Op::Backup && std::regex_search(s.said, m, std::regex("Backup file created: ([^\n]+)")))
                path = m[1];
            if (op == Op::CliBackup && path.empty()) path = s.said.substr(0, s.said.find('\n'));
            auto file = after.files.find(path);
            if (file == after.files.end())
                fail("file-written", "said " + said + " but " + path + " is not in the watched folders");
            else if (op != Op::CliExport && file->second.bytes != bankOf(st))
                fail("file-written", path + " does not hold the pedal's presets");
            else if (op == Op::CliExport) {
                presetfiles::LocalPreset lop;
                std::string params, image;
                composer.compose(st.presets[s.preset].params, params, image);
                if (presetfiles::decodeLop({file->second.bytes.begin(), file->second.bytes.end()}, lop) !=
                        presetfiles::LopStatus::Ok ||
                    bytes(lop.preset.record(), 12) != params ||
                    bytes(lop.preset.title(), 12) != bytes(st.presets[s.preset].title, 12))
                    fail("file-written", path + " does not hold preset " + std::to_string(s.preset + 1));
            }
        }
    }

    // Standard streams: a closed one lends its number to no file and no port
    // (lock files hold their note only, no command the pedal does not know),
    // and results a closed standard output cannot take are a documented
    // failure; "-" is a stream, never a file of that name.
    if (s.cli) {
        ++v.claims;
        for (const std::string& note : s.lockNotes)
            if (!std::regex_match(note, std::regex("[0-9]+\n(late [0-9]+\n)?")))
                fail("stream-in-lock-file", "a port's lock file holds \"" + note.substr(0, 80) + "\"");
        if (s.dashFile) fail("dash-is-a-stream", "a file named - was written; said " + said);
    }
    if (s.action.op == Op::CliClosed) {
        auto now = after.pedals.find(s.target), was = before.pedals.find(s.target);
        if (now != after.pedals.end() && was != before.pedals.end() && !was->second.state.updateMode)
            for (size_t i = was->second.commands.size(); i < now->second.commands.size(); ++i)
                if (now->second.commands[i].name == "ignored")
                    fail("stream-in-port", s.target + " was sent bytes of no command");
        if ((s.action.b & 1) && (s.exitCode < 2 || s.exitCode > 7))
            fail("closed-output-status", "results for a closed standard output ended with status " +
                                             std::to_string(s.exitCode));
    }
    if (s.action.op == Op::CliStdio) {
        ++v.claims;
        if (ok != s.fileValid)
            fail("stdin-file", s.file + (s.fileValid ? " is usable but ir failed: " : " is not, yet ir succeeded"));
        if (ok && (s.action.b == 1) != (s.said.compare(0, 4, "RIFF") == 0))
            fail("dash-is-a-stream", "ir to " + std::string(s.action.b == 1 ? "-" : "a file") +
                                         (s.action.b == 1 ? " wrote no WAV to standard output" : " wrote to standard output"));
    }

    // Local presets are checked like backups before anything plays them.
    if ((s.action.op == Op::ImportLocal || s.action.op == Op::ChooseLocal) && s.accepted) {
        ++v.claims;
        if (!s.fileValid) fail("local-preset-checked", s.file + " holds a record out of range and was taken");
        else if (!s.record.empty() && s.dashParams != s.record)
            fail("dashboard-shows", "the bar names " + s.file + " but the Dashboard shows another record");
    }

    // The tone chart plays what it shows, and unticking gives back the sound the user had.
    if (s.action.op == Op::Audition && s.window) {
        ++v.claims;
        std::string heard = s.heard;
        while (!heard.empty() && heard.back() == ' ') heard.pop_back();
        if (s.heard != "-" && (heard.size() < 3 || heard.compare(0, 3, "  [") == 0 || heard.compare(0, 2, " ~") == 0))
            fail("tone-chart-plays", "the line \"" + s.heard + "\" names no speaker, yet a preview was sent");
        if (!s.record.empty() && s.dashParams != s.record)
            fail("audition-untick", "unticking Listen left the Dashboard on another sound than the user had");
    }

    // The window: one prompt at a time, holding the Dashboard while it shows.
    if (s.window) {
        ++v.claims;
        if (s.promptsShown > 1) fail("prompts", std::to_string(s.promptsShown) + " prompts are shown at once");
        if (s.promptsShown > 0 && s.dashboardActive) fail("prompts", "a prompt is shown over a usable Dashboard");
        if (s.promptsShown == 0 && !s.dashboardActive) fail("prompts", "no prompt is shown, yet the Dashboard is greyed");
        if (s.action.op == Op::OpenConfig && s.configShown >= 0 && pedal != after.pedals.end() &&
            pedal->second.stateRead && !std::regex_search(s.said, std::regex("fail|could not|cannot|not read", std::regex::icase))) {
            ++v.claims;
            if (s.configShown != pedal->second.state.globalConfig)
                fail("config-shown", "the prompt shows " + std::to_string(s.configShown) + " as the pedal's, which holds " +
                                         std::to_string(pedal->second.state.globalConfig) + ", and nothing says the read failed");
        }
    }
    checkFiles(s, before, after, v);
    return v;
}

}  // namespace soak
