#include "stereo_signal.h"

#include <cmath>
#include <cstddef>

namespace korva_test {

namespace {

int16_t clip16(double v)
{
    return static_cast<int16_t>(std::fmax(-32768.0, std::fmin(32767.0, v)));
}

}  // namespace

std::vector<int16_t> stereo_signal(int frames, uint32_t seed, SignalLevels levels)
{
    std::vector<int16_t> samples(static_cast<size_t>(frames) * 2);
    uint32_t state = seed;
    for (int i = 0; i < frames; ++i) {
        state = state * 1664525u + 1013904223u;
        const double noise = static_cast<double>(state >> 16) / 65536.0 - 0.5;
        const double left = levels.left_tone * std::sin(i * 0.031) + levels.left_noise * noise;
        const double right = levels.right_tone * std::sin(i * 0.0077 + 1.0) - levels.right_noise * noise;
        samples[2 * static_cast<size_t>(i)] = clip16(left);
        samples[2 * static_cast<size_t>(i) + 1] = clip16(right);
    }
    return samples;
}

}  // namespace korva_test
