// Speaker tuning: a four-band correction run as a cascade on each channel,
// each band filtering the signal as the previous band left it:
//   bass  x -= G * DeBassLowpass3(x)    (spc_debass)
//   mid   x += G * MidBandpass6(x)      (spc_mid)
//   tube  x -= G * TubeBandpass6(x)     (spc_detube)
//   high  x += G * HighBandpass6(x)     (spc_high)
// All in float; every band runs while the stage is on, whatever its amount.
#ifndef KORVA_ENGINE_SPEAKER_TUNING_H
#define KORVA_ENGINE_SPEAKER_TUNING_H

#include "block_params.h"
#include "filter_kit.h"

namespace korva {

template <RateClass RC>
inline void speaker_tuning(KorvaEngine &e, const BlockParams &p, float &left, float &right)
{
    if (p.raw.spc_mode == 0)
        return;
    float l = left, r = right;
    l = l - debass_lowpass3_step<RC>(e.spc_debass_lp[0], l) * p.spc_debass;
    r = r - debass_lowpass3_step<RC>(e.spc_debass_lp[1], r) * p.spc_debass;
    l = l + mid_bandpass6_step<RC>(e.spc_mid_bp[0], l) * p.spc_mid;
    r = r + mid_bandpass6_step<RC>(e.spc_mid_bp[1], r) * p.spc_mid;
    l = l - tube_bandpass6_step<RC>(e.spc_detube_bp[0], l) * p.spc_detube;
    r = r - tube_bandpass6_step<RC>(e.spc_detube_bp[1], r) * p.spc_detube;
    l = l + high_bandpass6_step<RC>(e.spc_high_bp[0], l) * p.spc_high;
    r = r + high_bandpass6_step<RC>(e.spc_high_bp[1], r) * p.spc_high;
    left = l;
    right = r;
}

}  // namespace korva

#endif
