// A short, deterministic, music-like stereo clip to hear the effect chain on:
// a bass line, drums (kick, snare, hi-hat) and chords panned apart, at
// 44100 Hz. Noise comes from a fixed-seed generator, so every run gives the
// same samples. `korva demo` plays it, and the sink's compare measures its
// level match on it.
#ifndef KORVA_COMPARE_DEMO_SYNTH_H
#define KORVA_COMPARE_DEMO_SYNTH_H

#include <cstdint>
#include <vector>

inline constexpr int kDemoRate = 44100;

// Interleaved 16-bit stereo, left first, about ten seconds long.
std::vector<int16_t> synthesise_demo();

#endif
