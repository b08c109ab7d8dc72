// SuperBass: adds each channel's content below about 200 Hz.
//   b = 8 * lowpass3(x)          (BassLowpass3 with its output factor)
//   out = x + float(G * (b * 0.5))   (the product in double)
// Below the corner the added part is 4 G times the input.
#ifndef KORVA_ENGINE_SUPERBASS_H
#define KORVA_ENGINE_SUPERBASS_H

#include "block_params.h"
#include "filter_kit.h"

namespace korva {

template <RateClass RC>
inline void superbass(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    if (p.raw.superbass == 0)
        return;
    const d2 g = splat(static_cast<double>(p.superbass));
    StereoIir<3> s = load_pair<3>(e.superbass_lp);
    for (int i = 0; i < count; ++i) {
        const f2 b = bass_lowpass3<RC>(s, frames[i]);
        frames[i] = frames[i] + narrow(g * (widen(b) * splat(0.5)));
    }
    store_pair(s, e.superbass_lp);
}

}  // namespace korva

#endif
