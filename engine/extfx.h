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

// The center part, the space part and the output gain each run over the
// whole run of frames in turn; every part keeps its own sections.
template <RateClass RC>
inline void extfx(KorvaEngine &e, const BlockParams &p, float *left, float *right, int count)
{
    if (p.raw.extfx_mode == 0)
        return;
    if (p.raw.extfx_center > 0) {
        const double g = p.extfx_center;
        with_local_pair(e.extfx_center_res, [&](IirSection &sl, IirSection &sr) {
            for (int i = 0; i < count; ++i) {
                const float cl = fx_resonator2<RC>(sl, left[i]);
                const float al = static_cast<float>(g * (static_cast<double>(cl) * 0.3));
                const float cr = fx_resonator2<RC>(sr, right[i]);
                const float ar = static_cast<float>(g * (static_cast<double>(cr) * 0.3));
                const float sum = al + ar;
                left[i] = left[i] + sum;
                right[i] = right[i] + sum;
            }
        });
    }
    if (p.raw.extfx_space > 0) {
        const float g = p.extfx_space;
        with_local_pair(e.extfx_space_res, [&](IirSection &sl, IirSection &sr) {
            for (int i = 0; i < count; ++i) {
                const float l = left[i], r = right[i];
                const float s_l = fx_resonator2<RC>(sl, l) * g;
                const float s_r = fx_resonator2<RC>(sr, r) * g;
                left[i] = (l + s_l) - s_r;
                right[i] = (r + s_r) - s_l;
            }
        });
    }
    for (int i = 0; i < count; ++i) {
        left[i] = static_cast<float>(static_cast<double>(left[i]) * 0.88);
        right[i] = static_cast<float>(static_cast<double>(right[i]) * 0.88);
    }
}

}  // namespace korva

#endif
