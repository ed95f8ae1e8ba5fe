// Sample-rate conversion of a whole signal with a windowed-sinc (Kaiser)
// interpolator whose pass band ends just below the lower of the two Nyquist
// frequencies, so a file at another rate plays through the pedal's program
// without aliasing. Plain C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace audio {

// The signal from `from` Hz to `to` Hz; the same vector when the rates match.
// The output holds ceil(in.size() * to / from) samples.
std::vector<float> resample(const std::vector<float>& in, int from, int to);

// The same conversion block by block, for a signal that goes on: every
// sample it gives equals resample()'s of the whole signal so far, made as
// soon as the inputs it reads have come (the kernel's half width later).
// Allocates only when constructed; process never allocates.
class StreamResampler {
public:
    // maxIn: the most samples one process call takes.
    StreamResampler(int from, int to, std::size_t maxIn);
    void reset();
    // Takes n samples, writes the ones now made (at most maxOut(n)) to out.
    std::size_t process(const float* in, std::size_t n, float* out);
    std::size_t maxOut(std::size_t n) const;
    // Input samples a sample waits for beyond its own place.
    double delay() const;

private:
    int from_, to_, half_ = 0;
    std::vector<float> history_;    // a power of two, indexed by input number
    uint64_t received_ = 0, produced_ = 0;
};

}  // namespace audio
