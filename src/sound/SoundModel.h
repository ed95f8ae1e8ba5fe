// The sound model as one object: the 12-byte parameter block, the real-valued
// model, the working copies of the DSP cores and the 512-byte algorithm image
// the pedal runs. Plain C++: no toolkit headers, so it is tested without a display.
//
// Every operation below writes the parameter byte(s) it stands for, the model
// fields it derives, and only the working-copy and image words it affects.
// None of them talks to the pedal. An operation returns true when the change
// reached the live image and should be previewed (the caller previews only
// while live() is set); it returns false when it changed nothing audible, for
// example a change on the side muted by the other side's Solo, or a press of a
// switch that is already on.
#pragma once

#include <cstdint>
#include <string>

#include "sound/Params.h"

namespace sound {

enum Side { LeftSide = 0, RightSide = 1 };

}  // namespace sound

class SoundModelImpl;

class SoundModel {
public:
    // Reads the speaker sets and core files from binDir and assembles the image
    // that applying the default block gives.
    explicit SoundModel(const std::string& binDir = "bin");
    ~SoundModel();
    SoundModel(const SoundModel&) = delete;
    SoundModel& operator=(const SoundModel&) = delete;

    bool coreFilesOk() const;               // false if any file was missing or short
    const uint8_t* params() const;          // _Params, 12 bytes, indexed by ParamIndex
    uint8_t* params();
    const uint8_t* image() const;           // AlgorithmImage, 512 bytes
    bool live() const;
    void setLive(bool on);

    // Speaker selection and cabinet type (byte 1/2 and Flags bit 4/5). A byte
    // that names no item loads its category's default. "Full Range Speaker"
    // gives a flat microphone tone (see micWheelEnabled); leaving it brings
    // back the tone of the side's Mic byte. A cabinet change on a Gears or
    // Misc speaker only sets the bit and returns false.
    bool loadSpeaker(sound::Side side, int speakerByte);
    bool setCabinet(sound::Side side, bool opened);

    // Valuator commits; each clamps its value to the range shown.
    bool setMic(sound::Side side, int position);   // 0..62
    bool setVolume(sound::Side side, int value);   // 0..200, 100 = mute
    bool setBlend(sound::Side side, int value);    // 0..100
    bool setDelay(int value);               // 0..250, or 0..100 when ultra-short
    bool setTime(int percent);              // 0..100
    bool setDepth(int percent);             // 0..100
    bool setColor(int color);               // 0..3

    // Switches.
    // Rescales Delay by 100/250 or 250/100, keeping the integer part; the
    // delay slider should then show params()[Delay].
    bool setUltraShort(bool on);
    // 0 Stereo Enhancer, 1 Notcher/Doubler: swaps the variant words and
    // rewrites blends, volumes and delay at their new places with live()
    // cleared; always returns true (one preview), live() is restored after.
    bool setDelayVariant(int item);
    bool setRoomSize(int size);             // 0 Small, 1 Medium
    bool setMode(int stereoMics);           // 0 Stereo Cabs, 1 Stereo Mics
    bool setSolo(sound::Side side, bool on);       // Stereo Cabs only; at most one side
    bool solo(sound::Side side) const;
    int savedSpeaker(sound::Side side) const;      // speaker byte last loaded on the side
    // Puts back a side's saved speaker byte: an audition loads speakers
    // without making them the user's choice.
    void restoreSavedSpeaker(sound::Side side, int speakerByte);

    // Loads a whole block, clamping every byte to its range and mapping a
    // speaker byte that names no selectable item to its category's default.
    // Leaves live() as it found it. It runs exactly these steps, which a
    // panel that applies a block through its own handlers runs too:
    //   beginApply(block);                        live off, Solo off, sanitized copy
    //   loadSpeaker(LeftSide, params()[Speaker_L]); loadSpeaker(RightSide, params()[Speaker_R]);
    //   setRoomSize(Flags bit 2);
    //   exchangeDelayWords(Flags bit 7);
    //   recordMode(Flags bit 3);
    //   setColor(bits 0-1); setMic(L), setMic(R), setVolume(L), setVolume(R),
    //   setBlend(L), setBlend(R), setDelay, setTime, setDepth  (bytes of params())
    //   enterMode(Flags bit 3);                   the whole mode core into the image
    //   endApply();                               live as before beginApply
    void apply(const uint8_t block[sound::ParamCount]);
    void beginApply(const uint8_t block[sound::ParamCount]);
    void exchangeDelayWords(int item);      // variant words only, no re-run of handlers
    void recordMode(int stereoMics);        // mode used by the following operations
    bool enterMode(int stereoMics);         // full mode switch even if already in it
    void endApply();

    // State the Dashboard shows.
    int stereoMode() const;                 // 0 Stereo Cabs, 1 Stereo Mics
    bool micWheelEnabled(sound::Side side) const;  // false while the side has "Full Range Speaker"
    const struct CategoryMemory& categoryMemory() const;

    // The model and the working copies, for read-outs and tests.
    const struct DspModel& model() const;
    const uint8_t* scCore() const;          // 28 words, 4 bytes each
    const uint8_t* smCore() const;          // 81 words
    const uint8_t* filterBlock(sound::Side side) const;   // 45 words
    const std::string& loadProblems() const;       // missing or short files, one per line

private:
    SoundModelImpl* impl;
};
