// The filter kit: eight fixed recursive designs and one short fixed delay.
//
// Nothing is designed at run time. A design is its constants: one coefficient
// set per rate class, or one set stepped 1, 2 or 4 times per sample so that
// its corners stay put in hertz. State lives in IirSection / DelayLine records
// inside the engine; every step is straight-line arithmetic whose order of
// float and double operations is part of the result and must not change.
//
// Order-N step (N = 6 or 3), with x the input history and y the output
// history, oldest first:
//   shift both histories down by one
//   x[N] = float(double(in) * g)
//   n    = the design's numerator pattern over x[0..N] (float, or double for
//          the band-stop)
//   y[N] = float(n + a0 y[0] + a1 y[1] + ... + a(N-1) y[N-1])   (double, in
//          this order, rounded once)
//
// Both channels run at once: the left and right histories of a design sit
// side by side in one vector register, lane 0 left, lane 1 right, and every
// operation acts on both lanes with exactly the float or double operation of
// the single-channel step, so each lane's result is that of its own channel,
// bit for bit. A StereoIir is loaded from a left/right pair of IirSection
// records at the start of a run of frames and stored back at its end, so the
// histories stay in registers in between. Output histories are held widened
// to double: each is a float, widened exactly, and the feedback sum only ever
// uses them as doubles.
#ifndef KORVA_ENGINE_FILTER_KIT_H
#define KORVA_ENGINE_FILTER_KIT_H

#include "korva.h"

#include <cstdint>
#include <cstring>

namespace korva {

enum class RateClass { low, mid, high };

// Two signed comparisons: up to 14999 Hz low, up to 31999 Hz mid, above high.
constexpr RateClass rate_class(int32_t rate)
{
    return rate <= 14999 ? RateClass::low : rate <= 31999 ? RateClass::mid : RateClass::high;
}

// Halvings of a sample count for the class: high 0, mid 1, low 2.
constexpr int rate_shift(RateClass rc)
{
    return rc == RateClass::high ? 0 : rc == RateClass::mid ? 1 : 2;
}

// Steps per sample of the single-set designs: 1, 2 or 4.
constexpr int single_set_steps(RateClass rc) { return 1 << rate_shift(rc); }

// Steps per sample of the two-set designs: the mid set runs twice at the low class.
constexpr int two_set_steps(RateClass rc) { return rc == RateClass::low ? 2 : 1; }

template <int N>
struct IirCoeffs {
    double g;     // input multiplier
    double a[N];  // feedback, a[0] multiplies the oldest output
};

struct NotchCoeffs {
    IirCoeffs<6> iir;
    double b1, b2, b3;  // band-stop numerator weights
};

// --- Coefficient sets ------------------------------------------------------
// The response notes give the -3 dB points as a fraction of the step rate.

// 6-pole Butterworth low-pass, unity at 0 Hz: high set -3 dB at 0.0965
// (4255 Hz at 44100 Hz), mid set at 0.193 (4255 Hz at 22050 Hz).
inline constexpr IirCoeffs<6> lowpass6_high = {
    0.0002835290529376749,
    {-0.0916957868, 0.7643814944, -2.7105761157, 5.2526413293, -5.896816683, 3.6639199024}};
inline constexpr IirCoeffs<6> lowpass6_mid = {
    0.008702456844372918,
    {-0.0062067884, 0.0642567105, -0.3135224876, 0.8083874003, -1.4643831856, 1.3545111126}};

// 6-pole Butterworth band-stop, unity at 0 Hz and at half the step rate: stop
// band 0.0204..0.1134 (high set) and 0.0408..0.2268 (mid set), about 900 to
// 5000 Hz at 44100 and 22050 Hz.
inline constexpr NotchCoeffs woofer_notch6_high = {
    {0.5526871360327571,
     {-0.3052373668, 2.0845310901, -6.0903489921, 9.7727268553, -9.0814539433, 4.6193332118}},
    5.7200436558, 13.906299808, 18.371699648};
inline constexpr NotchCoeffs woofer_notch6_mid = {
    {0.2869155260137894,
     {-0.0754469872, 0.5642214165, -1.7103799565, 3.1242674976, -3.9121070303, 2.9909718995}},
    4.7975962989, 10.672310083, 13.685042204};

// 3-pole Butterworth low-pass, -3 dB at 0.00454 (high) and 0.00907 (mid):
// about 200 Hz. Its output is scaled by 8.
inline constexpr IirCoeffs<3> bass_lowpass3_high = {
    2.811488331171418e-06, {0.9446013698, -2.8876354454, 2.9430115838}};
inline constexpr IirCoeffs<3> bass_lowpass3_mid = {
    2.1873213050087885e-05, {0.8922614149, -2.7784710952, 2.8860346945}};

// Single-set designs, responses at a 44100 Hz step rate.
// 3-pole low-pass, -3 dB at about 561 Hz.
inline constexpr IirCoeffs<3> debass_lowpass3 = {
    5.90193430242709e-05, {0.8522285532, -2.6928851139, 2.8401844059}};
// 6-pole band-pass, about 1300 to 4300 Hz, peak gain 1.
inline constexpr IirCoeffs<6> mid_bandpass6 = {
    0.006645297675325221,
    {-0.4224453303, 2.7287211002, -7.5581471972, 11.483266628, -10.08933094, 4.8569690846}};
// 6-pole band-pass, about 7134 to 8802 Hz, peak gain 1.
inline constexpr IirCoeffs<6> tube_bandpass6 = {
    0.001340968147999672,
    {-0.6209937289, 1.7083166278, -3.7288988709, 4.4635023229, -4.368949026, 2.3479236245}};
// 6-pole band-pass, about 13000 to 18000 Hz, peak gain 1.
inline constexpr IirCoeffs<6> high_bandpass6 = {
    0.02485115214794788,
    {-0.2322026652, -1.0962566268, -2.7857444725, -4.3269859159, -4.5133757445, -2.9205544664}};

// --- Two channels in one register ------------------------------------------

typedef float f2 __attribute__((vector_size(8)));
typedef double d2 __attribute__((vector_size(16)));
typedef float f4 __attribute__((vector_size(16)));   // four history entries, or two pairs
typedef double d4 __attribute__((vector_size(32)));  // two pairs, widened

[[gnu::always_inline]] inline d2 widen(f2 v) { return __builtin_convertvector(v, d2); }
// Spelled lane by lane: GCC converts this form in one instruction where AVX
// is on, while its vector conversion of four floats always goes in halves.
[[gnu::always_inline]] inline d4 widen(f4 v) { return d4{v[0], v[1], v[2], v[3]}; }
// Two doubles to two floats in one conversion of the two (GCC would widen
// the pair to four and convert all four where AVX is on, a slower
// instruction). Both round in the current mode, as every conversion here.
[[gnu::always_inline]] inline f2 narrow(d2 v)
{
#if defined(__SSE2__)
    const f4 r = __builtin_ia32_cvtpd2ps(v);
    return __builtin_shufflevector(r, r, 0, 1);
#else
    return __builtin_convertvector(v, f2);
#endif
}
[[gnu::always_inline]] inline f4 narrow(d4 v) { return __builtin_convertvector(v, f4); }
[[gnu::always_inline]] inline f2 splat(float v) { return f2{v, v}; }
[[gnu::always_inline]] inline d2 splat(double v) { return d2{v, v}; }

// W lanes: 2 for one filter's left and right, 4 for two filters side by side
// (the first one's pair in lanes 0 and 1). Every lane does the same
// operations, so a filter's numbers do not depend on which lanes it runs in.
template <int W> struct LaneTypes;
template <> struct LaneTypes<2> { using F = f2; using D = d2; };
template <> struct LaneTypes<4> { using F = f4; using D = d4; };
template <int W> using fvec = typename LaneTypes<W>::F;
template <int W> using dvec = typename LaneTypes<W>::D;

template <class V, class S>
[[gnu::always_inline]] inline V lanes(S v)
{
    V r;
    for (int k = 0; k < static_cast<int>(sizeof(V) / sizeof(S)); ++k)
        r[k] = v;
    return r;
}

// Moving histories between the record and the registers. The record keeps
// each channel's history contiguous (l[0..n], r[0..n]); the registers hold
// them lane by lane ({l[0], r[0]}, {l[1], r[1]}, ...). Four entries are one
// 16-byte load per channel and a 4x2 transpose in registers, which gives two
// vectors of two pairs each; output histories are widened or narrowed in
// those vectors, one conversion per two pairs. Seven entries are entries
// 0..3 and 3..6: the shared entry 3 is moved twice with the same value, and
// nothing outside the seven is read or written. Storing is the same in
// reverse. (Built one float at a time, the pairs are assembled on the stack,
// and each call then stalls reading back what it has just written.)

// {l[k], r[k]} for k = 0..3, as two vectors of two pairs each.
inline void load_lanes4(const float *l, const float *r, f4 &p01, f4 &p23)
{
    f4 vl, vr;
    std::memcpy(&vl, l, sizeof vl);
    std::memcpy(&vr, r, sizeof vr);
    p01 = __builtin_shufflevector(vl, vr, 0, 4, 1, 5);
    p23 = __builtin_shufflevector(vl, vr, 2, 6, 3, 7);
}

// l[k] = pairs[k][0], r[k] = pairs[k][1] for k = 0..3, from two vectors of two pairs each.
inline void store_lanes4(f4 p01, f4 p23, float *l, float *r)
{
    const f4 vl = __builtin_shufflevector(p01, p23, 0, 2, 4, 6);
    const f4 vr = __builtin_shufflevector(p01, p23, 1, 3, 5, 7);
    std::memcpy(l, &vl, sizeof vl);
    std::memcpy(r, &vr, sizeof vr);
}

inline void load_lanes4(const float *l, const float *r, f2 *pairs)
{
    f4 p01, p23;
    load_lanes4(l, r, p01, p23);
    pairs[0] = __builtin_shufflevector(p01, p01, 0, 1);
    pairs[1] = __builtin_shufflevector(p01, p01, 2, 3);
    pairs[2] = __builtin_shufflevector(p23, p23, 0, 1);
    pairs[3] = __builtin_shufflevector(p23, p23, 2, 3);
}

inline void store_lanes4(const f2 *pairs, float *l, float *r)
{
    store_lanes4(__builtin_shufflevector(pairs[0], pairs[1], 0, 1, 2, 3),
                 __builtin_shufflevector(pairs[2], pairs[3], 0, 1, 2, 3), l, r);
}

inline void load_lanes4(const float *l, const float *r, d2 *pairs)
{
    f4 p01, p23;
    load_lanes4(l, r, p01, p23);
    const d4 w01 = __builtin_convertvector(p01, d4), w23 = __builtin_convertvector(p23, d4);
    pairs[0] = __builtin_shufflevector(w01, w01, 0, 1);
    pairs[1] = __builtin_shufflevector(w01, w01, 2, 3);
    pairs[2] = __builtin_shufflevector(w23, w23, 0, 1);
    pairs[3] = __builtin_shufflevector(w23, w23, 2, 3);
}

inline void store_lanes4(const d2 *pairs, float *l, float *r)
{
    const d4 w01 = __builtin_shufflevector(pairs[0], pairs[1], 0, 1, 2, 3);
    const d4 w23 = __builtin_shufflevector(pairs[2], pairs[3], 0, 1, 2, 3);
    store_lanes4(__builtin_convertvector(w01, f4), __builtin_convertvector(w23, f4), l, r);
}

// Entries 0..n of two histories, n = 3 or 6.
template <int N, class V>
inline void load_lanes(const float *l, const float *r, V *pairs)
{
    static_assert(N == 3 || N == 6);
    load_lanes4(l, r, pairs);
    if constexpr (N == 6)
        load_lanes4(l + 3, r + 3, pairs + 3);
}

template <int N, class V>
inline void store_lanes(const V *pairs, float *l, float *r)
{
    static_assert(N == 3 || N == 6);
    store_lanes4(pairs, l, r);
    if constexpr (N == 6)
        store_lanes4(pairs + 3, l + 3, r + 3);
}

// A design's constants with each one in every lane, built at compile time:
// a product then takes its constant straight from memory.
template <int N, int W = 2>
struct WideCoeffs {
    dvec<W> g;
    dvec<W> a[N];
    dvec<W> b1, b2, b3;  // band-stop numerator weights (zero for the others)
};

template <int N>
constexpr WideCoeffs<N> wide(const IirCoeffs<N> &c, double b1 = 0, double b2 = 0, double b3 = 0)
{
    WideCoeffs<N> w{d2{c.g, c.g}, {}, d2{b1, b1}, d2{b2, b2}, d2{b3, b3}};
    for (int k = 0; k < N; ++k)
        w.a[k] = d2{c.a[k], c.a[k]};
    return w;
}

constexpr WideCoeffs<6> wide(const NotchCoeffs &c) { return wide(c.iir, c.b1, c.b2, c.b3); }

// Two designs' constants side by side: a's in lanes 0 and 1, b's in 2 and 3.
template <int N>
constexpr WideCoeffs<N, 4> side_by_side(const WideCoeffs<N> &a, const WideCoeffs<N> &b)
{
    const auto join = [](d2 x, d2 y) { return d4{x[0], x[1], y[0], y[1]}; };
    WideCoeffs<N, 4> w{join(a.g, b.g), {}, join(a.b1, b.b1), join(a.b2, b.b2), join(a.b3, b.b3)};
    for (int k = 0; k < N; ++k)
        w.a[k] = join(a.a[k], b.a[k]);
    return w;
}

// A filter's histories while it runs, in rings of R = 4 or 8 entries (the
// power of two above N), each entry W lanes. Steps are numbered by the
// caller: step n writes its entries at n mod R, each twice, at q and q + R,
// so that the N + 1 newest entries are always contiguous from (n - N) mod R,
// oldest first. A step thus writes one entry where shifting the history
// would move all of them, and filters whose step numbers follow one clock
// share the position arithmetic. The histories live in memory rather than
// registers, so many filters can run in one loop without being shuffled
// through the few registers there are.
template <int N, int W>
struct IirRings {
    static constexpr int ring = N < 4 ? 4 : 8;
    fvec<W> x[2 * ring];  // input history
    dvec<W> y[2 * ring];  // output history, widened
    dvec<W> last;         // the newest output again, for the next feedback sum without a trip through memory
};

// One filter, lane 0 left, lane 1 right.
template <int N>
using StereoIir = IirRings<N, 2>;

// The record's histories, placed so that the next step is number `next`:
// entry k at b + k, b = (next - 1 - N) mod R. Where b + N < R, steps never
// read these entries through their other copies (every window that still
// holds one of them starts at or before it in the same half), so only the
// lower copies are written; otherwise both.
template <int N>
inline void load_pair(StereoIir<N> &s, const IirSection (&pair)[2], int next)
{
    constexpr int ring = StereoIir<N>::ring;
    const int b = (next - 1 - N) & (ring - 1);
    // Entries 0..3, then (order 6) 3..6: each group of four is two vectors
    // of two pairs, stored whole; the shared entry 3 is written twice.
    for (int from = 0; from < N; from += 3) {
        f4 p01, p23;
        load_lanes4(pair[0].in_hist + from, pair[1].in_hist + from, p01, p23);
        std::memcpy(s.x + b + from, &p01, sizeof p01);
        std::memcpy(s.x + b + from + 2, &p23, sizeof p23);
        load_lanes4(pair[0].out_hist + from, pair[1].out_hist + from, p01, p23);
        const d4 w01 = __builtin_convertvector(p01, d4), w23 = __builtin_convertvector(p23, d4);
        std::memcpy(s.y + b + from, &w01, sizeof w01);
        std::memcpy(s.y + b + from + 2, &w23, sizeof w23);
    }
    if (b + N >= ring) {
        for (int k = 0; k <= N; ++k) {
            s.x[(b + k) ^ ring] = s.x[b + k];
            s.y[(b + k) ^ ring] = s.y[b + k];
        }
    }
    s.last = s.y[b + N];
}

// Back into the record after steps up to number end - 1.
template <int N>
inline void store_pair(const StereoIir<N> &s, IirSection (&pair)[2], int end)
{
    const int w = (end - 1 - N) & (StereoIir<N>::ring - 1);
    for (int from = 0; from < N; from += 3) {
        f4 p01, p23;
        std::memcpy(&p01, s.x + w + from, sizeof p01);
        std::memcpy(&p23, s.x + w + from + 2, sizeof p23);
        store_lanes4(p01, p23, pair[0].in_hist + from, pair[1].in_hist + from);
        d4 w01, w23;
        std::memcpy(&w01, s.y + w + from, sizeof w01);
        std::memcpy(&w23, s.y + w + from + 2, sizeof w23);
        store_lanes4(__builtin_convertvector(w01, f4), __builtin_convertvector(w23, f4), pair[0].out_hist + from,
                     pair[1].out_hist + from);
    }
}

// Step n takes in x[N] = float(double(in) * g), also left in `newest` (the
// numerator takes it from there rather than back from memory); returns the
// start of the window: x[start + k], y[start + k], k = 0..N, oldest first,
// with y[start + N] still to be written.
template <int N, int W>
[[gnu::always_inline]] inline int shift_in(IirRings<N, W> &s, int n, fvec<W> in, dvec<W> g, fvec<W> &newest)
{
    constexpr int ring = IirRings<N, W>::ring;
    const int q = n & (ring - 1);
    newest = narrow(widen(in) * g);
    s.x[q] = newest;
    s.x[q + ring] = newest;
    return (n - N) & (ring - 1);
}

template <int N, int W>
[[gnu::always_inline]] inline fvec<W> feedback(IirRings<N, W> &s, int n, int w, dvec<W> acc,
                                               const dvec<W> (&a)[N])
{
    constexpr int ring = IirRings<N, W>::ring;
    const dvec<W> *y = s.y + w;
    for (int k = 0; k < N - 1; ++k)
        acc = acc + a[k] * y[k];
    acc = acc + a[N - 1] * s.last;  // y[N - 1]
    const fvec<W> out = narrow(acc);
    const dvec<W> wide = widen(out);
    s.last = wide;
    const int q = n & (ring - 1);
    s.y[q] = wide;
    s.y[q + ring] = wide;
    return out;
}

// The four numerators:
//   lowpass6  (1 + z^-1)^6: (((x0 + x6) + 6(x1 + x5)) + 15(x2 + x4)) + 20 x3, in float
//   lowpass3  (1 + z^-1)^3: (x0 + x3) + 3(x1 + x2), in float
//   bandpass6 (1 - z^-2)^3: (x6 - x0) + 3(x2 - x4), in float
//   bandstop6 (1 - 2q z^-1 + z^-2)^3 with b1 = 6q: the pair sums in float,
//             then (x0 + x6) - b1 (x1 + x5) + b2 (x2 + x4) - b3 x3 in double,
//             left to right
enum class Numerator { lowpass6, lowpass3, bandpass6, bandstop6 };

constexpr int order_of(Numerator n) { return n == Numerator::lowpass3 ? 3 : 6; }

// One step of a design with numerator `Num`.
template <Numerator Num, int W>
[[gnu::always_inline]] inline fvec<W> step_once(IirRings<order_of(Num), W> &s, int n, fvec<W> in,
                                                const WideCoeffs<order_of(Num), W> &c)
{
    using F = fvec<W>;
    F xn;
    const int w = shift_in(s, n, in, c.g, xn);
    const F *x = s.x + w;
    dvec<W> num;
    if constexpr (Num == Numerator::lowpass6) {
        num = widen((((x[0] + xn) + lanes<F>(6.0f) * (x[1] + x[5])) + lanes<F>(15.0f) * (x[2] + x[4])) +
                    lanes<F>(20.0f) * x[3]);
    } else if constexpr (Num == Numerator::lowpass3) {
        num = widen((x[0] + xn) + lanes<F>(3.0f) * (x[1] + x[2]));
    } else if constexpr (Num == Numerator::bandpass6) {
        num = widen((xn - x[0]) + lanes<F>(3.0f) * (x[2] - x[4]));
    } else {
        const dvec<W> s06 = widen(x[0] + xn);
        const dvec<W> s15 = widen(x[1] + x[5]);
        const dvec<W> s24 = widen(x[2] + x[4]);
        num = s06 - c.b1 * s15 + c.b2 * s24 - c.b3 * widen(x[3]);
    }
    return feedback(s, n, w, num, c.a);
}

// The designs: a numerator, the steps per sample at rate class RC and the
// constants. k steps pass the same input to k consecutive steps, and the
// output of the last one counts; sample t takes steps k t .. k t + k - 1.
// Two-set designs run the high set once at the high class and the mid set
// once at the mid class and twice at the low class; single-set designs run
// one set 1, 2 or 4 times.
//
// The designs in both lanes (filter_kit.cpp). Defined out of line on
// purpose: seen as constants, each would be rebuilt from one double at every
// use instead of being read whole by the product that needs it.
extern const WideCoeffs<6> wide_lowpass6_high, wide_lowpass6_mid;
extern const WideCoeffs<6> wide_woofer_notch6_high, wide_woofer_notch6_mid;
extern const WideCoeffs<3> wide_bass_lowpass3_high, wide_bass_lowpass3_mid;
extern const WideCoeffs<3> wide_debass_lowpass3;
extern const WideCoeffs<6> wide_mid_bandpass6, wide_tube_bandpass6, wide_high_bandpass6;

template <Numerator Num, int Steps, bool TimesEight = false>
struct DesignShape {
    static constexpr Numerator numerator = Num;
    static constexpr int order = order_of(Num);
    static constexpr int steps = Steps;
    static constexpr bool times_eight = TimesEight;  // the output is 8 y, y stored unscaled
};

template <RateClass RC>
struct Lowpass6 : DesignShape<Numerator::lowpass6, two_set_steps(RC)> {
    static const WideCoeffs<6> &coeffs() { return RC == RateClass::high ? wide_lowpass6_high : wide_lowpass6_mid; }
};

template <RateClass RC>
struct WooferNotch6 : DesignShape<Numerator::bandstop6, two_set_steps(RC)> {
    static const WideCoeffs<6> &coeffs()
    {
        return RC == RateClass::high ? wide_woofer_notch6_high : wide_woofer_notch6_mid;
    }
};

template <RateClass RC>
struct BassLowpass3 : DesignShape<Numerator::lowpass3, two_set_steps(RC), true> {
    static const WideCoeffs<3> &coeffs()
    {
        return RC == RateClass::high ? wide_bass_lowpass3_high : wide_bass_lowpass3_mid;
    }
};

template <RateClass RC>
struct DebassLowpass3 : DesignShape<Numerator::lowpass3, single_set_steps(RC)> {
    static const WideCoeffs<3> &coeffs() { return wide_debass_lowpass3; }
};

// Band 1 mid, 2 tube, 3 high.
template <RateClass RC, int Band>
struct SpeakerBandpass6 : DesignShape<Numerator::bandpass6, single_set_steps(RC)> {
    static const WideCoeffs<6> &coeffs()
    {
        return Band == 1 ? wide_mid_bandpass6 : Band == 2 ? wide_tube_bandpass6 : wide_high_bandpass6;
    }
};

// Sample t through a design of shape D with constants c, on W lanes.
template <class D, int W>
[[gnu::always_inline]] inline fvec<W> run_design(IirRings<D::order, W> &s, int t, fvec<W> in,
                                                 const WideCoeffs<D::order, W> &c)
{
    fvec<W> y = step_once<D::numerator>(s, D::steps * t, in, c);
    for (int j = 1; j < D::steps; ++j)
        y = step_once<D::numerator>(s, D::steps * t + j, in, c);
    if constexpr (D::times_eight)
        y = lanes<fvec<W>>(8.0f) * y;
    return y;
}

template <class D>
[[gnu::always_inline]] inline f2 run_design(StereoIir<D::order> &s, int t, f2 in)
{
    return run_design<D, 2>(s, t, in, D::coeffs());
}

// FxResonator2, a two-pole resonator (poles about 0.8407 and 0.0702):
//   s = float(0.36622211371196634 x)
//   y = float(s + 0.91091669 y[-1] - 0.05901919 y[-2])      (double)
//   result = y - s                                          (float)
// A constant v settles y at about 2.4728 v and the result at about 2.1065 v.
// In an IirSection the state is in_hist[0] newest y, [1] previous y, [2] the
// one before, [3] newest s; only [1] and [2] carry from step to step.
//
// The resonator's section, lane 0 left, lane 1 right: the two carried
// outputs widened, and [0] and [3] as the last step left them.
struct StereoResonator {
    f2 last_y;  // in_hist[0]
    d2 y1, y2;  // in_hist[1], in_hist[2], widened floats
    f2 last_s;  // in_hist[3]
};

inline StereoResonator load_resonators(const IirSection (&pair)[2])
{
    f2 h[4];
    load_lanes<3>(pair[0].in_hist, pair[1].in_hist, h);
    return {h[0], widen(h[1]), widen(h[2]), h[3]};
}

inline void store_resonators(const StereoResonator &s, IirSection (&pair)[2])
{
    const f2 h[4] = {s.last_y, narrow(s.y1), narrow(s.y2), s.last_s};
    store_lanes<3>(h, pair[0].in_hist, pair[1].in_hist);
}

template <RateClass RC>
[[gnu::always_inline]] inline f2 fx_resonator2(StereoResonator &s, f2 in)
{
    const d2 x = widen(in);
    for (int k = 0; k < single_set_steps(RC); ++k) {
        s.last_s = narrow(x * splat(0.36622211371196634));
        s.last_y = narrow(widen(s.last_s) + splat(0.91091669) * s.y1 - splat(0.05901919) * s.y2);
        s.y2 = s.y1;
        s.y1 = widen(s.last_y);
    }
    return s.last_y - s.last_s;
}

// Fixed delay of 14, 7 or 3 samples on slots 0..255 of a DelayLine:
// the input goes D slots ahead of the read position, which then moves on.
template <RateClass RC>
[[gnu::always_inline]] inline float fixed_delay(DelayLine &d, float x)
{
    constexpr int delay = RC == RateClass::high ? 14 : RC == RateClass::mid ? 7 : 3;
    const int p = d.position & 0xff;
    d.slot[(p + delay) & 0xff] = x;
    const float r = d.slot[p];
    d.position = p + 1;
    return r;
}

// Calls f.template operator()<RC>() for the class of `rate`.
template <class F>
inline decltype(auto) with_rate_class(int32_t rate, F &&f)
{
    switch (rate_class(rate)) {
    case RateClass::low: return f.template operator()<RateClass::low>();
    case RateClass::mid: return f.template operator()<RateClass::mid>();
    default: return f.template operator()<RateClass::high>();
    }
}

}  // namespace korva

#endif
