// SuperBass: adds each channel's content below about 200 Hz.
//   b = 8 * lowpass3(x)          (BassLowpass3 with its output factor)
//   out = x + float(G * (b * 0.5))   (the product in double)
// Below the corner the added part is 4 G times the input.
#ifndef KORVA_ENGINE_SUPERBASS_H
#define KORVA_ENGINE_SUPERBASS_H

#include "block_params.h"
#include "filter_kit.h"
#include "frame_schedule.h"

namespace korva {

template <RateClass RC>
struct SuperbassStep {
    d2 g;
    StereoIir<3> s;

    void load(KorvaEngine &e, const BlockParams &p, int t)
    {
        g = splat(static_cast<double>(p.superbass));
        load_pair<3>(s, e.superbass_lp, two_set_steps(RC) * t);
    }

    [[gnu::always_inline]] f2 operator()(f2 x, [[maybe_unused]] int t)
    {
        const f2 b = bass_lowpass3<RC>(s, t, x);
        return x + narrow(g * (widen(b) * splat(0.5)));
    }

    void store(KorvaEngine &e, int t) const { store_pair(s, e.superbass_lp, two_set_steps(RC) * t); }
};

inline bool superbass_on(const BlockParams &p) { return p.raw.superbass != 0; }

template <RateClass RC>
inline void superbass(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    if (superbass_on(p))
        run_step<SuperbassStep<RC>>(e, p, frames, count);
}

}  // namespace korva

#endif
