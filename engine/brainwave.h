// Brainwave synthesis: the channel sum, times a slow sine and a depth, is
// added to the left channel and taken from the right, so the sound sways
// between the speakers at bw_fq / 1000 Hz. All in float:
//   L' = L Gs     R' = R Gs                     (Gs: bw_sigpreamp)
//   m  = (sin(phase) (L' + R')) Gv              (Gv: bw_value)
//   L  = L' + m   R  = R' - m
//   phase += step, reduced by 2 pi from above only.
#ifndef KORVA_ENGINE_BRAINWAVE_H
#define KORVA_ENGINE_BRAINWAVE_H

#include "block_params.h"
#include "filter_kit.h"
#include "frame_schedule.h"

#include <cmath>
#include <math.h>

namespace korva {

// Radians per sample per thousandth of a hertz before division by the rate
// (the float nearest 2 pi / 1000, bits 3BCDE32E), and the phase wrap (the
// float nearest 2 pi, bits 40C90FDB).
inline constexpr float bw_radians_per_millihertz = 0.0062831854f;
inline constexpr float bw_two_pi = 6.2831855f;

// Exactly `while (phase > 2pi) phase -= 2pi;` in float, without its cost for
// large phases. Within one binade [2^e, 2^(e+1)) with e >= 4 every float
// subtraction of 2pi takes off the same amount r (2pi rounded to the binade's
// spacing; no ties occur there), so runs of steps that stay inside the binade
// are taken at once in exact double arithmetic; the steps that cross into the
// next binade are taken one by one. A phase from which the subtraction can no
// longer take anything (infinite, or 2^27 and above, reachable only through a
// record written from outside) would spin for ever: it restarts at 0.
inline float bw_reduce_phase(float phase)
{
    while (phase > bw_two_pi) {
        if (phase >= 16.0f && phase < 134217728.0f) {  // 2^4 <= phase < 2^27
            int exponent;
            std::frexp(phase, &exponent);                           // phase in [2^(e-1), 2^e)
            const double binade = std::ldexp(1.0, exponent - 1);    // 2^e of the text above
            const double spacing = std::ldexp(1.0, exponent - 24);  // float spacing in the binade
            const double r = std::nearbyint(static_cast<double>(bw_two_pi) / spacing) * spacing;
            const double runs = std::floor((static_cast<double>(phase) - binade) / r) - 1.0;
            if (runs > 0.0)
                phase = static_cast<float>(static_cast<double>(phase) - runs * r);
        }
        const float next = phase - bw_two_pi;
        if (!(next < phase))
            return 0.0f;
        phase = next;
    }
    return phase;
}

// The stage one frame at a time (frame_schedule.h): load, then one call per
// frame, then store. The sines, which depend on nothing but the phase, are
// worked out ahead in a loop of their own: a library call in the frame loop
// would have it put aside and reload every value it keeps in vector
// registers, at every frame. The look-ahead starts at one frame and doubles
// up to `batch`, so a short block works out few sines it will not use.
struct BrainwaveStep {
    static constexpr int batch = 32;
    float step, phase, sigpreamp, value;
    int next, filled, ahead;  // sine[next] is the current frame's; filled of them are worked out
    float sine[batch];        // sin(phase) of the coming frames
    float after[batch];       // the phase after each of them

    void load(KorvaEngine &e, const BlockParams &p, int)
    {
        bool step_stale = false;
        if (p.rate != e.bw_cached_rate) {
            e.bw_base_step = bw_radians_per_millihertz / static_cast<float>(p.rate);
            e.bw_cached_rate = p.rate;
            e.bw_cached_fq = 0;
            step_stale = true;  // a new rate always needs a new step, even for bw_fq 0
        }
        if (step_stale || e.bw_cached_fq != p.raw.bw_fq) {
            e.bw_step = e.bw_base_step * static_cast<float>(p.raw.bw_fq);
            e.bw_cached_fq = p.raw.bw_fq;
        }
        step = e.bw_step;
        phase = e.bw_phase;
        sigpreamp = p.bw_sigpreamp;
        value = p.bw_value;
        next = filled = 0;
        ahead = 1;
    }

    // The sines of the next `ahead` frames, from `phase`, the current frame's.
    // Inlined, so that the AVX2 frame loop calls no function built for the
    // baseline (frame_loop.cpp).
    [[gnu::always_inline]] void look_ahead()
    {
        float ph = phase;
        for (int k = 0; k < ahead; ++k) {
            sine[k] = ::sinf(ph);
            ph = bw_reduce_phase(ph + step);
            after[k] = ph;
        }
        next = 0;
        filled = ahead;
        ahead = ahead < batch ? 2 * ahead : batch;
    }

    [[gnu::always_inline]] f2 operator()(f2 x, [[maybe_unused]] int t)
    {
        if (next == filled) [[unlikely]]
            look_ahead();
        const float l = x[0] * sigpreamp;
        const float r = x[1] * sigpreamp;
        const float m = (sine[next] * (l + r)) * value;
        phase = after[next++];
        return f2{l + m, r - m};
    }

    void store(KorvaEngine &e, int) const { e.bw_phase = phase; }
};

inline bool brainwave_on(const BlockParams &p) { return p.raw.bw_mode != 0; }

inline void brainwave(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    if (brainwave_on(p))
        run_step<BrainwaveStep>(e, p, frames, count);
}

}  // namespace korva

#endif
