#include "stereo_signal.h"

#include <cmath>
#include <cstddef>

namespace korva_test {

std::vector<int16_t> stereo_signal(int frames, uint32_t seed)
{
    std::vector<int16_t> samples(static_cast<size_t>(frames) * 2);
    uint32_t state = seed;
    for (int i = 0; i < frames; ++i) {
        state = state * 1664525u + 1013904223u;
        const double noise = static_cast<double>(state >> 16) / 65536.0 - 0.5;
        const double left = 20000.0 * std::sin(i * 0.031) + 4000.0 * noise;
        const double right = 15000.0 * std::sin(i * 0.0077 + 1.0) - 3000.0 * noise;
        samples[2 * static_cast<size_t>(i)] = static_cast<int16_t>(left);
        samples[2 * static_cast<size_t>(i) + 1] = static_cast<int16_t>(right);
    }
    return samples;
}

}  // namespace korva_test
