// Listening and exporting from the real window with no pedal attached: the
// Menu's SOUND entries and the shortcuts, played into ALSA's file plugin.
#include <gtest/gtest.h>
#include <FL/Enumerations.H>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "pedal/PedalState.h"
#include "tests/support/pedal/TestPedal.h"
#include "tests/audio/alsa_sink.h"
#include "audio/di_clips.h"
#include "audio/sound_render.h"
#include "editor/OV_Parameters.h"
#include "tests/support/gui/Events.h"
#include "tests/support/gui/RecordingDialogs.h"
#include "tests/support/gui/StatusLog.h"
#include "tests/support/gui/TestEnvironment.h"
#include "listen/listening.h"
#include "presets/OV_TransportPanel.h"
#include "presets/PresetFiles.h"
#include "shell/main_window.h"
#include "sound/SoundModel.h"
#include "dsp/WavFile.h"

using gui::RecordingDialogs;
using gui::TestEnvironment;

namespace {

void pickFromMenu(Orvella* window, RecordingDialogs& dialogs, const std::string& label) {
    dialogs.popupPicks.push_back(label);
    gui::click(window, window->menuButton()->x() + 10, window->menuButton()->y() + 10);
    gui::settle();
}

bool contains(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

}  // namespace

TEST(ListenWindow, ListenCompareAndExportWithoutAPedal) {
    TestEnvironment env;
    RecordingDialogs dialogs;
    AlsaSink sink;
    ASSERT_TRUE(sink.ready());
    std::unique_ptr<Orvella> window = env.openWindow();
    ASSERT_TRUE(window->listening());

    // Ctrl+L starts listening; the log names the clip.
    gui::key(window.get(), 'l', "", FL_CTRL);
    gui::settle();
    ASSERT_TRUE(window->listening()->listening()) << gui::lastLogLine(window.get());
    EXPECT_EQ(gui::lastLogLine(window.get()), "Listening on this computer: Guitar riff through the Dashboard's sound.");
    const std::vector<uint8_t> first(window->dashboard()->image(), window->dashboard()->image() + 512);
    sink.take(9600);

    // A speaker chosen on the Dashboard is heard within 50 ms: from then on
    // the output no longer plays the first sound going on.
    const uint64_t changedAt = sink.framesTaken();
    window->dashboard()->selectSpeakers(45, 45);
    gui::settle();
    const std::vector<float> played = sink.take(24000);
    ASSERT_EQ(played.size(), 24000u * 2);
    const std::vector<float> riff = audio::makeClip(audio::Clip::GuitarRiff);
    const audio::Stereo alone = audio::render(first.data(), std::vector<float>(riff.begin(), riff.begin() + 24000), 0);
    std::size_t offset = 0;     // where the render starts in the played stream, found a tenth of a second in
    auto matches = [&](std::size_t o) {
        for (std::size_t i = 4800 - o; i < 4800 - o + 256; ++i)
            if (played[2 * (i + o)] != alone.left[i] || played[2 * (i + o) + 1] != alone.right[i]) return false;
        return true;
    };
    while (offset < 4800 && !matches(offset)) ++offset;
    ASSERT_LT(offset, 4800u) << "the riff through the Dashboard's sound is what plays";
    std::size_t same = 4800;
    while (same < 24000 && played[2 * same] == alone.left[same - offset] &&
           played[2 * same + 1] == alone.right[same - offset])
        ++same;
    EXPECT_GT(same, changedAt);
    EXPECT_LE(same, changedAt + 2400) << "the change was heard " << (same - changedAt) / 48.0 << " ms after it";

    // The Listen entry names the clip playing; another is picked in the Menu.
    pickFromMenu(window.get(), dialogs, "      Bass line");
    ASSERT_FALSE(dialogs.popupLabels.empty());
    EXPECT_TRUE(contains(dialogs.popupLabels.back(), "Listen on this computer (Guitar riff)"));
    EXPECT_EQ(window->listening()->clipName(), "Bass line");

    // Compare with a local preset made of another sound: Ctrl+K switches.
    SoundModel model(TestEnvironment::sourceDir() + "/data/bin");
    model.loadSpeaker(sound::LeftSide, 45);
    model.setRoomSize(1);
    const uint8_t title[12] = {'C', 'o', 'm', 'p', 'a', 'r', 'e', 'd', ' ', ' ', ' ', ' '};
    const std::vector<uint8_t> lop = presetfiles::encodeLop("Other", model.params(), title);
    const std::string lopPath = env.home + "/other.lop";
    ASSERT_TRUE(TestEnvironment::writeFile(lopPath, std::string(lop.begin(), lop.end())));
    dialogs.chooserAnswers.push_back({lopPath});
    pickFromMenu(window.get(), dialogs, " > Compare with a Local Preset...");
    EXPECT_TRUE(window->listening()->hearingCompared());
    EXPECT_EQ(gui::lastLogLine(window.get()), "Hearing local preset Other.");
    gui::key(window.get(), 'k', "", FL_CTRL);
    gui::settle();
    EXPECT_FALSE(window->listening()->hearingCompared());
    EXPECT_EQ(gui::lastLogLine(window.get()), "Hearing the Dashboard's sound.");

    // Cancel at any step of the export leaves nothing behind.
    const size_t choosers = dialogs.chooserRequests.size();
    for (std::deque<int> answers : {std::deque<int>{1, 0}, {1, 1, 0}}) {
        dialogs.choiceAnswers = answers;
        pickFromMenu(window.get(), dialogs, " > Export Impulse Response...");
        EXPECT_EQ(dialogs.chooserRequests.size(), choosers);
    }
    // Export the impulse response at 44.1 kHz as float: the file holds what
    // the library computes for the Dashboard's image.
    const std::string irPath = env.desktop + "/room";
    dialogs.choiceAnswers = {2, 2};
    dialogs.chooserAnswers.push_back({irPath});
    pickFromMenu(window.get(), dialogs, " > Export Impulse Response...");
    ASSERT_FALSE(dialogs.chooserRequests.empty());
    wav::Audio ir;
    std::string error;
    ASSERT_TRUE(wav::read(irPath + ".wav", ir, error)) << error;
    audio::IrOptions options;
    options.rate = 44100;
    const audio::Stereo expected = audio::impulseResponse(window->dashboard()->image(), options);
    EXPECT_EQ(ir.rate, 44100);
    ASSERT_EQ(ir.frames(), expected.frames());
    for (size_t i = 0; i < ir.frames(); ++i) {
        ASSERT_EQ(ir.samples[2 * i], expected.left[i]) << i;
        ASSERT_EQ(ir.samples[2 * i + 1], expected.right[i]) << i;
    }
    EXPECT_NE(gui::lastLogLine(window.get()).find("Impulse response written to " + irPath + ".wav"), std::string::npos);

    // Export audio: a DI file rendered, 24-bit, with its tail.
    wav::Audio di;
    di.samples.assign(4800, 0.3f);
    ASSERT_TRUE(wav::write(env.home + "/di.wav", di, wav::Format::Int16, error)) << error;
    dialogs.chooserAnswers.push_back({env.home + "/di.wav"});
    dialogs.chooserAnswers.push_back({env.desktop + "/render.wav"});
    pickFromMenu(window.get(), dialogs, " > Export Audio...");
    wav::Audio rendered;
    ASSERT_TRUE(wav::read(env.desktop + "/render.wav", rendered, error)) << error;
    std::vector<float> diIn;
    ASSERT_TRUE(audio::loadDiFile(env.home + "/di.wav", diIn, error)) << error;
    const size_t frames = audio::renderSound(window->dashboard()->image(), diIn).sound.frames();
    EXPECT_EQ(rendered.frames(), frames);
    EXPECT_EQ(gui::lastLogLine(window.get()), "Audio written to " + env.desktop + "/render.wav (" +
                                                  audio::durationText(frames, 48000) + ", 48 kHz, 24-bit).");
    // A file that is not audio is refused with a message; nothing is written.
    dialogs.chooserAnswers.push_back({lopPath});
    pickFromMenu(window.get(), dialogs, " > Export Audio...");
    EXPECT_TRUE(contains(dialogs.texts(RecordingDialogs::Alert), "is not a WAV file"));

    // Ctrl+L again stops.
    gui::key(window.get(), 'l', "", FL_CTRL);
    gui::settle();
    EXPECT_FALSE(window->listening()->listening());
    EXPECT_EQ(gui::lastLogLine(window.get()), "Listening stopped.");
}

namespace {

// An output that cannot be opened, as a busy or missing device answers.
struct RefusingDevice : audio::AudioDevice {
    bool start(int, Pull, void*, std::string& error) override {
        error = "The audio output \"default\" could not be opened (Device unavailable). It may be in use by another program.";
        return false;
    }
    void stop() override {}
    bool healthy(std::string&) override { return true; }
    double latency() const override { return 0; }
};

}  // namespace

TEST(ListenWindow, AnOutputThatCannotOpenIsSaidAndTheProgramGoesOn) {
    TestEnvironment env;
    RecordingDialogs dialogs;
    std::unique_ptr<Orvella> window = env.openWindow();
    ListenContext context;
    context.feature = window->context();
    context.device = [] { return std::unique_ptr<audio::AudioDevice>(new RefusingDevice); };
    Listening listening(context);
    listening.toggleListen();
    gui::settle();
    EXPECT_FALSE(listening.listening());
    ASSERT_EQ(dialogs.count(RecordingDialogs::Alert), 1);
    EXPECT_NE(dialogs.texts(RecordingDialogs::Alert)[0].find("could not be opened"), std::string::npos);
    EXPECT_EQ(gui::lastLogLine(window.get()).rfind("Listening failed: The audio output", 0), 0u);
    // The program goes on: an export needs no output, and Listen can be tried again.
    dialogs.choiceAnswers = {1, 1, 1};
    dialogs.chooserAnswers.push_back({env.desktop + "/ir.wav"});
    listening.exportImpulseResponse();
    EXPECT_EQ(TestEnvironment::readFile(env.desktop + "/ir.wav").substr(0, 4), "RIFF");
    listening.toggleListen();
    EXPECT_EQ(dialogs.count(RecordingDialogs::Alert), 2);
}

TEST(ListenWindow, ComparesWithThePresetAsStoredOnThePedal) {
    TestEnvironment env;
    RecordingDialogs dialogs;
    testpedal::PedalFolder pedals;
    testpedal::VirtualPedal pedal(pedals);
    ASSERT_TRUE(pedal.start());
    std::unique_ptr<Orvella> window = env.openWindow();
    ASSERT_TRUE(window->transportPanel()->active());
    window->transportPanel()->selectedPreset = 4;
    const size_t before = pedal.commands().size();
    pickFromMenu(window.get(), dialogs, " > Compare with the Pedal's Preset");
    const std::vector<testpedal::LoggedCommand> commands = pedal.commands();
    ASSERT_EQ(commands.size(), before + 1);
    EXPECT_EQ(commands.back().name, "read-preset");
    // The sound the pedal's preset 5 makes, as the Dashboard would load it.
    PedalState state;
    ASSERT_TRUE(pedal.state(state));
    uint8_t bank[192];
    state.bank(bank);
    SoundModel model(env.work + "/bin");
    model.apply(bank + 4 * 12);
    EXPECT_EQ(window->listening()->comparedImage(), std::vector<uint8_t>(model.image(), model.image() + 512));
    EXPECT_NE(gui::lastLogLine(window.get()).find("Compare with preset 5 ("), std::string::npos)
        << gui::lastLogLine(window.get());
    EXPECT_TRUE(window->listening()->canSwitch());
    // Every control is given back after the read.
    EXPECT_TRUE(window->transportPanel()->active());
    EXPECT_TRUE(window->dashboard()->active());
}
