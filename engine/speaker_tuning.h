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

#include <type_traits>

namespace korva {

// One band: x -= G * filter(x) (Subtract) or x += G * filter(x).
template <RateClass RC, int Band>
struct SpeakerBandMix {
    using Design = std::conditional_t<Band == 0, DebassLowpass3<RC>, SpeakerBandpass6<RC, Band>>;
    f2 g;

    static IirSection (&sections(KorvaEngine &e))[2]
    {
        if constexpr (Band == 0) return e.spc_debass_lp;
        else if constexpr (Band == 1) return e.spc_mid_bp;
        else if constexpr (Band == 2) return e.spc_detube_bp;
        else return e.spc_high_bp;
    }

    void load(KorvaEngine &, const BlockParams &p)
    {
        g = splat(Band == 0 ? p.spc_debass : Band == 1 ? p.spc_mid : Band == 2 ? p.spc_detube : p.spc_high);
    }

    // y: the band's filter output.
    [[gnu::always_inline]] f2 finish(f2 x, f2 y) const
    {
        if constexpr (Band == 0 || Band == 2)
            return x - y * g;
        else
            return x + y * g;
    }

    void store(KorvaEngine &) const {}
};

template <RateClass RC, int Band>
using SpeakerBandStep = FilterStep<SpeakerBandMix<RC, Band>>;

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
