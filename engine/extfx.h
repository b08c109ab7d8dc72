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
inline void extfx_part(IirSection (&pair)[2], f2 *frames, int count, bool center, float g)
{
    StereoResonator s = load_resonators(pair);
    for (int i = 0; i < count; ++i) {
        const f2 x = frames[i];
        const f2 res = fx_resonator2<RC>(s, x);
        if (center) {
            const f2 a = narrow(splat(static_cast<double>(g)) * (widen(res) * splat(0.3)));  // aL, aR
            const float sum = a[0] + a[1];
            frames[i] = x + splat(sum);
        } else {
            const f2 sp = res * splat(g);  // sL, sR
            const f2 crossed = {sp[1], sp[0]};
            frames[i] = (x + sp) - crossed;
        }
    }
    store_resonators(s, pair);
}

template <RateClass RC>
inline void extfx(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    if (p.raw.extfx_mode == 0)
        return;
    if (p.raw.extfx_center > 0)
        extfx_part<RC>(e.extfx_center_res, frames, count, true, p.extfx_center);
    if (p.raw.extfx_space > 0)
        extfx_part<RC>(e.extfx_space_res, frames, count, false, p.extfx_space);
    for (int i = 0; i < count; ++i)
        frames[i] = narrow(widen(frames[i]) * splat(0.88));
}

}  // namespace korva

#endif
