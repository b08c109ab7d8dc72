// Test signals and helpers shared by the engine tests.
#ifndef KORVA_TESTS_TEST_SIGNALS_H
#define KORVA_TESTS_TEST_SIGNALS_H

#include "engine/engine_handle.h"
#include "engine/korva.h"

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace test {

using EnginePtr = EngineHandle;

// A fresh engine at its defaults.
EnginePtr make_engine();

// A fresh engine whose effects are all off and whose pre-amplifier is 1.0,
// so a single stage can be switched on and observed alone.
EnginePtr make_bare_engine();

// Interleaved stereo, `frames` long: a few tones, a little noise, a drum-like
// burst now and then; deterministic for a seed; peaks near full scale.
std::vector<int16_t> music(int32_t frames, uint32_t seed, int32_t rate = 44100);

// Both channels held at (left, right).
std::vector<int16_t> constant(int32_t frames, int16_t left, int16_t right);

// Runs one stage entry on a constant input for `frames` frames and returns the
// last output pair.
using StageFn = void (*)(KorvaEngine *, int32_t, float *, float *);
std::pair<float, float> settle(StageFn stage, KorvaEngine *e, int32_t rate, float left, float right,
                               int frames);

// Response of a single-channel filter step function in dB at `freq` for a
// step rate `rate`: feeds a sine, measures the steady amplitude.
template <class Step>
double response_db(Step step, double freq, double rate, double amplitude = 1000.0);

}  // namespace test

#include "test_signals_impl.h"

#endif
