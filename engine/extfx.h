// extFX: resonant FxResonator2 sections on each channel, mixed back two ways.
//   center: a = G (0.3 c) per channel (double), both channels += aL + aR
//           (changes only the sum of the channels)
//   space:  s = G res(x) per channel (float), L = (L + sL) - sR, R = (R + sR) - sL
//           (changes only their difference)
//   out = 0.88 x (double product), whenever the stage is on.
#ifndef KORVA_ENGINE_EXTFX_H
#define KORVA_ENGINE_EXTFX_H

#include "block_params.h"
#include "filter_kit.h"

namespace korva {

template <RateClass RC>
inline void extfx(KorvaEngine &e, const BlockParams &p, float &left, float &right)
{
    if (p.raw.extfx_mode == 0)
        return;
    float l = left, r = right;
    if (p.raw.extfx_center > 0) {
        const double g = p.extfx_center;
        const float cl = fx_resonator2<RC>(e.extfx_center_res[0], l);
        const float al = static_cast<float>(g * (static_cast<double>(cl) * 0.3));
        const float cr = fx_resonator2<RC>(e.extfx_center_res[1], r);
        const float ar = static_cast<float>(g * (static_cast<double>(cr) * 0.3));
        const float sum = al + ar;
        l = l + sum;
        r = r + sum;
    }
    if (p.raw.extfx_space > 0) {
        const float g = p.extfx_space;
        const float sl = fx_resonator2<RC>(e.extfx_space_res[0], l) * g;
        const float sr = fx_resonator2<RC>(e.extfx_space_res[1], r) * g;
        l = (l + sl) - sr;
        r = (r + sr) - sl;
    }
    left = static_cast<float>(static_cast<double>(l) * 0.88);
    right = static_cast<float>(static_cast<double>(r) * 0.88);
}

}  // namespace korva

#endif
