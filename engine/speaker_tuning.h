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
#include "frame_schedule.h"

namespace korva {

// One band: x -= G * filter(x) (Subtract) or x += G * filter(x).
template <RateClass RC, int Band>
struct SpeakerBandStep {
    static constexpr int order = Band == 0 ? 3 : 6;
    f2 g;
    StereoIir<order> s;

    static IirSection (&sections(KorvaEngine &e))[2]
    {
        if constexpr (Band == 0) return e.spc_debass_lp;
        else if constexpr (Band == 1) return e.spc_mid_bp;
        else if constexpr (Band == 2) return e.spc_detube_bp;
        else return e.spc_high_bp;
    }

    void load(KorvaEngine &e, const BlockParams &p, int t)
    {
        g = splat(Band == 0 ? p.spc_debass : Band == 1 ? p.spc_mid : Band == 2 ? p.spc_detube : p.spc_high);
        load_pair<order>(s, sections(e), single_set_steps(RC) * t);
    }

    [[gnu::always_inline]] f2 operator()(f2 x, [[maybe_unused]] int t)
    {
        if constexpr (Band == 0)
            return x - debass_lowpass3_step<RC>(s, t, x) * g;
        else if constexpr (Band == 1)
            return x + bandpass6<RC>(s, t, x, wide_mid_bandpass6) * g;
        else if constexpr (Band == 2)
            return x - bandpass6<RC>(s, t, x, wide_tube_bandpass6) * g;
        else
            return x + bandpass6<RC>(s, t, x, wide_high_bandpass6) * g;
    }

    void store(KorvaEngine &e, int t) const { store_pair(s, sections(e), single_set_steps(RC) * t); }
};

inline bool speaker_tuning_on(const BlockParams &p) { return p.raw.spc_mode != 0; }

// Band by band, each over the whole run, on the samples the previous band left.
template <RateClass RC>
inline void speaker_tuning(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    if (!speaker_tuning_on(p))
        return;
    run_step<SpeakerBandStep<RC, 0>>(e, p, frames, count);
    run_step<SpeakerBandStep<RC, 1>>(e, p, frames, count);
    run_step<SpeakerBandStep<RC, 2>>(e, p, frames, count);
    run_step<SpeakerBandStep<RC, 3>>(e, p, frames, count);
}

}  // namespace korva

#endif
