// The tone charts' measurement, checked against the response computed
// directly from each speaker's coefficient record; and which speaker each
// list line stands for.
#include <gtest/gtest.h>

#include <cmath>

#include "tools/pictures/ToneChartMeasure.h"
#include "reference/ToneChartSpeakers.h"
#include "sound/CoreFiles.h"
#include "sound/SoundModel.h"
#include "sound/Speakers.h"

TEST(ToneCharts, MeasuredThroughThePedalAgreesWithTheCoefficientRecordWithinHalfADecibel) {
    SoundModel model(ORVELLA_BIN_DIR);
    ASSERT_TRUE(model.coreFilesOk());
    CoreFiles files;
    files.load(ORVELLA_BIN_DIR);
    int speakers[78];
    fillToneChartSpeakers(speakers);
    const std::vector<double> freqs = tonechart::logFrequencies(40, 12000, 60);
    int compared = 0;
    for (int line = 0; line < 78; ++line) {
        const int byte = speakers[line];
        if (byte == 0x02020202) continue;
        for (bool opened : {false, true}) {
            if (opened && !speakerHasCabinet(byte)) continue;
            const std::vector<double> measured = tonechart::measuredLevels(model, byte, opened, freqs);
            const int r = speakerRecordIndex(byte);
            const SpeakerRecord& record =
                !speakerHasCabinet(byte) ? files.gearMiscSet[r] : opened ? files.openSet[r] : files.sealedSet[r];
            for (std::size_t i = 0; i < freqs.size(); ++i) {
                const double direct = tonechart::directLevel(record, model.model().toneL, freqs[i]);
                if (direct < -40) continue;     // below the chart's floor the fixed-point noise shows
                ASSERT_NEAR(measured[i], direct, 0.5)
                    << "speaker byte " << byte << (opened ? " opened" : " sealed") << " at " << freqs[i] << " Hz";
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 73 * 40);
}

TEST(ToneCharts, ReadingFindsTheCornersAndThePeakOfACurve) {
    // A band from 100 Hz to 5 kHz with a 4 dB bump at 2.5 kHz.
    const std::vector<double> f = tonechart::logFrequencies(40, 12000, 400);
    std::vector<double> level;
    for (double x : f) {
        double l = x < 100 ? -12 * std::log2(100 / x) : x > 5000 ? -12 * std::log2(x / 5000) : 0;
        level.push_back(l + 4 * std::exp(-std::pow(std::log2(x / 2500) * 3, 2)));
    }
    // A 9 dB dip at 400 Hz is no low corner.
    for (std::size_t i = 0; i < f.size(); ++i) level[i] -= 9 * std::exp(-std::pow(std::log2(f[i] / 400) * 4, 2));
    const tonechart::Reading r = tonechart::readCurve(f, level);
    EXPECT_NEAR(r.midLevel, 0, 0.1);
    EXPECT_NEAR(r.lowCorner, 84, 4);         // -12 dB/octave: 3 dB down at 100 / 2^0.25
    EXPECT_NEAR(r.peakFreq, 2500, 100);
    EXPECT_NEAR(r.peakDb, 4, 0.2);
    EXPECT_NEAR(r.topCorner, 7070, 250);     // 6 dB down at 5000 * 2^0.5
    // A curve already up at 40 Hz and still up at 12 kHz has neither corner.
    const tonechart::Reading flat = tonechart::readCurve(f, std::vector<double>(f.size(), -3.0));
    EXPECT_EQ(flat.lowCorner, 0);
    EXPECT_EQ(flat.topCorner, 0);
}

TEST(ToneChartSpeakers, FortyThreeEntriesCarryASpeakerTheRestTheMarker) {
    int speakers[78];
    fillToneChartSpeakers(speakers);
    const int marker = 0x02020202;
    int withSpeaker = 0;
    for (int v : speakers) withSpeaker += v != marker;
    EXPECT_EQ(withSpeaker, 43);
    EXPECT_EQ(speakers[2], marker);
    EXPECT_EQ(speakers[3], 2);      // the first speaker entry holds speaker 2, not the marker byte
    EXPECT_EQ(speakers[57], 77);
    EXPECT_EQ(speakers[58], marker);
}
