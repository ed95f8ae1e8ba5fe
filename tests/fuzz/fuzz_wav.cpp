// WAV files (DI recordings the user picks): an accepted file has one or two
// channels, a rate in range and whole frames, never more samples than its
// bytes hold; every sample is finite and integer samples stay in full scale;
// written back as float it reads back the same; a resampled DI signal has the
// length its rate gives and stays near full scale.
#include "tests/fuzz/FuzzSupport.h"

#include <cmath>

#include "audio/di_clips.h"
#include "dsp/WavFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    wav::Audio a;
    std::string error;
    if (!wav::parse(data, size, a, error, "fuzz")) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(a.channels == 1 || a.channels == 2);
    FUZZ_CHECK(a.rate >= 8000 && a.rate <= 192000);
    FUZZ_CHECK(a.samples.size() % size_t(a.channels) == 0);
    FUZZ_CHECK(a.samples.size() * 2 <= size);
    for (float v : a.samples) FUZZ_CHECK(std::isfinite(v));

    const std::vector<uint8_t> again = wav::encode(a, wav::Format::Float32);
    wav::Audio b;
    FUZZ_CHECK(wav::parse(again.data(), again.size(), b, error, "again"));
    FUZZ_CHECK(b.rate == a.rate && b.channels == a.channels && b.samples == a.samples);

    // Short signals only: the resampler's cost grows with the length.
    if (a.frames() <= 4096) {
        const std::vector<float> at48 = audio::diSignal(a);
        FUZZ_CHECK(at48.size() == (uint64_t(a.frames()) * 48000 + a.rate - 1) / a.rate);
        // The sinc's overshoot stays well inside twice full scale.
        for (float v : at48) FUZZ_CHECK(std::isfinite(v) && std::fabs(v) < 2);
    }
    return 0;
}
