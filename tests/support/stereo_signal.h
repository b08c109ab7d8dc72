// Test audio for the plug-in and the player stand-in.
#ifndef KORVA_TESTS_SUPPORT_STEREO_SIGNAL_H
#define KORVA_TESTS_SUPPORT_STEREO_SIGNAL_H

#include <cstdint>
#include <vector>

namespace korva_test {

// Interleaved stereo: two tones and a little noise, loud enough to clip with
// some settings, different on left and right. The same seed gives the same
// samples.
std::vector<int16_t> stereo_signal(int frames, uint32_t seed = 1);

}  // namespace korva_test

#endif
