// Running stages one frame at a time.
//
// A stage is a step: a record loaded from the engine (its filter histories,
// positions and gains), called once per frame in frame order, then stored
// back:
//
//   void load(KorvaEngine &, const BlockParams &, int t0);
//   f2 operator()(f2 frame, int t);
//   void store(KorvaEngine &, int t_end) const;
//
// t is a clock the schedule gives: t0 + j for the step's frame j of the run,
// t_end = t0 + the frames it ran. Filters place their histories by it
// (filter_kit.h), so steps that share a clock share the arithmetic that finds
// their entries; the numbers computed do not depend on it.
//
// A step's state depends only on the frames it is given, in order, and no
// step reads another's state. So any schedule that gives every step every
// frame in order, each frame after the steps before it in the chain have
// passed it, computes exactly what passing one frame at a time through the
// whole chain computes; only the order in which independent work is issued
// differs.
#ifndef KORVA_ENGINE_FRAME_SCHEDULE_H
#define KORVA_ENGINE_FRAME_SCHEDULE_H

#include "block_params.h"
#include "filter_kit.h"

#include <cstddef>
#include <utility>

namespace korva {

// One step over a run of frames, in place.
template <class Step>
[[gnu::always_inline]] inline void run_step(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    Step step;  // left uninitialised: load sets what it uses
    step.load(e, p, 0);
    if (count == 1) {  // hosts that run one frame per call: no loop to set up
        frames[0] = step(frames[0], 0);
    } else {
        for (int i = 0; i < count; ++i)
            frames[i] = step(frames[i], i);
    }
    step.store(e, count);
}

// Frames in flight between the first and the last step of a skewed run.
inline constexpr int skew_slots = 32;

// Passes of a skewed run between two moves of its frame buffer.
inline constexpr int skew_chunk = 256;

// The skewed schedule. Frame j is read by `in(j)` in pass j, given to the
// step with lag L in pass j + L (clock t = the pass) and handed to
// `out(j, frame)` in pass j + last; a lag of -1 leaves a step out. Lags are
// distinct, 1..last-1, last < skew_slots, and their order is the order of
// the chain, whatever the order of the steps here. One pass thus runs every
// step on a different frame: their recursive filters, each bound by the
// latency of its own feedback sum, advance side by side instead of one after
// another. A step with lag L starts at clock L.
//
// In the passes of one chunk, c0 <= pass < c0 + skew_chunk, frame j sits at
// buf[skew_slots + j - c0], so the step with lag L finds its frame at
// buf[skew_slots - L + (pass - c0)]; at the end of a chunk the frames still
// in flight move down by skew_chunk.
// Step `step`, at buf[at + r] in pass i, unless it is left out (at < 0) or,
// in a checked pass, its frame i - lag is outside the run.
template <bool Checked, class Step>
[[gnu::always_inline]] inline void skewed_step(Step &step, int at, int lag, f2 *buf, int r, int i, int count)
{
    if (at < 0)
        return;
    if (Checked && (i - lag < 0 || i - lag >= count))
        return;
    f2 &x = buf[at + r];
    x = step(x, i);
}

template <class In, class Out, class... Steps>
inline void run_skewed(int count, In &&in, Out &&out, const int (&lag)[sizeof...(Steps)], int last,
                       Steps &...steps)
{
    constexpr int k_steps = static_cast<int>(sizeof...(Steps));
    f2 buf[skew_slots + skew_chunk];
    int at[k_steps];  // skew_slots - lag, or -1 for a step left out
    for (int k = 0; k < k_steps; ++k)
        at[k] = lag[k] < 0 ? -1 : skew_slots - lag[k];
    const auto pass = [&]<bool Checked, size_t... k>(int c0, int r, std::index_sequence<k...>) {
        const int i = c0 + r;
        if (!Checked || i < count)
            buf[skew_slots + r] = in(i);
        (skewed_step<Checked>(steps, at[k], lag[k], buf, r, i, count), ...);
        if (!Checked || (i - last >= 0 && i - last < count))
            out(i - last, buf[skew_slots - last + r]);
    };
    const auto order = std::index_sequence_for<Steps...>{};
    const int end = count + last;
    for (int c0 = 0; c0 < end; c0 += skew_chunk) {
        const int passes = end - c0 < skew_chunk ? end - c0 : skew_chunk;
        int r = 0;
        for (; r < passes && c0 + r < last; ++r)
            pass.template operator()<true>(c0, r, order);
        for (; r < passes && c0 + r < count; ++r)
            pass.template operator()<false>(c0, r, order);
        for (; r < passes; ++r)
            pass.template operator()<true>(c0, r, order);
        for (int m = 0; m < skew_slots; ++m)
            buf[m] = buf[m + skew_chunk];
    }
}

}  // namespace korva

#endif
