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
struct DewooferMix {
    using Design = WooferNotch6<RC>;
    static IirSection (&sections(KorvaEngine &e))[2] { return e.dewoofer_notch; }
    f2 g;

    void load(KorvaEngine &, const BlockParams &p) { g = splat(p.dewoofer); }
    [[gnu::always_inline]] f2 finish(f2 x, f2 n) const { return x + (n - x) * g; }
    void store(KorvaEngine &) const {}
};

template <RateClass RC>
using DewooferStep = FilterStep<DewooferMix<RC>>;

inline bool dewoofer_on(const BlockParams &p) { return p.raw.dewoofer != 0; }

template <RateClass RC>
inline void dewoofer(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    if (dewoofer_on(p))
        run_step<DewooferStep<RC>>(e, p, frames, count);
}

}  // namespace korva

#endif
