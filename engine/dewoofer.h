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
inline void dewoofer(KorvaEngine &e, const BlockParams &p, float &left, float &right)
{
    if (p.raw.dewoofer == 0)
        return;
    const float g = p.dewoofer;
    const float l = left, r = right;
    const float nl = woofer_notch6<RC>(e.dewoofer_notch[0], l);
    const float nr = woofer_notch6<RC>(e.dewoofer_notch[1], r);
    left = l + (nl - l) * g;
    right = r + (nr - r) * g;
}

}  // namespace korva

#endif
