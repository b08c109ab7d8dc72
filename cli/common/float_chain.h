// The float path: stereo floats (full scale 1.0) at the input's rate,
// brought down to the chain's rate, through the engine's float path
// (korva_process_float, which works in the 16-bit scale), and brought to the
// output's rate. The engine's filters are laid out for rates up to 48 kHz,
// so an input above it runs the chain at its rate halved until it is 48 kHz
// or below (96 -> 48, 88.2 -> 44.1, 192 -> 48, 352.8 -> 44.1 kHz), or at
// 48 kHz where halving would fall below 44.1 kHz and take the treble with
// it (50, 64, 80 or 128 kHz -> 48 kHz).
#ifndef KORVA_CLI_FLOAT_CHAIN_H
#define KORVA_CLI_FLOAT_CHAIN_H

#include "resampler.h"
#include "status.h"

#include "engine/korva.h"

#include <span>
#include <vector>

inline constexpr int kHighestChainRate = 48000;
inline constexpr int kLowestHalvedChainRate = 44100;

// The chain's rate for an input: its own up to kHighestChainRate; above, the
// rate halved until it is kHighestChainRate or below, when that keeps it at
// kLowestHalvedChainRate or above, and kHighestChainRate otherwise.
double chain_rate_for(int input_rate);

struct FloatChain {
    KorvaEngine *engine = nullptr;   // not owned
    int32_t engine_rate = 0;         // the chain's rate, rounded, as the engine is told it
    Resampler down;                  // no handle: the chain runs at the input's rate
    Resampler up;                    // no handle: the output is at the chain's rate
    std::vector<float> at_chain;     // one block at the chain's rate
};

// A chain with no resampler where a rate equals the next.
Status start_float_chain(FloatChain &chain, KorvaEngine *engine, int input_rate, double chain_rate,
                         int output_rate);

// Runs interleaved stereo frames; `out` receives what is ready at the
// output's rate (a resampler holds back a filter's length until the end).
Status run_float_chain(FloatChain &chain, std::span<const float> in, std::vector<float> &out);

// The rest of the output after the last input.
Status finish_float_chain(FloatChain &chain, std::vector<float> &out);

#endif
