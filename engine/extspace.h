// extSpace: adds a fixed pattern of delayed copies of each channel through a
// write-ahead ring: each input is added at once, scaled, into every future
// slot it must appear in; the current slot is read out, the previous cleared.
//
// Active (five taps, direct sound partly cancelled):
//   left  = 0.7267015 (-0.75 xL[n] + xL[n-d1] + .5 xL[n-d2] + .25 xL[n-d3] + .125 xL[n-d4] + .0625 xL[n-d5])
//   right = 0.7267015 (-0.75 xR[n] - xR[n-d1] + .5 xR[n-d2] - .25 xR[n-d3] + .125 xR[n-d4] - .0625 xR[n-d5])
// Wide (one tap, direct sound kept):
//   left  = 0.7074413 (xL[n] + xL[n-d1])      right = 0.7074413 (xR[n] - xR[n-d1])
// Delays d_k = 172 k samples at the high class, halved per lower class.
#ifndef KORVA_ENGINE_EXTSPACE_H
#define KORVA_ENGINE_EXTSPACE_H

#include "block_params.h"
#include "filter_kit.h"
#include "frame_schedule.h"

namespace korva {

inline constexpr int extspace_mask = KORVA_EXTSPACE_SLOTS - 1;
inline constexpr int extspace_base_delay = 172;

template <RateClass RC>
[[gnu::always_inline]] inline void extspace_active(KorvaEngine &e, float &left, float &right)
{
    constexpr int shift = rate_shift(RC);
    float *ring_l = e.extspace_ring[0];
    float *ring_r = e.extspace_ring[1];
    const int i = e.extspace_index & extspace_mask;
    const float xl = left, xr = right;

    ring_l[i] = static_cast<float>(static_cast<double>(ring_l[i]) - 0.75 * static_cast<double>(xl));
    ring_r[i] = static_cast<float>(static_cast<double>(ring_r[i]) - 0.75 * static_cast<double>(xr));
    ring_l[(i - 1) & extspace_mask] = 0.0f;
    ring_r[(i - 1) & extspace_mask] = 0.0f;

    float sl = xl, sr = xr;
    for (int k = 1; k <= 5; ++k) {
        const int slot = (i + ((extspace_base_delay * k) >> shift)) & extspace_mask;
        ring_l[slot] += sl;
        if (k % 2 == 1)
            ring_r[slot] -= sr;
        else
            ring_r[slot] += sr;
        if (k < 5) {
            sl *= 0.5f;
            sr *= 0.5f;
        }
    }

    const float yl = ring_l[i], yr = ring_r[i];
    e.extspace_index = (i + 1) & extspace_mask;
    left = static_cast<float>(static_cast<double>(yl) * 0.7267015);
    right = static_cast<float>(static_cast<double>(yr) * 0.7267015);
}

template <RateClass RC>
[[gnu::always_inline]] inline void extspace_wide(KorvaEngine &e, float &left, float &right)
{
    constexpr int d1 = extspace_base_delay >> rate_shift(RC);
    float *ring_l = e.extspace_ring[0];
    float *ring_r = e.extspace_ring[1];
    const int i = e.extspace_index & extspace_mask;
    const float xl = left, xr = right;

    ring_l[i] += xl;
    ring_r[i] += xr;
    ring_l[(i - 1) & extspace_mask] = 0.0f;
    ring_r[(i - 1) & extspace_mask] = 0.0f;
    ring_l[(i + d1) & extspace_mask] += xl;
    ring_r[(i + d1) & extspace_mask] -= xr;

    const float yl = ring_l[i], yr = ring_r[i];
    e.extspace_index = (i + 1) & extspace_mask;
    left = static_cast<float>(static_cast<double>(yl) * 0.7074413);
    right = static_cast<float>(static_cast<double>(yr) * 0.7074413);
}

// Mode 1 Active, mode 2 Wide; any other mode does nothing and moves nothing.
template <RateClass RC>
struct ExtspaceStep {
    KorvaEngine *e;
    bool active;

    void load(KorvaEngine &engine, const BlockParams &p, int)
    {
        e = &engine;
        active = p.raw.extspace_mode == 1;
    }

    [[gnu::always_inline]] f2 operator()(f2 x, [[maybe_unused]] int t)
    {
        float l = x[0], r = x[1];
        if (active)
            extspace_active<RC>(*e, l, r);
        else
            extspace_wide<RC>(*e, l, r);
        return f2{l, r};
    }

    void store(KorvaEngine &, int) const {}
};

inline bool extspace_on(const BlockParams &p) { return p.raw.extspace_mode == 1 || p.raw.extspace_mode == 2; }

template <RateClass RC>
inline void extspace(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    if (extspace_on(p))
        run_step<ExtspaceStep<RC>>(e, p, frames, count);
}

}  // namespace korva

#endif
