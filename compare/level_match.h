// The level match of the sink's compare: how much louder Korva's side is
// than the untouched input for a parameter block, and the gain each side
// plays at so that the louder one comes down to the other's loudness.
//
// Measured, not estimated: the block runs through the plug-in core (the code
// the sink runs) on the music-like reference clip of demo_synth.h at its
// 44100 Hz, and libebur128 gives both sides' integrated loudness (EBU R 128).
// About ten seconds of audio: a few tens of milliseconds on one core.
#ifndef KORVA_COMPARE_LEVEL_MATCH_H
#define KORVA_COMPARE_LEVEL_MATCH_H

#include "engine/korva.h"
#include "plugin_core/compare_fade.h"

#include <cstdint>
#include <string>
#include <vector>

// A match never lowers a side by more than this (a side near silence, such
// as Korva with the pre-amplifier at 0, cannot be matched further).
inline constexpr double kMaxMatchDb = KORVA_COMPARE_MAX_DB;

struct LevelMatch {
    bool ok = false;
    std::string problem;        // why there is none (a meter that could not start)
    double korva_lufs = 0.0;    // Korva's side, integrated (-inf: silent)
    double input_lufs = 0.0;
    double difference_db = 0.0; // korva_lufs - input_lufs, within +-kMaxMatchDb
    float korva_level = 1.0f;   // each side's gain: one of them is 1
    float bypass_level = 1.0f;
};

// The match for `params` on the reference clip.
LevelMatch measure_level_match(const KorvaParams &params);

// The same on another clip: interleaved 16-bit stereo at `rate`.
LevelMatch measure_level_match(const KorvaParams &params, const std::vector<int16_t> &clip, int rate);

#endif
