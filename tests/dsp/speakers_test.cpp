// Every speaker measured through the editor's image and the interpreter
// against its design target, and the voicing the table promises.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "tools/dsp/DataGenerator.h"
#include "tests/dsp/Measure.h"
#include "tools/dsp/SpeakerDesign.h"
#include "sound/SoundModel.h"

using namespace sound;

namespace {

// Speaker byte of each record, per category (guitar and bass records index
// the sealed/opened sets, gears and misc the gms set).
const int kGuitarBass[30] = {2, 3, 6, 7, 10, 11, 14, 15, 18, 19, 23, 24, 27, 28, 31, 32, 35, 36, 39, 40,
                             42, 43, 46, 47, 50, 51, 54, 55, 58, 59};
const int kGearsMisc[13] = {61, 62, 64, 65, 66, 68, 69, 70, 72, 73, 74, 76, 77};

std::vector<speakers::Speaker> table() {
    std::string text, error;
    EXPECT_TRUE(datagen::readText(std::string(DSP_SOURCE_DIR) + "/speakers.txt", text, error));
    std::vector<speakers::Speaker> all;
    EXPECT_TRUE(speakers::loadTable(text, all, error)) << error;
    return all;
}

// The left output's impulse response with the speaker loaded on the left,
// microphone centred (flat tone), volume 200 (x1.5), default blend.
std::vector<double> measure(SoundModel& e, const speakers::Speaker& s) {
    const int byte = s.set == "gms" ? kGearsMisc[s.record] : kGuitarBass[s.record];
    e.setCabinet(LeftSide, s.set == "gbso");
    e.loadSpeaker(LeftSide, byte);
    e.setMic(LeftSide, 31);
    return runImage(e.image(), impulse(16384, 0.125)).left;
}

std::vector<double> logFrequencies(double from, double to, int n) {
    std::vector<double> f;
    for (int i = 0; i < n; ++i) f.push_back(from * std::pow(to / from, double(i) / (n - 1)));
    return f;
}

}  // namespace

TEST(Speakers, EachMeasuredResponseMatchesItsTarget) {
    SoundModel e(DSP_BIN_DIR);
    const std::vector<double> freqs = logFrequencies(80, 8000, 40);
    for (const speakers::Speaker& s : table()) {
        const std::vector<double> h = measure(e, s);
        double worst = 0, at = 0;
        for (double f : freqs) {
            const double measured = magnitudeAt(h, f) / 0.125;
            const double target = 1.5 * speakers::targetMagnitude(s, f);
            const double err = std::fabs(dB(measured) - dB(target));
            if (err > worst) { worst = err; at = f; }
        }
        EXPECT_LT(worst, 1.5) << s.set << " " << s.record << " \"" << s.name << "\" at " << at << " Hz";
    }
}

TEST(Speakers, SealedAndOpenedCabinetsMeasureDifferentlyBelow200Hz) {
    // Heard through the image: the same speaker byte with the cabinet bit
    // clear and set must differ in the low end, not only in the design table.
    SoundModel e(DSP_BIN_DIR);
    for (int record = 0; record < 30; ++record) {
        e.setCabinet(LeftSide, false);
        e.loadSpeaker(LeftSide, kGuitarBass[record]);
        const std::vector<double> sealed = runImage(e.image(), impulse(16384, 0.125)).left;
        e.setCabinet(LeftSide, true);
        const std::vector<double> opened = runImage(e.image(), impulse(16384, 0.125)).left;
        double most = 0, at = 0;
        for (double f = 40; f <= 200; f *= 1.05) {
            const double d = std::fabs(dB(magnitudeAt(sealed, f)) - dB(magnitudeAt(opened, f)));
            if (d > most) { most = d; at = f; }
        }
        EXPECT_GT(most, 3.0) << "speaker byte " << kGuitarBass[record] << " (largest at " << at << " Hz)";
        // Above the cabinet's reach the two stay close.
        EXPECT_LT(std::fabs(dB(magnitudeAt(sealed, 2000)) - dB(magnitudeAt(opened, 2000))), 3.0)
            << "speaker byte " << kGuitarBass[record];
    }
}

TEST(Speakers, VoicingsAreDistinctAndPlausible) {
    const std::vector<speakers::Speaker> all = table();
    std::map<std::string, const speakers::Speaker*> byName;
    for (const auto& s : all) byName[s.set + ":" + s.name] = &s;
    auto level = [](const speakers::Speaker& s, double f) { return dB(speakers::targetMagnitude(s, f)); };

    for (const auto& s : all) {
        if (s.set == "gms") continue;
        const bool bass = s.record >= 20;
        // Steep top end: well down an octave above the roll-off.
        EXPECT_LT(level(s, 10000), level(s, 1000) - (bass ? 18 : 12)) << s.name;
        // Guitar speakers fall away below their resonance; bass ones reach lower.
        if (!bass) {
            EXPECT_LT(level(s, 40), level(s, 500) - 8) << s.name;
        } else {
            EXPECT_GT(level(s, 60), level(s, 500) - 10) << s.name;
        }
    }
    // Sealed and opened/ported versions differ below 200 Hz.
    for (const auto& s : all) {
        if (s.set != "gbss") continue;
        const speakers::Speaker& o = *byName.at("gbso:" + s.name);
        double most = 0;
        for (double f = 40; f <= 200; f *= 1.05) most = std::max(most, std::fabs(level(s, f) - level(o, f)));
        EXPECT_GT(most, 3.0) << s.name;
    }
    // No two speakers of a set share a voicing.
    for (size_t i = 0; i < all.size(); ++i)
        for (size_t j = i + 1; j < all.size(); ++j) {
            if (all[i].set != all[j].set) continue;
            double most = 0;
            for (double f = 60; f <= 10000; f *= 1.1) most = std::max(most, std::fabs(level(all[i], f) - level(all[j], f)));
            EXPECT_GT(most, 1.0) << all[i].name << " / " << all[j].name;
        }
    // Full Range is flat; telephones, megaphone and horn are band-limited.
    const speakers::Speaker& full = *byName.at("gms:Full Range Speaker");
    for (double f = 20; f <= 20000; f *= 1.2) EXPECT_NEAR(level(full, f), level(full, 1000), 0.01);
    for (const char* voice : {"Telephone Type-A", "Telephone Type-B", "Telephone Type-C", "Megaphone", "Horn"}) {
        const speakers::Speaker& v = *byName.at(std::string("gms:") + voice);
        EXPECT_LT(level(v, 100), level(v, 1500) - 20) << voice;
        if (std::string(voice) != "Horn") { EXPECT_LT(level(v, 8000), level(v, 1500) - 20) << voice; }
    }
}

TEST(Speakers, GearsAndMiscIgnoreTheCabinetSwitch) {
    SoundModel e(DSP_BIN_DIR);
    e.setCabinet(LeftSide, false);
    e.loadSpeaker(LeftSide, 66);
    const std::vector<double> sealed = runImage(e.image(), impulse(2048, 0.125)).left;
    e.setCabinet(LeftSide, true);
    e.loadSpeaker(LeftSide, 66);
    EXPECT_EQ(runImage(e.image(), impulse(2048, 0.125)).left, sealed);
}
