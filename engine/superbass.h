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
inline void superbass(KorvaEngine &e, const BlockParams &p, float &left, float &right)
{
    if (p.raw.superbass == 0)
        return;
    const double g = p.superbass;
    const float bl = bass_lowpass3<RC>(e.superbass_lp[0], left);
    const float el = static_cast<float>(g * (static_cast<double>(bl) * 0.5));
    const float br = bass_lowpass3<RC>(e.superbass_lp[1], right);
    const float er = static_cast<float>(g * (static_cast<double>(br) * 0.5));
    left = left + el;
    right = right + er;
}

}  // namespace korva

#endif
