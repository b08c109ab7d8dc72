// DeWoofer: takes part of the band from about 900 to 5000 Hz out of each
// channel through a WooferNotch6 band-stop.
//   out = x + (notch(x) - x) * G
// G = 1 leaves the band-stopped signal; G = 2 puts the band back inverted.
#ifndef KORVA_ENGINE_DEWOOFER_H
#define KORVA_ENGINE_DEWOOFER_H

#include "block_params.h"
#include "filter_kit.h"
#include "frame_schedule.h"

namespace korva {

template <RateClass RC>
struct DewooferStep {
    f2 g;
    StereoIir<6> s;

    void load(KorvaEngine &e, const BlockParams &p, int t)
    {
        g = splat(p.dewoofer);
        load_pair<6>(s, e.dewoofer_notch, two_set_steps(RC) * t);
    }

    [[gnu::always_inline]] f2 operator()(f2 x, [[maybe_unused]] int t)
    {
        const f2 n = woofer_notch6<RC>(s, t, x);
        return x + (n - x) * g;
    }

    void store(KorvaEngine &e, int t) const { store_pair(s, e.dewoofer_notch, two_set_steps(RC) * t); }
};

inline bool dewoofer_on(const BlockParams &p) { return p.raw.dewoofer != 0; }

template <RateClass RC>
inline void dewoofer(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    if (dewoofer_on(p))
        run_step<DewooferStep<RC>>(e, p, frames, count);
}

}  // namespace korva

#endif
