#include "tools/dsp/DataGenerator.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "tools/dsp/DspAsm.h"
#include "tools/dsp/FactoryBank.h"
#include "tools/dsp/SpeakerDesign.h"

namespace datagen {
namespace {

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    const std::string temp = path + ".tmp";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) { error = "cannot create \"" + temp + "\""; return false; }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        error = "cannot write \"" + path + "\"";
        return false;
    }
    return true;
}

}  // namespace

bool readText(const std::string& path, std::string& text, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) { error = "cannot open \"" + path + "\""; return false; }
    text.clear();
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
    return true;
}

bool generate(const std::string& src, const std::string& out, std::string& error) {
    // Everything is built in memory first, so that a fault in any source
    // leaves the output folder as it was rather than half regenerated.
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    for (const char* name : {"ScCore_A", "ScCore_B", "SmCore", "SpFiL", "SpFiR"}) {
        std::string text;
        if (!readText(src + "/" + name + ".asm", text, error)) return false;
        dspasm::Program program;
        if (!dspasm::assemble(text, program, error)) {
            error = std::string(name) + ".asm " + error;
            return false;
        }
        std::vector<uint8_t> image(dspisa::kImageBytes);
        dspasm::toImage(program, image.data());
        files.emplace_back(std::string(name) + ".fvc", image);
    }
    std::string table;
    std::vector<speakers::Speaker> all;
    if (!readText(src + "/speakers.txt", table, error) || !speakers::loadTable(table, all, error)) return false;
    for (const char* set : {"gbss", "gbso", "gms"}) {
        std::vector<uint8_t> bytes;
        if (!speakers::setFile(all, set, bytes, error)) return false;
        files.emplace_back(std::string(set) + ".coe", bytes);
    }
    std::string presetsText;
    std::vector<factory::Preset> presets;
    if (!readText(src + "/factory.txt", presetsText, error) || !factory::parse(presetsText, presets, error))
        return false;
    std::vector<uint8_t> bankBytes(factory::kBankBytes);
    factory::bank(presets, bankBytes.data());
    files.emplace_back("factoryset.fap", bankBytes);

    for (const auto& file : files)
        if (!writeFile(out + "/" + file.first, file.second, error)) return false;
    return true;
}

}  // namespace datagen
