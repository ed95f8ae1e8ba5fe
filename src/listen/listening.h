// Listening on this computer: plays a DI clip through the Dashboard's sound on
// the computer's audio output (no pedal needed), compares it with a local
// preset at the same point of the clip, and exports the sound as an impulse
// response or a rendered WAV file. The Menu's SOUND entries and the Listen
// and Compare shortcuts lead here.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/audio_device.h"
#include "context/feature_context.h"

namespace audio {
class Player;
}

// What the shell hands the feature besides the shared context.
struct ListenContext {
    FeatureContext feature;
    std::function<std::string()> title;        // the transport strip's title, for file names
    // The transport strip's preset (0..7) while a pedal is connected, else -1.
    std::function<int()> pedalPreset;
    std::string binDir = "bin";                // core files, to compose a compared preset
    // The output to play on (the computer's default output unless a test says otherwise).
    std::function<std::unique_ptr<audio::AudioDevice>()> device = audio::systemAudioDevice;
};

class Listening {
public:
    // The built-in clips, then the user's file.
    enum Source { GuitarRiff, GuitarChords, BassLine, UserFile };

    explicit Listening(const ListenContext& context);
    ~Listening();
    Listening(const Listening&) = delete;
    Listening& operator=(const Listening&) = delete;

    bool listening() const;
    void toggleListen();
    // The Dashboard's sound changed: heard from the next block, unless the
    // compared preset is what plays.
    void soundChanged();

    Source source() const { return source_; }
    // Built-in clips; UserFile opens a file chooser for a WAV file.
    void chooseSource(Source source);
    std::string clipName() const;       // the clip playing or to play

    // Compare: chooses a local preset file, or reads the transport strip's
    // preset from the pedal, to compare with (and switches to it when
    // listening); switchCompared goes between the Dashboard and that preset.
    void chooseComparePreset();
    void compareWithPedalPreset();
    bool pedalConnected() const { return context_.pedalPreset && context_.pedalPreset() >= 0; }
    const std::vector<uint8_t>& comparedImage() const { return compareImage_; }
    void switchCompared();
    bool canSwitch() const { return !compareImage_.empty(); }
    bool hearingCompared() const { return hearingCompared_; }
    const std::string& comparedName() const { return comparedName_; }

    void exportImpulseResponse();
    void exportAudio();

    // The Listen entry's label, naming the clip.
    const char* listenLabel();

private:
    static void poll(void* self);
    static int shortcut(int event);
    bool startPlayer();
    void stopPlayer(const char* why);
    std::vector<float> clip() const;
    bool compareWith(const uint8_t record[12], const std::string& name);
    const uint8_t* heardImage() const;
    void log(const std::string& line);
    std::string defaultFileName(const std::string& suffix) const;

    ListenContext context_;
    std::unique_ptr<audio::Player> player_;
    Source source_ = GuitarRiff;
    std::vector<float> userClip_;
    std::string userClipName_;
    std::vector<uint8_t> lastSound_;            // the Dashboard image last handed to the player
    std::vector<uint8_t> compareImage_;
    std::string comparedName_;
    bool hearingCompared_ = false;
    std::string label_;
    static Listening* active_;                  // the instance the shortcuts reach
};
