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
inline void dewoofer(KorvaEngine &e, const BlockParams &p, float *left, float *right, int count)
{
    if (p.raw.dewoofer == 0)
        return;
    const float g = p.dewoofer;
    with_local_pair(e.dewoofer_notch, [&](IirSection &sl, IirSection &sr) {
        for (int i = 0; i < count; ++i) {
            const float l = left[i], r = right[i];
            const float nl = woofer_notch6<RC>(sl, l);
            const float nr = woofer_notch6<RC>(sr, r);
            left[i] = l + (nl - l) * g;
            right[i] = r + (nr - r) * g;
        }
    });
}

}  // namespace korva

#endif
