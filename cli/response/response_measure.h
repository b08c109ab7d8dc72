// The magnitude response of the effect chain for one parameter block: steady
// sines at log-spaced frequencies through the engine's float path, the gain
// of each channel fitted from the output.
#ifndef KORVA_CLI_RESPONSE_MEASURE_H
#define KORVA_CLI_RESPONSE_MEASURE_H

#include "cli/common/status.h"

#include "engine/korva.h"

#include <cstdint>
#include <vector>

// Test level: -20 dBFS (full scale 32768), the same sine on both channels.
inline constexpr double response_level_dbfs = -20.0;
// Frequencies 20 Hz * 2^(i / points_per_octave), up to below half the rate.
inline constexpr int response_points_per_octave = 48;
inline constexpr double response_lowest_hz = 20.0;

struct ResponsePoint {
    double frequency = 0.0;   // Hz
    double left_db = 0.0;     // output over input at the fundamental, dB;
    double right_db = 0.0;    // -inf for no output, NaN where the output is not finite
};

// The frequencies measured at `rate`, ascending.
std::vector<double> response_frequencies(int32_t rate);

// Measures every frequency with a fresh-state engine holding `params`, with
// brainwave synthesis switched off (it adds a signal rather than shaping one).
// Above 48 kHz it measures the path korva process takes: the chain at the
// rate halved until 48 kHz or below, between libsoxr's resamplers; with
// native_rate the chain runs at `rate` itself.
Status measure_response(const KorvaParams &params, int32_t rate, bool native_rate,
                        std::vector<ResponsePoint> &points);

#endif
