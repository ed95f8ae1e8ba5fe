// Sample-rate conversion of a whole signal with a windowed-sinc (Kaiser)
// interpolator whose pass band ends just below the lower of the two Nyquist
// frequencies, so a file at another rate plays through the pedal's program
// without aliasing. Plain C++.
#pragma once

#include <vector>

namespace audio {

// The signal from `from` Hz to `to` Hz; the same vector when the rates match.
// The output holds ceil(in.size() * to / from) samples.
std::vector<float> resample(const std::vector<float>& in, int from, int to);

}  // namespace audio
