/*
 * Narrowing to 16-bit samples. Each caller's output is defined by its own
 * rule, so the rules differ on purpose; they live side by side here, each
 * named by what it does, so that no caller writes one of its own.
 *
 *   truncate_symmetric     engine output (korva_process):
 *                          s = trunc(clip(x, -32767, 32767)); not a number: 0
 *   round_even_full        plug-in hosts' float samples, already times 32768:
 *                          s = clip(round_half_even(x), -32768, 32767); not a number: 0
 *   round_away_symmetric   `korva loudness --match` gain and the demo signal:
 *                          s = clip(round_half_away(x), -32767, 32767)
 */
#ifndef KORVA_ENGINE_SAMPLE16_H
#define KORVA_ENGINE_SAMPLE16_H

#include <cmath>
#include <cstdint>

namespace korva::sample16 {

// The output never holds -32768; infinities clip like any value.
inline int16_t truncate_symmetric(float x)
{
    if (x > 32767.0f)
        x = 32767.0f;
    else if (x < -32767.0f)
        x = -32767.0f;
    return x == x ? static_cast<int16_t>(x) : int16_t{0};
}

// Exact for every 16-bit value s given as s exactly: the inverse of s / 32768
// times 32768.
inline int16_t round_even_full(float scaled)
{
    if (scaled >= 32767.0f)
        return 32767;
    if (scaled <= -32768.0f)
        return -32768;
    if (scaled != scaled)            // not a number: silence
        return 0;
    return static_cast<int16_t>(rintf(scaled));   // lrintf's value, but inlined: no call
}

// `clipped` is set when the value had to be clipped (left alone otherwise).
inline int16_t round_away_symmetric(float x, bool &clipped)
{
    float y = std::round(x);
    if (y > 32767.0f) {
        y = 32767.0f;
        clipped = true;
    } else if (y < -32767.0f) {
        y = -32767.0f;
        clipped = true;
    }
    return static_cast<int16_t>(y);
}

inline int16_t round_away_symmetric(double x)
{
    return static_cast<int16_t>(std::lround(x < -32767.0 ? -32767.0 : x > 32767.0 ? 32767.0 : x));
}

}  // namespace korva::sample16

#endif
