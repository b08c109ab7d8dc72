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

template <RateClass RC>
inline void surround3d(KorvaEngine &e, const BlockParams &p, float &left, float &right)
{
    if (p.raw._3dsurround_mode == 0)
        return;
    const double gd = p.surround_depth;
    const float gb = p.surround_bass;
    float l = left, r = right;
    for (int i = 0; i < p.surround_passes; ++i) {
        const float dl = lowpass6<RC>(e.surround_lp[i][0], l);
        const float el = static_cast<float>(gd * (static_cast<double>(dl) * 0.75));
        const float dr = lowpass6<RC>(e.surround_lp[i][1], r);
        const float er = static_cast<float>(gd * (static_cast<double>(dr) * 0.75));
        const float ld = fixed_delay<RC>(e.surround_delay[i][0], l);
        const float rd = fixed_delay<RC>(e.surround_delay[i][1], r);
        l = (ld - er) + el * gb;
        r = (rd - el) + er * gb;
    }
    left = l;
    right = r;
}

}  // namespace korva

#endif
