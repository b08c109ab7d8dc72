// Test audio for the plug-in and the player stand-in.
#ifndef KORVA_TESTS_SUPPORT_STEREO_SIGNAL_H
#define KORVA_TESTS_SUPPORT_STEREO_SIGNAL_H

#include <cstdint>
#include <vector>

namespace korva_test {

// The peak levels of a test signal's tone and noise on each side.
struct SignalLevels {
    double left_tone, left_noise, right_tone, right_noise;
};

// Two tones and a little noise, loud enough to clip with some settings.
inline constexpr SignalLevels music_levels{20000.0, 4000.0, 15000.0, 3000.0};
// Near full scale with heavy noise: the input itself clips.
inline constexpr SignalLevels loud_levels{26000.0, 12000.0, 22000.0, 9000.0};

// Interleaved stereo, different on left and right, clipped to 16 bits. The
// same seed and levels give the same samples.
std::vector<int16_t> stereo_signal(int frames, uint32_t seed = 1, SignalLevels levels = music_levels);

}  // namespace korva_test

#endif
