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
#include "frame_schedule.h"

namespace korva {

// The center part and the space part, each with its own sections:
//   center: both channels += aL + aR;  space: L = (L + sL) - sR, R = (R + sR) - sL.
template <RateClass RC, bool Center>
struct ExtfxPartStep {
    float g;
    StereoResonator s;

    IirSection (&sections(KorvaEngine &e) const)[2] { return Center ? e.extfx_center_res : e.extfx_space_res; }

    void load(KorvaEngine &e, const BlockParams &p, int)
    {
        g = Center ? p.extfx_center : p.extfx_space;
        s = load_resonators(sections(e));
    }

    [[gnu::always_inline]] f2 operator()(f2 x, int)
    {
        const f2 res = fx_resonator2<RC>(s, x);
        if constexpr (Center) {
            const f2 a = narrow(splat(static_cast<double>(g)) * (widen(res) * splat(0.3)));  // aL, aR
            const float sum = a[0] + a[1];
            return x + splat(sum);
        } else {
            const f2 sp = res * splat(g);  // sL, sR
            const f2 crossed = {sp[1], sp[0]};
            return (x + sp) - crossed;
        }
    }

    void store(KorvaEngine &e, int) const { store_resonators(s, sections(e)); }
};

// The output gain, whenever the stage is on.
struct ExtfxOutputStep {
    void load(KorvaEngine &, const BlockParams &, int) {}
    [[gnu::always_inline]] f2 operator()(f2 x, int) { return narrow(widen(x) * splat(0.88)); }
    void store(KorvaEngine &, int) const {}
};

inline bool extfx_on(const BlockParams &p) { return p.raw.extfx_mode != 0; }
inline bool extfx_center_on(const BlockParams &p) { return extfx_on(p) && p.raw.extfx_center > 0; }
inline bool extfx_space_on(const BlockParams &p) { return extfx_on(p) && p.raw.extfx_space > 0; }

// Center, space and the output gain, one after the other, each over the whole run.
template <RateClass RC>
inline void extfx(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    if (extfx_center_on(p))
        run_step<ExtfxPartStep<RC, true>>(e, p, frames, count);
    if (extfx_space_on(p))
        run_step<ExtfxPartStep<RC, false>>(e, p, frames, count);
    if (extfx_on(p))
        run_step<ExtfxOutputStep>(e, p, frames, count);
}

}  // namespace korva

#endif
