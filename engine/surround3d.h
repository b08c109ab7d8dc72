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
inline void surround3d(KorvaEngine &e, const BlockParams &p, float *left, float *right, int count)
{
    if (p.raw._3dsurround_mode == 0)
        return;
    const double gd = p.surround_depth;
    const float gb = p.surround_bass;
    for (int pass = 0; pass < p.surround_passes; ++pass) {
        DelayLine &delay_l = e.surround_delay[pass][0];
        DelayLine &delay_r = e.surround_delay[pass][1];
        with_local_pair(e.surround_lp[pass], [&](IirSection &sl, IirSection &sr) {
            for (int i = 0; i < count; ++i) {
                const float l = left[i], r = right[i];
                const float dl = lowpass6<RC>(sl, l);
                const float el = static_cast<float>(gd * (static_cast<double>(dl) * 0.75));
                const float dr = lowpass6<RC>(sr, r);
                const float er = static_cast<float>(gd * (static_cast<double>(dr) * 0.75));
                const float ld = fixed_delay<RC>(delay_l, l);
                const float rd = fixed_delay<RC>(delay_r, r);
                left[i] = (ld - er) + el * gb;
                right[i] = (rd - el) + er * gb;
            }
        });
    }
}

}  // namespace korva

#endif
