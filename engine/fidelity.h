// Fidelity: takes each channel's content above about 4.26 kHz (what a
// Lowpass6 leaves out), shapes it twice through dBoost and adds the
// difference between shaped and plain:
//   h = x - lowpass6(x)
//   out = x + G * (dBoost(dBoost(h)) - h)
// evaluated in float as a = x - h; a += dBoost(dBoost(h)); a -= x; out = x + a G.
#ifndef KORVA_ENGINE_FIDELITY_H
#define KORVA_ENGINE_FIDELITY_H

#include "block_params.h"
#include "filter_kit.h"
#include "frame_schedule.h"

namespace korva {

// Odd curve, slope 1.5 up to the knees at +-16384 (inclusive), 0.5 beyond:
//   |x| <= 16384:  1.5 x
//   x > 16384:     (x - 16384) / 2 + 24576
//   otherwise:     (x + 16384) / 2 - 24576   (also taken by NaN)
[[gnu::always_inline]] inline float dboost(float x)
{
    if (x <= 16384.0f && x >= -16384.0f)
        return x * 1.5f;
    if (x > 0.0f) {
        const float d = x - 16384.0f;
        return static_cast<float>(static_cast<double>(d) * 0.5 + 24576.0);
    }
    const float d = 16384.0f + x;
    return static_cast<float>(static_cast<double>(d) * 0.5 - 24576.0);
}

template <RateClass RC>
struct FidelityMix {
    using Design = Lowpass6<RC>;
    static IirSection (&sections(KorvaEngine &e))[2] { return e.fidelity_lp; }
    f2 g;

    void load(KorvaEngine &, const BlockParams &p) { g = splat(p.fidelity); }

    [[gnu::always_inline]] f2 finish(f2 x, f2 lp) const
    {
        const f2 h = x - lp;
        f2 a = x - h;
        a = a + f2{dboost(dboost(h[0])), dboost(dboost(h[1]))};
        a = a - x;
        return x + a * g;
    }

    void store(KorvaEngine &) const {}
};

template <RateClass RC>
using FidelityStep = FilterStep<FidelityMix<RC>>;

inline bool fidelity_on(const BlockParams &p) { return p.raw.fidelity != 0; }

template <RateClass RC>
inline void fidelity(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    if (fidelity_on(p))
        run_step<FidelityStep<RC>>(e, p, frames, count);
}

}  // namespace korva

#endif
