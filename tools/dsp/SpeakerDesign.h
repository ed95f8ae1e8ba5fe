// Speaker designer: turns the readable table of target responses (dsp/
// speakers.txt) into five second-order sections per speaker and the 52-byte
// coefficient records of gbss.coe, gbso.coe and gms.coe.
//
// Table line:  set record "name" | section | section | section | section | section
// Section:     HP f q | LP f q | PK f q dB | LS f q dB | HS f q dB | BP f q | FLAT
// Sections 0 and 1 must have their poles near DC (high-passes and low
// shelves or peaks below a few kHz) or be FLAT.
// Sets are gbss (30 records), gbso (30) and gms (13). Frequencies in Hz.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace speakers {

struct Section {
    std::string type;           // HP, LP, PK, LS, HS, BP, FLAT
    double freq = 0, q = 0.7071, gainDb = 0;
};

struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;   // a0 = 1
};

struct Speaker {
    std::string set;
    int record = 0;
    std::string name;
    std::array<Section, 5> sections;
    // Designed: the cascade (section 0 scaled so the cascade peaks at 0 dB)
    // and the gain word that brings the mean level from 200 Hz to 4 kHz to -3 dB.
    std::array<Biquad, 5> biquads;
    double gain = 1.0;
};

// Parses and designs the whole table; checks that every set is complete.
bool loadTable(const std::string& text, std::vector<Speaker>& out, std::string& error);

Biquad designSection(const Section& s);

// Magnitude of the designed cascade times the gain word's value, at f Hz.
double targetMagnitude(const Speaker& s, double f);

// The 26 little-endian 16-bit words of a record, then the gain word. Every
// section gives c0..c2 = b/2; sections 2..4 give c3 = -a1/2, c4 = -a2/2, and
// sections 0 and 1 (low-frequency poles) the fine forms c3 = 8(-a1/2 - 1),
// c4 = 8(1/2 - a2/2). All rounded to 14 fraction bits.
std::array<int16_t, 26> recordWords(const Speaker& s);

// The bytes of one coefficient set file, records in order.
bool setFile(const std::vector<Speaker>& all, const std::string& set, std::vector<uint8_t>& bytes,
             std::string& error);

int setSize(const std::string& set);   // 30, 30, 13, or 0 for an unknown set

}  // namespace speakers
