/*
 * Float samples against the engine's 16-bit samples: how plug-in hosts,
 * floating-point audio files and the programs that read them meet the engine.
 *
 *   to 16 bits:   s = clip(round(x * 32768), -32768, 32767)   (ties to even)
 *   to float:     x = s / 32768
 *
 * Both are exact for every 16-bit value: a host that reads a 16-bit file as
 * s/32768 and writes x*32768 gives back exactly the engine's samples.
 *
 * Float input kept as floats (the float path) is first made safe for the
 * chain, whose filters would carry one non-finite or huge sample into every
 * later one:
 *
 *   not a number                          ->  0
 *   infinite, or |x| > 16 (+24.08 dBFS)   ->  +-1 (full scale, its sign)
 *   anything else                         ->  x, beyond full scale too
 *
 * which agrees with the rounding to 16 bits above for every such sample.
 */
#ifndef KORVA_ENGINE_SAMPLES_H
#define KORVA_ENGINE_SAMPLES_H

#include "engine/sample16.h"

#include <cstdint>

inline int16_t korva_sample_from_float(float x)
{
    return korva::sample16::round_even_full(x * 32768.0f);   // a power of two: exact
}

inline constexpr float korva_float_input_bound = 16.0f;

// The input rule above; true when the sample had to be replaced.
inline bool korva_float_input_repair(float &x)
{
    if (x >= -korva_float_input_bound && x <= korva_float_input_bound)
        return false;
    x = x != x ? 0.0f : x > 0.0f ? 1.0f : -1.0f;
    return true;
}

inline float korva_sample_to_float(int16_t s)
{
    return static_cast<float>(s) * (1.0f / 32768.0f);
}

#endif
