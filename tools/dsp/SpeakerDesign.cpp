#include "tools/dsp/SpeakerDesign.h"

#include <cmath>
#include <complex>
#include <sstream>

#include "sound/CoreFiles.h"

using namespace sound;

namespace speakers {
namespace {

constexpr double kRate = 48000.0;
constexpr double kPi = 3.14159265358979323846;
// Sections 0 and 1 of the filter program hold their poles in the fine forms.
constexpr int kFineSections = 2;

std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

std::complex<double> sectionResponse(const Biquad& q, double f) {
    const std::complex<double> z1 = std::polar(1.0, -2 * kPi * f / kRate);
    return (q.b0 + q.b1 * z1 + q.b2 * z1 * z1) / (1.0 + q.a1 * z1 + q.a2 * z1 * z1);
}

double cascadeMagnitude(const std::array<Biquad, 5>& c, double f) {
    std::complex<double> h = 1.0;
    for (const Biquad& q : c) h *= sectionResponse(q, f);
    return std::abs(h);
}

bool parseSection(const std::string& text, Section& s, std::string& why) {
    std::istringstream in(text);
    in >> s.type;
    if (s.type == "FLAT") return true;
    const bool needsGain = s.type == "PK" || s.type == "LS" || s.type == "HS";
    if (s.type != "HP" && s.type != "LP" && s.type != "BP" && !needsGain) {
        why = "unknown section type \"" + s.type + "\"";
        return false;
    }
    if (!(in >> s.freq >> s.q) || (needsGain && !(in >> s.gainDb))) {
        why = "section \"" + text + "\" lacks numbers";
        return false;
    }
    std::string extra;
    if (in >> extra) { why = "section \"" + text + "\" has extra text"; return false; }
    if (s.freq < 10 || s.freq > 20000 || s.q < 0.1 || s.q > 10 || std::fabs(s.gainDb) > 18) {
        why = "section \"" + text + "\" is out of range (10..20000 Hz, Q 0.1..10, +-18 dB)";
        return false;
    }
    return true;
}

}  // namespace

// The record counts the editor reads (sound/CoreFiles.h).
int setSize(const std::string& set) {
    if (set == "gbss" || set == "gbso") return GuitarBassRecords;
    if (set == "gms") return GearMiscRecords;
    return 0;
}

Biquad designSection(const Section& s) {
    Biquad q;
    if (s.type == "FLAT") return q;
    const double w = 2 * kPi * s.freq / kRate;
    const double cw = std::cos(w), sw = std::sin(w);
    const double alpha = sw / (2 * s.q);
    const double A = std::pow(10.0, s.gainDb / 40);
    double b0 = 1, b1 = 0, b2 = 0, a0 = 1, a1 = 0, a2 = 0;
    if (s.type == "HP") {
        b0 = (1 + cw) / 2; b1 = -(1 + cw); b2 = b0;
        a0 = 1 + alpha; a1 = -2 * cw; a2 = 1 - alpha;
    } else if (s.type == "LP") {
        b0 = (1 - cw) / 2; b1 = 1 - cw; b2 = b0;
        a0 = 1 + alpha; a1 = -2 * cw; a2 = 1 - alpha;
    } else if (s.type == "BP") {            // 0 dB peak gain
        b0 = alpha; b1 = 0; b2 = -alpha;
        a0 = 1 + alpha; a1 = -2 * cw; a2 = 1 - alpha;
    } else if (s.type == "PK") {
        b0 = 1 + alpha * A; b1 = -2 * cw; b2 = 1 - alpha * A;
        a0 = 1 + alpha / A; a1 = -2 * cw; a2 = 1 - alpha / A;
    } else if (s.type == "LS" || s.type == "HS") {
        const double sq = 2 * std::sqrt(A) * alpha;
        const double sign = s.type == "LS" ? 1 : -1;
        b0 = A * ((A + 1) - sign * (A - 1) * cw + sq);
        b1 = sign * 2 * A * ((A - 1) - sign * (A + 1) * cw);
        b2 = A * ((A + 1) - sign * (A - 1) * cw - sq);
        a0 = (A + 1) + sign * (A - 1) * cw + sq;
        a1 = -sign * 2 * ((A - 1) + sign * (A + 1) * cw);
        a2 = (A + 1) + sign * (A - 1) * cw - sq;
    }
    q.b0 = b0 / a0; q.b1 = b1 / a0; q.b2 = b2 / a0; q.a1 = a1 / a0; q.a2 = a2 / a0;
    return q;
}

double targetMagnitude(const Speaker& s, double f) {
    return s.gain * cascadeMagnitude(s.biquads, f);
}

bool loadTable(const std::string& text, std::vector<Speaker>& out, std::string& error) {
    out.clear();
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    auto fail = [&](const std::string& why) {
        error = "speaker table line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        const size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        if (trim(line).empty()) continue;
        std::vector<std::string> fields;
        std::stringstream ss(line);
        std::string f;
        while (std::getline(ss, f, '|')) fields.push_back(trim(f));
        if (fields.size() != 6) return fail("expected a head and five sections separated by '|'");
        Speaker sp;
        const std::string& head = fields[0];
        const size_t q1 = head.find('"'), q2 = head.rfind('"');
        if (q1 == std::string::npos || q2 == q1) return fail("the speaker name must be quoted");
        sp.name = head.substr(q1 + 1, q2 - q1 - 1);
        std::istringstream hs(head.substr(0, q1));
        if (!(hs >> sp.set >> sp.record) || setSize(sp.set) == 0 || sp.record < 0 ||
            sp.record >= setSize(sp.set))
            return fail("bad set or record number");
        for (const Speaker& o : out)
            if (o.set == sp.set && o.record == sp.record) return fail("record listed twice");
        for (int i = 0; i < 5; ++i) {
            std::string why;
            if (!parseSection(fields[i + 1], sp.sections[i], why)) return fail(why);
            sp.biquads[i] = designSection(sp.sections[i]);
        }
        // Peak of the cascade over the audio band, on a logarithmic grid.
        double peak = 0;
        for (double fr = 20; fr <= 20000; fr *= 1.01) peak = std::max(peak, cascadeMagnitude(sp.biquads, fr));
        Biquad& first = sp.biquads[0];
        first.b0 /= peak; first.b1 /= peak; first.b2 /= peak;
        double sumDb = 0;
        int n = 0;
        for (double fr = 200; fr <= 4000; fr *= 1.01, ++n) sumDb += 20 * std::log10(cascadeMagnitude(sp.biquads, fr));
        const double wanted = std::pow(10.0, (-3.0 - sumDb / n) / 20);
        sp.gain = std::min(1.9, std::max(0.25, wanted));
        // The gain word stores 14 fraction bits: design against what the pedal gets.
        sp.gain = std::lround(sp.gain * 16384) / 16384.0;
        for (int j = 0; j < 5; ++j) {
            const Biquad& q = sp.biquads[j];
            bool fits = std::fabs(q.b0) < 3.99 && std::fabs(q.b1) < 3.99 && std::fabs(q.b2) < 3.99;
            if (j < kFineSections && sp.sections[j].type != "FLAT")
                fits = fits && std::fabs(8 * (-q.a1 / 2 - 1)) < 1.99 && std::fabs(8 * (0.5 - q.a2 / 2)) < 1.99;
            else
                fits = fits && std::fabs(q.a1) < 3.99 && std::fabs(q.a2) < 3.99;
            if (!fits)
                return fail("\"" + sp.name + "\": section " + std::to_string(j) +
                            " does not fit its 16-bit coefficient form");
        }
        out.push_back(sp);
    }
    for (const char* set : {"gbss", "gbso", "gms"}) {
        int count = 0;
        for (const Speaker& s : out) count += s.set == set;
        if (count != setSize(set)) {
            error = std::string("speaker table: set ") + set + " has " + std::to_string(count) + " records, needs " +
                    std::to_string(setSize(set));
            return false;
        }
    }
    return true;
}

std::array<int16_t, 26> recordWords(const Speaker& s) {
    std::array<int16_t, 26> w{};
    auto field = [](double v) { return static_cast<int16_t>(std::lround(v * 16384)); };
    for (int j = 0; j < 5; ++j) {
        const Biquad& q = s.biquads[j];
        int16_t* c = &w[5 * j];
        if (j < kFineSections && s.sections[j].type == "FLAT") {
            // Poles at 0.75 and 0.875 cancelled by equal zeros: every value is
            // exact in both forms, so the section passes its input unchanged.
            const int16_t flat[5] = {8192, -13312, 5376, -24576, 22528};
            for (int i = 0; i < 5; ++i) c[i] = flat[i];
            continue;
        }
        c[0] = field(q.b0 / 2);
        // A high-pass keeps its double zero exactly at DC: b1 = -2 b0, b2 = b0.
        const bool highPass = s.sections[j].type == "HP";
        c[1] = highPass ? static_cast<int16_t>(-2 * c[0]) : field(q.b1 / 2);
        c[2] = highPass ? c[0] : field(q.b2 / 2);
        if (j < kFineSections) {
            c[3] = field(8 * (-q.a1 / 2 - 1));
            c[4] = field(8 * (0.5 - q.a2 / 2));
        } else {
            c[3] = field(-q.a1 / 2);
            c[4] = field(-q.a2 / 2);
        }
    }
    w[25] = static_cast<int16_t>(std::lround(s.gain * 16384));
    return w;
}

bool setFile(const std::vector<Speaker>& all, const std::string& set, std::vector<uint8_t>& bytes,
             std::string& error) {
    const int n = setSize(set);
    bytes.assign(static_cast<size_t>(n) * 52, 0);
    std::vector<bool> seen(n, false);
    for (const Speaker& s : all) {
        if (s.set != set) continue;
        const std::array<int16_t, 26> w = recordWords(s);
        for (int i = 0; i < 26; ++i) {
            const uint16_t u = static_cast<uint16_t>(w[i]);
            bytes[s.record * 52 + 2 * i] = static_cast<uint8_t>(u & 0xFF);
            bytes[s.record * 52 + 2 * i + 1] = static_cast<uint8_t>(u >> 8);
        }
        seen[s.record] = true;
    }
    for (int i = 0; i < n; ++i)
        if (!seen[i]) { error = "set " + set + " lacks record " + std::to_string(i); return false; }
    return true;
}

}  // namespace speakers
