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

namespace korva {

// The passes run one after the other over the whole run of frames: each pass
// has its own state and sees the same samples either way.
template <RateClass RC>
inline void surround3d(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    if (p.raw._3dsurround_mode == 0)
        return;
    const d2 gd = splat(static_cast<double>(p.surround_depth));
    const f2 gb = splat(p.surround_bass);
    for (int pass = 0; pass < p.surround_passes; ++pass) {
        DelayLine &delay_l = e.surround_delay[pass][0];
        DelayLine &delay_r = e.surround_delay[pass][1];
        StereoIir<6> s = load_pair<6>(e.surround_lp[pass]);
        for (int i = 0; i < count; ++i) {
            const f2 x = frames[i];
            const f2 d = lowpass6<RC>(s, x);
            const f2 eq = narrow(gd * (widen(d) * splat(0.75)));  // eL, eR
            const f2 delayed = {fixed_delay<RC>(delay_l, x[0]), fixed_delay<RC>(delay_r, x[1])};
            const f2 crossed = {eq[1], eq[0]};                    // eR, eL
            frames[i] = (delayed - crossed) + eq * gb;
        }
        store_pair(s, e.surround_lp[pass]);
    }
}

}  // namespace korva

#endif
