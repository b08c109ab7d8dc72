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
#include "filter_pair.h"

namespace korva {

// A stage built around one recursive filter whose input is the frame itself:
// Mix names the filter's design and its record and mixes the filter's output
// back in,
//
//   using Design = ...;                      // filter_kit.h
//   static IirSection (&sections(KorvaEngine &))[2];
//   void load(KorvaEngine &, const BlockParams &);
//   f2 finish(f2 frame, f2 filtered);
//   void store(KorvaEngine &) const;
template <class Mix>
struct FilterStep {
    using Design = typename Mix::Design;
    Mix mix;
    StereoIir<Design::order> s;

    void load(KorvaEngine &e, const BlockParams &p, int t)
    {
        mix.load(e, p);
        load_pair<Design::order>(s, Mix::sections(e), Design::steps * t);
    }

    [[gnu::always_inline]] f2 operator()(f2 x, int t) { return mix.finish(x, run_design<Design>(s, t, x)); }

    void store(KorvaEngine &e, int t) const
    {
        mix.store(e);
        store_pair(s, Mix::sections(e), Design::steps * t);
    }
};

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
// in flight move down by skew_chunk. A pass is checked in the first and last
// `last` passes of a run, where some steps have no frame.
//
// The run's units: a step on its own, or two filter stages whose filters
// share a design shape and so step side by side (filter_pair.h). Each unit
// has
//
//   void bind(f2 *buf);                     // its frames' places
//   template <bool Checked> void pass(int r, int i, int count);
inline bool frame_in_run(int j, int count) { return static_cast<unsigned>(j) < static_cast<unsigned>(count); }

template <class Step>
struct SkewedSingle {
    Step step;
    int lag = -1;
    f2 *slot = nullptr;  // frame of pass c0 + r at slot[r]; nullptr for a step left out

    void load(KorvaEngine &e, const BlockParams &p)
    {
        if (lag >= 0)
            step.load(e, p, lag);
    }
    void store(KorvaEngine &e, int count) const
    {
        if (lag >= 0)
            step.store(e, lag + count);
    }
    void bind(f2 *buf) { slot = lag >= 0 ? buf + skew_slots - lag : nullptr; }

    template <bool Checked>
    [[gnu::always_inline]] void pass(int r, int i, int count)
    {
        if (slot == nullptr || (Checked && !frame_in_run(i - lag, count)))
            return;
        slot[r] = step(slot[r], i);
    }
};

template <class MixA, class MixB>
struct SkewedPair {
    using D = typename MixA::Design;
    using DB = typename MixB::Design;
    static_assert(D::numerator == DB::numerator && D::steps == DB::steps && D::times_eight == DB::times_eight);
    static constexpr int N = D::order;

    MixA a;
    MixB b;
    int lag_a = -1, lag_b = -1;
    f2 *slot_a = nullptr, *slot_b = nullptr;
    IirPair<N> s;
    WideCoeffs<N, 4> c;

    void load(KorvaEngine &e, const BlockParams &p)
    {
        if (lag_a >= 0)
            a.load(e, p);
        if (lag_b >= 0)
            b.load(e, p);
        load_pairs<N>(s, lag_a >= 0 ? &MixA::sections(e) : nullptr, D::steps * lag_a,
                      lag_b >= 0 ? &MixB::sections(e) : nullptr, D::steps * lag_b);
        c = side_by_side(D::coeffs(), DB::coeffs());
    }

    void store(KorvaEngine &e, int count) const
    {
        if (lag_a >= 0)
            a.store(e);
        if (lag_b >= 0)
            b.store(e);
        store_pairs<N>(s, lag_a >= 0 ? &MixA::sections(e) : nullptr, D::steps * (lag_a + count),
                       lag_b >= 0 ? &MixB::sections(e) : nullptr, D::steps * (lag_b + count));
    }

    void bind(f2 *buf)
    {
        slot_a = lag_a >= 0 ? buf + skew_slots - lag_a : nullptr;
        slot_b = lag_b >= 0 ? buf + skew_slots - lag_b : nullptr;
    }

    // A filter that is on but has no frame in this pass is kept out of the
    // step; one that is off runs on zeros and is never stored.
    template <bool Checked>
    [[gnu::always_inline]] void pass(int r, int i, int count)
    {
        const bool in_a = slot_a != nullptr && (!Checked || frame_in_run(i - lag_a, count));
        const bool in_b = slot_b != nullptr && (!Checked || frame_in_run(i - lag_b, count));
        if (!in_a && !in_b)
            return;
        const f2 xa = in_a ? slot_a[r] : f2{};
        const f2 xb = in_b ? slot_b[r] : f2{};
        const bool keep_a = Checked && slot_a != nullptr && !in_a;
        const bool keep_b = Checked && slot_b != nullptr && !in_b;
        StereoIir<N> kept;
        if (keep_a)
            take_out<0>(s, kept);
        if (keep_b)
            take_out<1>(s, kept);
        const f4 y = run_design<D, 4>(s, i, join(xa, xb), c);
        if (keep_a)
            put_back<0>(s, kept);
        if (keep_b)
            put_back<1>(s, kept);
        if (in_a)
            slot_a[r] = a.finish(xa, half<0>(y));
        if (in_b)
            slot_b[r] = b.finish(xb, half<1>(y));
    }
};

template <class In, class Out, class... Units>
inline void run_skewed(int count, In &&in, Out &&out, int last, Units &...units)
{
    f2 buf[skew_slots + skew_chunk];
    (units.bind(buf), ...);
    const auto pass = [&]<bool Checked>(int c0, int r) {
        const int i = c0 + r;
        if (!Checked || i < count)
            buf[skew_slots + r] = in(i);
        (units.template pass<Checked>(r, i, count), ...);
        if (!Checked || frame_in_run(i - last, count))
            out(i - last, buf[skew_slots - last + r]);
    };
    const int end = count + last;
    for (int c0 = 0; c0 < end; c0 += skew_chunk) {
        const int passes = end - c0 < skew_chunk ? end - c0 : skew_chunk;
        int r = 0;
        for (; r < passes && c0 + r < last; ++r)
            pass.template operator()<true>(c0, r);
        for (; r < passes && c0 + r < count; ++r)
            pass.template operator()<false>(c0, r);
        for (; r < passes; ++r)
            pass.template operator()<true>(c0, r);
        for (int m = 0; m < skew_slots; ++m)
            buf[m] = buf[m + skew_chunk];
    }
}

}  // namespace korva

#endif
