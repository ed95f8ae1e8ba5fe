// A "bin" folder of core and coefficient files whose every word is distinct,
// so a word copied to the wrong place, or with its bytes swapped, is caught.
#pragma once

#include <cstdint>
#include <string>

// File numbers in load order: 0 gbss.coe, 1 gbso.coe, 2 gms.coe, 3 ScCore_A,
// 4 ScCore_B, 5 SmCore, 6 SpFiL, 7 SpFiR.
enum PatternFile { Sealed = 0, Open, GearMisc, CoreA, CoreB, SmCoreFile, FilterLFile, FilterRFile };

class PatternBin {
public:
    PatternBin();           // writes all eight files, each exactly as long as it is read
    ~PatternBin();
    PatternBin(const PatternBin&) = delete;
    PatternBin& operator=(const PatternBin&) = delete;

    const std::string& dir() const { return path; }
    std::string file(PatternFile f) const;
    void remove(PatternFile f) const;
    void shorten(PatternFile f, long bytes) const;     // truncate by this many bytes

private:
    std::string path;
};

// The 16-bit value of word w of record r in set (Sealed, Open or GearMisc).
uint16_t coePattern(int set, int record, int word);
// The four bytes of word w (counted from the read offset) of a core file.
void fvcPattern(PatternFile f, int word, uint8_t out[4]);

// Reading an image or a working copy.
uint32_t wordAt(const uint8_t* words, int w);
uint16_t c16At(const uint8_t* words, int w);
unsigned c11At(const uint8_t* words, int w);
unsigned addressAt(const uint8_t* words, int w);
