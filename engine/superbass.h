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
inline void superbass(KorvaEngine &e, const BlockParams &p, float *left, float *right, int count)
{
    if (p.raw.superbass == 0)
        return;
    const double g = p.superbass;
    with_local_pair(e.superbass_lp, [&](IirSection &sl, IirSection &sr) {
        for (int i = 0; i < count; ++i) {
            const float bl = bass_lowpass3<RC>(sl, left[i]);
            const float el = static_cast<float>(g * (static_cast<double>(bl) * 0.5));
            const float br = bass_lowpass3<RC>(sr, right[i]);
            const float er = static_cast<float>(g * (static_cast<double>(br) * 0.5));
            left[i] = left[i] + el;
            right[i] = right[i] + er;
        }
    });
}

}  // namespace korva

#endif
