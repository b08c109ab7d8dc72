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
struct SuperbassMix {
    using Design = BassLowpass3<RC>;
    static IirSection (&sections(KorvaEngine &e))[2] { return e.superbass_lp; }
    d2 g;

    void load(KorvaEngine &, const BlockParams &p) { g = splat(static_cast<double>(p.superbass)); }
    [[gnu::always_inline]] f2 finish(f2 x, f2 b) const { return x + narrow(g * (widen(b) * splat(0.5))); }
    void store(KorvaEngine &) const {}
};

template <RateClass RC>
using SuperbassStep = FilterStep<SuperbassMix<RC>>;

inline bool superbass_on(const BlockParams &p) { return p.raw.superbass != 0; }

template <RateClass RC>
inline void superbass(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    if (superbass_on(p))
        run_step<SuperbassStep<RC>>(e, p, frames, count);
}

}  // namespace korva

#endif
