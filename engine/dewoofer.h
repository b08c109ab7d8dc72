// DeWoofer: takes part of the band from about 900 to 5000 Hz out of each
// channel through a WooferNotch6 band-stop.
//   out = x + (notch(x) - x) * G
// G = 1 leaves the band-stopped signal; G = 2 puts the band back inverted.
#ifndef KORVA_ENGINE_DEWOOFER_H
#define KORVA_ENGINE_DEWOOFER_H

#include "block_params.h"
#include "filter_kit.h"

namespace korva {

template <RateClass RC>
inline void dewoofer(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    if (p.raw.dewoofer == 0)
        return;
    const f2 g = splat(p.dewoofer);
    StereoIir<6> s = load_pair<6>(e.dewoofer_notch);
    for (int i = 0; i < count; ++i) {
        const f2 x = frames[i];
        const f2 n = woofer_notch6<RC>(s, x);
        frames[i] = x + (n - x) * g;
    }
    store_pair(s, e.dewoofer_notch);
}

}  // namespace korva

#endif
