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
inline void virtual_subwoofer(KorvaEngine &e, const BlockParams &p, float *left, float *right, int count)
{
    constexpr int step = 2048 >> rate_shift(RC);
    if (p.raw.vs_mode == 0 || p.raw.vs_intensity == 0)
        return;
    DelayLine &ring_a = e.vs_ring[0];
    DelayLine &ring_b = e.vs_ring[1];
    const float go = p.vs_overdrive;
    const double k = 0.5 * static_cast<double>(p.vs_intensity);
    int read_a = ring_a.position & vs_ring_mask;
    int read_b = ring_b.position & vs_ring_mask;
    with_local_pair(e.vs_lp, [&](IirSection &sl, IirSection &sr) {
        for (int i = 0; i < count; ++i) {
            const float l = left[i], r = right[i];
            const float da = ring_a.slot[read_a] * go;
            const float el = bass_lowpass3<RC>(sl, l) + da;
            const float db = ring_b.slot[read_b] * go;
            const float er = bass_lowpass3<RC>(sr, r) + db;

            // Write S slots ahead of the read, then move one slot on.
            ring_b.slot[(read_b + step) & vs_ring_mask] = el;
            ring_a.slot[(read_a + step) & vs_ring_mask] = -er;
            read_a = (read_a + 1) & vs_ring_mask;
            read_b = (read_b + 1) & vs_ring_mask;

            left[i] = l + static_cast<float>(k * static_cast<double>(el));
            right[i] = r + static_cast<float>(k * static_cast<double>(er));
        }
    });
    ring_a.position = read_a;
    ring_b.position = read_b;
}

}  // namespace korva

#endif
