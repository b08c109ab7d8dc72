// Virtual Subwoofer: adds low bass to both channels and lets it echo between
// them through two 4096-slot rings, S = 2048 >> shift frames apart (~46 ms):
//
//   eL(n) = 8 lowpass3(L) - Go eR(n - S)        ring A carries -eR to the left
//   eR(n) = 8 lowpass3(R) + Go eL(n - S)        ring B carries  eL to the right
//   L += float(0.5 Gi * eL)     R += float(0.5 Gi * eR)       (double products)
//
// The loop gain over both rings is -Go^2: below Go = 1 every echo dies away.
#ifndef KORVA_ENGINE_VIRTUAL_SUBWOOFER_H
#define KORVA_ENGINE_VIRTUAL_SUBWOOFER_H

#include "block_params.h"
#include "filter_kit.h"

namespace korva {

inline constexpr int vs_ring_mask = KORVA_DELAY_SLOTS - 1;

template <RateClass RC>
inline void virtual_subwoofer(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    constexpr int step = 2048 >> rate_shift(RC);
    if (p.raw.vs_mode == 0 || p.raw.vs_intensity == 0)
        return;
    DelayLine &ring_a = e.vs_ring[0];
    DelayLine &ring_b = e.vs_ring[1];
    const f2 go = splat(p.vs_overdrive);
    const d2 k = splat(0.5 * static_cast<double>(p.vs_intensity));
    int read_a = ring_a.position & vs_ring_mask;
    int read_b = ring_b.position & vs_ring_mask;
    StereoIir<3> s = load_pair<3>(e.vs_lp);
    for (int i = 0; i < count; ++i) {
        const f2 x = frames[i];
        const f2 echo = f2{ring_a.slot[read_a], ring_b.slot[read_b]} * go;  // dA, dB
        const f2 ev = bass_lowpass3<RC>(s, x) + echo;                      // eL, eR
        // Write S slots ahead of the read, then move one slot on.
        ring_b.slot[(read_b + step) & vs_ring_mask] = ev[0];
        ring_a.slot[(read_a + step) & vs_ring_mask] = -ev[1];
        read_a = (read_a + 1) & vs_ring_mask;
        read_b = (read_b + 1) & vs_ring_mask;
        frames[i] = x + narrow(k * widen(ev));
    }
    store_pair(s, e.vs_lp);
    ring_a.position = read_a;
    ring_b.position = read_b;
}

}  // namespace korva

#endif
