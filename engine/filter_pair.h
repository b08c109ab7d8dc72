// Two filters of one design shape in one set of rings: the first filter's
// left and right in lanes 0 and 1, the second's in lanes 2 and 3. Both step
// on one clock, each on its own input, so one instruction does the work of
// two; each lane's numbers are still exactly those of its own filter.
//
// Each filter is placed in the rings for its own first step, as load_pair
// would place it alone. A filter that is not to step at some clock (its
// frame is not there yet, or no longer) is taken out before the step and put
// back after it, so the step leaves it as it was.
#ifndef KORVA_ENGINE_FILTER_PAIR_H
#define KORVA_ENGINE_FILTER_PAIR_H

#include "filter_kit.h"

namespace korva {

template <int N>
using IirPair = IirRings<N, 4>;

[[gnu::always_inline]] inline f4 join(f2 a, f2 b) { return __builtin_shufflevector(a, b, 0, 1, 2, 3); }
[[gnu::always_inline]] inline d4 join(d2 a, d2 b) { return __builtin_shufflevector(a, b, 0, 1, 2, 3); }

template <int Side>
[[gnu::always_inline]] inline f2 half(f4 v)
{
    return __builtin_shufflevector(v, v, 2 * Side, 2 * Side + 1);
}

template <int Side>
[[gnu::always_inline]] inline d2 half(d4 v)
{
    return __builtin_shufflevector(v, v, 2 * Side, 2 * Side + 1);
}

// Filter `Side` (0 or 1) of a pair, as the rings of a filter on its own.
template <int Side, int N>
inline void take_out(const IirPair<N> &p, StereoIir<N> &s)
{
    for (int k = 0; k < 2 * IirPair<N>::ring; ++k) {
        s.x[k] = half<Side>(p.x[k]);
        s.y[k] = half<Side>(p.y[k]);
    }
    s.last = half<Side>(p.last);
}

template <int Side, int N>
inline void put_back(IirPair<N> &p, const StereoIir<N> &s)
{
    for (int k = 0; k < 2 * IirPair<N>::ring; ++k) {
        p.x[k] = Side == 0 ? join(s.x[k], half<1>(p.x[k])) : join(half<0>(p.x[k]), s.x[k]);
        p.y[k] = Side == 0 ? join(s.y[k], half<1>(p.y[k])) : join(half<0>(p.y[k]), s.y[k]);
    }
    p.last = Side == 0 ? join(s.last, half<1>(p.last)) : join(half<0>(p.last), s.last);
}

// Loads filter a from its record for first step next_a and filter b for
// next_b; a filter given no record (nullptr) is all zeros, which a step on
// zero input leaves at zero.
template <int N>
inline void load_pairs(IirPair<N> &p, const IirSection (*a)[2], int next_a, const IirSection (*b)[2], int next_b)
{
    StereoIir<N> sa{}, sb{};
    if (a != nullptr)
        load_pair<N>(sa, *a, next_a);
    if (b != nullptr)
        load_pair<N>(sb, *b, next_b);
    for (int k = 0; k < 2 * IirPair<N>::ring; ++k) {
        p.x[k] = join(sa.x[k], sb.x[k]);
        p.y[k] = join(sa.y[k], sb.y[k]);
    }
    p.last = join(sa.last, sb.last);
}

// Stores filter a after steps up to end_a - 1, and filter b after end_b - 1;
// nullptr leaves a record out.
template <int N>
inline void store_pairs(const IirPair<N> &p, IirSection (*a)[2], int end_a, IirSection (*b)[2], int end_b)
{
    StereoIir<N> s;
    if (a != nullptr) {
        take_out<0>(p, s);
        store_pair(s, *a, end_a);
    }
    if (b != nullptr) {
        take_out<1>(p, s);
        store_pair(s, *b, end_b);
    }
}

}  // namespace korva

#endif
