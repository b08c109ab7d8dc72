// 3D Surround: widens the image by cross-feeding the channels below about
// 4.26 kHz, up to four passes in a row, each with its own filters and delays.
// Per pass, with Gd the depth and Gb the bass gain:
//
//   eL = Gd * (0.75 * lowpass6(L))        eR = Gd * (0.75 * lowpass6(R))   (double)
//   L  = (delay(L) - eR) + eL * Gb        R  = (delay(R) - eL) + eR * Gb   (float)
//
//        L ──┬──[delay 14/7/3]──(+)──────────(+)── L'
//            └──[Lowpass6]─×Gd·0.75─┬──×Gb───┘ │
//                                   └─────(−)──┼── into R'
//   and the mirror image for R.
#ifndef KORVA_ENGINE_SURROUND3D_H
#define KORVA_ENGINE_SURROUND3D_H

#include "block_params.h"
#include "filter_kit.h"
#include "frame_schedule.h"

namespace korva {

// Pass `Pass` (0..3), with its own filter and delays.
template <RateClass RC, int Pass>
struct SurroundPassMix {
    using Design = Lowpass6<RC>;
    static IirSection (&sections(KorvaEngine &e))[2] { return e.surround_lp[Pass]; }
    d2 gd;
    f2 gb;
    DelayLine *delay_l, *delay_r;

    void load(KorvaEngine &e, const BlockParams &p)
    {
        gd = splat(static_cast<double>(p.surround_depth));
        gb = splat(p.surround_bass);
        delay_l = &e.surround_delay[Pass][0];
        delay_r = &e.surround_delay[Pass][1];
    }

    // d: the low-pass output.
    [[gnu::always_inline]] f2 finish(f2 x, f2 d)
    {
        const f2 eq = narrow(gd * (widen(d) * splat(0.75)));  // eL, eR
        const f2 delayed = {fixed_delay<RC>(*delay_l, x[0]), fixed_delay<RC>(*delay_r, x[1])};
        const f2 crossed = {eq[1], eq[0]};                    // eR, eL
        return (delayed - crossed) + eq * gb;
    }

    void store(KorvaEngine &) const {}
};

template <RateClass RC, int Pass>
using SurroundPassStep = FilterStep<SurroundPassMix<RC, Pass>>;

// Whether pass `pass` (0..3) runs.
inline bool surround_pass_on(const BlockParams &p, int pass)
{
    return p.raw._3dsurround_mode != 0 && pass < p.surround_passes;
}

// The passes one after the other: each has its own state and sees the
// samples the previous pass left.
template <RateClass RC>
inline void surround3d(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    static_assert(KORVA_SURROUND_PASSES == 4);
    if (surround_pass_on(p, 0))
        run_step<SurroundPassStep<RC, 0>>(e, p, frames, count);
    if (surround_pass_on(p, 1))
        run_step<SurroundPassStep<RC, 1>>(e, p, frames, count);
    if (surround_pass_on(p, 2))
        run_step<SurroundPassStep<RC, 2>>(e, p, frames, count);
    if (surround_pass_on(p, 3))
        run_step<SurroundPassStep<RC, 3>>(e, p, frames, count);
}

}  // namespace korva

#endif
