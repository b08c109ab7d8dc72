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
#include "frame_schedule.h"

namespace korva {

inline constexpr int vs_ring_mask = KORVA_DELAY_SLOTS - 1;

template <RateClass RC>
struct VirtualSubwooferMix {
    using Design = BassLowpass3<RC>;
    static IirSection (&sections(KorvaEngine &e))[2] { return e.vs_lp; }
    static constexpr int step = 2048 >> rate_shift(RC);
    float *ring_a, *ring_b;
    int read_a, read_b;
    f2 go;
    d2 k;

    void load(KorvaEngine &e, const BlockParams &p)
    {
        ring_a = e.vs_ring[0].slot;
        ring_b = e.vs_ring[1].slot;
        read_a = e.vs_ring[0].position & vs_ring_mask;
        read_b = e.vs_ring[1].position & vs_ring_mask;
        go = splat(p.vs_overdrive);
        k = splat(0.5 * static_cast<double>(p.vs_intensity));
    }

    // b: the low-pass output, 8 y.
    [[gnu::always_inline]] f2 finish(f2 x, f2 b)
    {
        const f2 echo = f2{ring_a[read_a], ring_b[read_b]} * go;  // dA, dB
        const f2 ev = b + echo;                                      // eL, eR
        // Write S slots ahead of the read, then move one slot on.
        ring_b[(read_b + step) & vs_ring_mask] = ev[0];
        ring_a[(read_a + step) & vs_ring_mask] = -ev[1];
        read_a = (read_a + 1) & vs_ring_mask;
        read_b = (read_b + 1) & vs_ring_mask;
        return x + narrow(k * widen(ev));
    }

    void store(KorvaEngine &e) const
    {
        e.vs_ring[0].position = read_a;
        e.vs_ring[1].position = read_b;
    }
};

template <RateClass RC>
using VirtualSubwooferStep = FilterStep<VirtualSubwooferMix<RC>>;

inline bool virtual_subwoofer_on(const BlockParams &p) { return p.raw.vs_mode != 0 && p.raw.vs_intensity != 0; }

template <RateClass RC>
inline void virtual_subwoofer(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    if (virtual_subwoofer_on(p))
        run_step<VirtualSubwooferStep<RC>>(e, p, frames, count);
}

}  // namespace korva

#endif
