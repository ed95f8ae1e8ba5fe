// The LV2 bundle through Debian's own tools: lv2_validate passes on it, and
// lv2apply playing a DI file through it with its controls set gives what
// `orvella-cli render` gives for the same record, sample for sample.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "audio/di_clips.h"
#include "plugin/plugin_params.h"
#include "presets/PresetFiles.h"
#include "sound/Speakers.h"
#include "dsp/WavFile.h"

namespace {

// Runs a command line; its output (stdout and stderr) in out.
int run(const std::string& command, std::string& out) {
    out.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    return pclose(pipe);
}

std::string quoted(const std::string& s) { return "'" + s + "'"; }

TEST(Lv2Bundle, ValidatesWithDebiansTools) {
    std::string out;
    ASSERT_EQ(run("lv2_validate " ORVELLA_LV2_BUNDLE "/*.ttl", out), 0) << out;
    EXPECT_NE(out.find("Found 0 errors"), std::string::npos) << out;
}

TEST(Lv2Bundle, Lv2applyGivesTheRender) {
#ifdef ORVELLA_SANITIZED
    GTEST_SKIP() << "an instrumented plugin cannot be loaded by lv2apply, which is not";
#endif
    const std::string dir = ::testing::TempDir() + "/orvella-lv2";
    std::string out;
    ASSERT_EQ(run("mkdir -p " + quoted(dir), out), 0);
    std::mt19937 rng(48000);
    const std::vector<float> clip = audio::makeClip(audio::Clip::BassLine);
    for (int round = 0; round < 4; ++round) {
        // A random record a pedal holds, as a local preset file.
        uint8_t record[sound::ParamCount], title[presetfiles::TitleSize];
        record[sound::Flags] = uint8_t(rng());
        for (int i = 1; i < sound::ParamCount; ++i) record[i] = uint8_t(rng() % (paramMax(i, record[0]) + 1));
        record[sound::Speaker_L] = uint8_t(plugin::speakerByteAt(int(rng() % plugin::speakerCount())));
        record[sound::Speaker_R] = uint8_t(plugin::speakerByteAt(int(rng() % plugin::speakerCount())));
        presetfiles::padTitle("Random", title);
        const std::vector<uint8_t> lop = presetfiles::encodeLop("Random", record, title);
        ASSERT_TRUE(files::writeFileAtomically(dir + "/sound.lop", lop.data(), lop.size()));

        // The DI: mono, or stereo with two different channels; one second of
        // silence after it, as long as the render's tail.
        const bool stereo = round % 2;
        wav::Audio di;
        di.channels = stereo ? 2 : 1;
        for (std::size_t i = 0; i < clip.size() + 48000; ++i) {
            const float x = i < clip.size() ? clip[i] : 0.0f;
            di.samples.push_back(x);
            if (stereo) di.samples.push_back(i < clip.size() ? clip[(i * 3) % clip.size()] * 0.25f : 0.0f);
        }
        std::string error;
        ASSERT_TRUE(wav::write(dir + "/di.wav", di, wav::Format::Float32, error)) << error;

        ASSERT_EQ(run(quoted(ORVELLA_CLI) + " render --data " + quoted(ORVELLA_DATA_DIR) + " --format float " +
                          quoted(dir + "/di.wav") + " " + quoted(dir + "/render.wav") + " --lop " + quoted(dir + "/sound.lop"),
                      out), 0) << out;
        std::string controls;
        const plugin::ParamValues values = plugin::valuesFromBlock(record);
        for (int id = 0; id < plugin::ParamCount; ++id)
            controls += std::string(" -c ") + plugin::paramInfo(id).symbol + " " + std::to_string(values.v[id]);
        ASSERT_EQ(run("LV2_PATH=" + quoted(std::string(ORVELLA_LV2_BUNDLE) + "/..") + " lv2apply -i " +
                          quoted(dir + "/di.wav") + " -o " + quoted(dir + "/plugin.wav") + controls +
                          " https://kestrova.example/plugins/orvella", out), 0) << out;

        wav::Audio expected, played;
        ASSERT_TRUE(wav::read(dir + "/render.wav", expected, error)) << error;
        ASSERT_TRUE(wav::read(dir + "/plugin.wav", played, error)) << error;
        ASSERT_EQ(played.channels, 2);
        ASSERT_EQ(played.frames(), di.frames());
        ASSERT_GE(expected.frames(), played.frames());
        std::size_t first = played.frames();
        for (std::size_t i = 0; i < played.samples.size() && first == played.frames(); ++i)
            if (played.samples[i] != expected.samples[i]) first = i / 2;
        EXPECT_EQ(first, played.frames()) << "round " << round << (stereo ? ", stereo" : ", mono") << ": differs from frame " << first;
    }
}

}  // namespace
