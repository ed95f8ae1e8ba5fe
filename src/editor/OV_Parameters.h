// The Dashboard tab: every control that edits the parameter block, the
// drawing around them, and the handlers that keep controls, block and
// algorithm image in step. The sound logic itself lives in SoundEngine.
#pragma once

#include <FL/Fl_Group.H>

#include <cstdint>

class SoundEngine;

class OV_Parameters : public Fl_Group {
public:
    OV_Parameters(int x, int y, int w, int h, const char* label = nullptr);
    ~OV_Parameters() override;

    // Loads a 12-byte block by running every control's handler (clamping
    // out-of-range bytes), so controls, sound model and image follow it.
    void apply(const uint8_t* block);
    // Sets both speakers at once (tone chart audition), then previews once.
    void selectSpeakers(int left, int right);

    const uint8_t* params() const;          // _Params, 12 bytes
    const uint8_t* image() const;           // AlgorithmImage, 512 bytes
    bool leftSoloOn() const;
    bool rightSoloOn() const;
    int savedSpeaker(int side) const;       // 0 left, 1 right

    SoundEngine* engine;
    unsigned char coreFilesOk;
    unsigned char live;
    unsigned char globalConfig;             // cached global configuration byte
    int stereoMode;                         // 0 STEREO CABS, 1 STEREO MICS
};
