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

// Each band runs over the whole run of frames before the next band, on the
// samples the previous band left: the same cascade, band by band.
template <RateClass RC, float (*Band)(IirSection &, float), bool Subtract>
inline void speaker_band(IirSection (&pair)[2], float g, float *left, float *right, int count)
{
    with_local_pair(pair, [&](IirSection &sl, IirSection &sr) {
        for (int i = 0; i < count; ++i) {
            const float fl = Band(sl, left[i]);
            const float fr = Band(sr, right[i]);
            left[i] = Subtract ? left[i] - fl * g : left[i] + fl * g;
            right[i] = Subtract ? right[i] - fr * g : right[i] + fr * g;
        }
    });
}

template <RateClass RC>
inline void speaker_tuning(KorvaEngine &e, const BlockParams &p, float *left, float *right, int count)
{
    if (p.raw.spc_mode == 0)
        return;
    speaker_band<RC, debass_lowpass3_step<RC>, true>(e.spc_debass_lp, p.spc_debass, left, right, count);
    speaker_band<RC, mid_bandpass6_step<RC>, false>(e.spc_mid_bp, p.spc_mid, left, right, count);
    speaker_band<RC, tube_bandpass6_step<RC>, true>(e.spc_detube_bp, p.spc_detube, left, right, count);
    speaker_band<RC, high_bandpass6_step<RC>, false>(e.spc_high_bp, p.spc_high, left, right, count);
}

}  // namespace korva

#endif
