// Listening through the computer's output, played into ALSA's file plugin:
// what the output took is the offline render of the same clip and sound, and
// a change during playback is heard within 50 ms, crossfaded over one block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "dsp/DspInterpreter.h"
#include "tests/audio/alsa_sink.h"
#include "audio/di_clips.h"
#include "audio/player.h"
#include "audio/sound_render.h"
#include "sound/Params.h"
#include "sound/SoundModel.h"

namespace {

using audio::Player;

std::vector<uint8_t> imageOf(SoundModel& engine) { return std::vector<uint8_t>(engine.image(), engine.image() + 512); }

std::vector<float> looped(const std::vector<float>& clip, std::size_t frames) {
    std::vector<float> out(frames);
    for (std::size_t i = 0; i < frames; ++i) out[i] = clip[i % clip.size()];
    return out;
}

}  // namespace

class Playback : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sink = new AlsaSink; }
    static void TearDownTestSuite() { delete sink; }
    static AlsaSink* sink;
};
AlsaSink* Playback::sink = nullptr;

TEST_F(Playback, PlaysTheRenderAndHearsAChangeWithin50Ms) {
    ASSERT_TRUE(sink->ready());
    SoundModel engine(ORVELLA_BIN_DIR);
    ASSERT_TRUE(engine.coreFilesOk());
    const std::vector<uint8_t> before = imageOf(engine);
    engine.setRoomSize(1);
    engine.loadSpeaker(sound::LeftSide, 3);
    engine.setMic(sound::RightSide, 40);
    const std::vector<uint8_t> after = imageOf(engine);
    ASSERT_NE(before, after);

    const std::vector<float> clip = audio::makeClip(audio::Clip::GuitarRiff);
    Player player(audio::systemAudioDevice());
    std::string error;
    ASSERT_TRUE(player.start(clip, before.data(), error)) << error;
    // A quarter of a second in, the change; its moment in frames the output took.
    sink->take(12000);
    const uint64_t changedAt = sink->framesTaken();
    player.setSound(after.data());
    const std::vector<float> played = sink->take(48000);
    player.stop();
    ASSERT_EQ(played.size(), 96000u) << "the output stalled";

    // Align a tenth of a second in: before that the output may have filled
    // its own buffer faster than real time (ALSA's file plugin takes whole
    // buffers at the start), which leaves gaps no steady output has.
    const std::size_t frames = 48000, probe = 4800;
    const audio::Stereo reference = audio::render(before.data(), looped(clip, frames), 0);
    std::size_t offset = 0;
    auto matches = [&](std::size_t o, std::size_t from, std::size_t count) {
        for (std::size_t i = from; i < from + count; ++i)
            if (played[2 * (i + o)] != reference.left[i] || played[2 * (i + o) + 1] != reference.right[i]) return false;
        return true;
    };
    while (offset < probe && !matches(offset, probe - offset, 256)) ++offset;
    ASSERT_LT(offset, probe) << "the played samples are not the render";
    // The old sound, sample for sample, up to the block that changes.
    std::size_t change = probe - offset;
    while (change + offset < frames && played[2 * (change + offset)] == reference.left[change] &&
           played[2 * (change + offset) + 1] == reference.right[change])
        ++change;
    const std::size_t block = change / Player::BlockFrames * Player::BlockFrames;
    ASSERT_GT(block, 0u);
    // Heard within 50 ms of the change (2400 frames at 48 kHz).
    std::printf("change heard after %.1f ms, output latency %.1f ms\n", (double(block + offset) - double(changedAt)) / 48.0,
                player.deviceLatency() * 1000);
    EXPECT_LE(int64_t(block + offset) - int64_t(changedAt), 2400) << "heard after " << block + offset - changedAt << " frames";

    // From that block on: a one-block crossfade into the new sound, which
    // starts from a cleared state there, then the new sound alone.
    DspInterpreter old, next;
    old.load(before.data());
    next.load(after.data());
    const std::vector<float> in = looped(clip, frames);
    std::vector<float> l(frames), r(frames);
    old.run(in.data(), l.data(), r.data(), block + Player::BlockFrames);
    std::vector<float> l2(frames), r2(frames);
    next.run(in.data() + block, l2.data(), r2.data(), frames - block);
    std::size_t compared = 0;
    for (std::size_t i = 0; block + i + offset < frames; ++i, ++compared) {
        float el = l2[i], er = r2[i];
        if (i < Player::BlockFrames) {
            const float g = float(i + 1) / Player::BlockFrames;
            el = g * l2[i] + (1 - g) * l[block + i];
            er = g * r2[i] + (1 - g) * r[block + i];
        }
        ASSERT_EQ(played[2 * (block + i + offset)], el) << "frame " << i << " after the change";
        ASSERT_EQ(played[2 * (block + i + offset) + 1], er) << "frame " << i << " after the change";
    }
    EXPECT_GT(compared, 24000u);
}
