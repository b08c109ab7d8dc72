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
inline void run_step(Step step, KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    step.load(e, p, 0);
    for (int i = 0; i < count; ++i)
        frames[i] = step(frames[i], i);
    step.store(e, count);
}

template <class Step>
inline void run_step(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    run_step(Step{}, e, p, frames, count);
}

// Frames in flight between the first and the last step of a skewed run.
inline constexpr int skew_slots = 32;

// The skewed schedule. Frame j is read by `in(j)` in pass j, given to the
// step with lag L in pass j + L (clock t = the pass) and handed to
// `out(j, frame)` in pass j + last; a lag of -1 leaves a step out. Lags are
// distinct, 1..last-1, last < skew_slots, and their order is the order of
// the chain, whatever the order of the steps here. One pass thus runs every
// step on a different frame: their recursive filters, each bound by the
// latency of its own feedback sum, advance side by side instead of one after
// another. A step with lag L starts at clock L.
template <class In, class Out, class... Steps>
inline void run_skewed(int count, In &&in, Out &&out, const int (&lag)[sizeof...(Steps)], int last,
                       Steps &...steps)
{
    f2 slots[skew_slots];
    constexpr int mask = skew_slots - 1;
    const auto pass = [&]<bool Checked, size_t... k>(int i, std::index_sequence<k...>) {
        if (!Checked || i < count)
            slots[i & mask] = in(i);
        (
            [&] {
                if (lag[k] < 0)
                    return;
                const int j = i - lag[k];
                if (Checked && (j < 0 || j >= count))
                    return;
                slots[j & mask] = steps(slots[j & mask], i);
            }(),
            ...);
        const int j = i - last;
        if (!Checked || (j >= 0 && j < count))
            out(j, slots[j & mask]);
    };
    const auto order = std::index_sequence_for<Steps...>{};
    const int end = count + last;
    int i = 0;
    for (; i < last && i < end; ++i)
        pass.template operator()<true>(i, order);
    for (; i < count; ++i)
        pass.template operator()<false>(i, order);
    for (; i < end; ++i)
        pass.template operator()<true>(i, order);
}

}  // namespace korva

#endif
