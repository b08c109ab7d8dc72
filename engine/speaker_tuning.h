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
template <int N, class Band>
inline void speaker_band(IirSection (&pair)[2], float gain, bool subtract, f2 *frames, int count, Band band)
{
    const f2 g = splat(gain);
    StereoIir<N> s = load_pair<N>(pair);
    for (int i = 0; i < count; ++i) {
        const f2 f = band(s, frames[i]) * g;
        frames[i] = subtract ? frames[i] - f : frames[i] + f;
    }
    store_pair(s, pair);
}

template <RateClass RC>
inline void speaker_tuning(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    if (p.raw.spc_mode == 0)
        return;
    speaker_band<3>(e.spc_debass_lp, p.spc_debass, true, frames, count,
                    [](StereoIir<3> &s, f2 x) { return debass_lowpass3_step<RC>(s, x); });
    speaker_band<6>(e.spc_mid_bp, p.spc_mid, false, frames, count,
                    [](StereoIir<6> &s, f2 x) { return bandpass6<RC>(s, x, mid_bandpass6); });
    speaker_band<6>(e.spc_detube_bp, p.spc_detube, true, frames, count,
                    [](StereoIir<6> &s, f2 x) { return bandpass6<RC>(s, x, tube_bandpass6); });
    speaker_band<6>(e.spc_high_bp, p.spc_high, false, frames, count,
                    [](StereoIir<6> &s, f2 x) { return bandpass6<RC>(s, x, high_bandpass6); });
}

}  // namespace korva

#endif
