// The filter kit: eight fixed recursive designs and one short fixed delay.
//
// Nothing is designed at run time. A design is its constants: one coefficient
// set per rate class, or one set stepped 1, 2 or 4 times per sample so that
// its corners stay put in hertz. State lives in IirSection / DelayLine records
// inside the engine; every step is straight-line arithmetic whose order of
// float and double operations is part of the result and must not change.
#ifndef KORVA_ENGINE_FILTER_KIT_H
#define KORVA_ENGINE_FILTER_KIT_H

#include "korva.h"

#include <cstdint>

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

// Shifts both histories down by one, stores the scaled input as the newest
// input and returns nothing; the caller forms the numerator next.
template <int N>
inline void iir_shift_in(IirSection &s, float x, double g)
{
    for (int k = 0; k < N; ++k)
        s.in_hist[k] = s.in_hist[k + 1];
    s.in_hist[N] = static_cast<float>(static_cast<double>(x) * g);
    for (int k = 0; k < N; ++k)
        s.out_hist[k] = s.out_hist[k + 1];
}

// y[N] = n + a0*y[0] + ... + a(N-1)*y[N-1], in double, oldest first, rounded once.
template <int N>
inline float iir_feedback(IirSection &s, double n, const double (&a)[N])
{
    double acc = n;
    for (int k = 0; k < N; ++k)
        acc = acc + a[k] * static_cast<double>(s.out_hist[k]);
    s.out_hist[N] = static_cast<float>(acc);
    return s.out_hist[N];
}

// Numerator (1 + z^-1)^6: (((x0 + x6) + 6(x1 + x5)) + 15(x2 + x4)) + 20 x3, in float.
inline float binomial6(const float *x)
{
    return (((x[0] + x[6]) + 6.0f * (x[1] + x[5])) + 15.0f * (x[2] + x[4])) + 20.0f * x[3];
}

// Numerator (1 + z^-1)^3: (x0 + x3) + 3(x1 + x2), in float.
inline float binomial3(const float *x)
{
    return (x[0] + x[3]) + 3.0f * (x[1] + x[2]);
}

// Numerator (1 - z^-2)^3: (x6 - x0) + 3(x2 - x4), in float.
inline float bandpass6(const float *x)
{
    return (x[6] - x[0]) + 3.0f * (x[2] - x[4]);
}

// Numerator (1 - 2q z^-1 + z^-2)^3: pair sums in float, weighted sum in double.
inline double bandstop6(const float *x, const NotchCoeffs &c)
{
    const float s06 = x[0] + x[6];
    const float s15 = x[1] + x[5];
    const float s24 = x[2] + x[4];
    return static_cast<double>(s06) - c.b1 * static_cast<double>(s15) +
           c.b2 * static_cast<double>(s24) - c.b3 * static_cast<double>(x[3]);
}

inline float lowpass6_once(IirSection &s, float x, const IirCoeffs<6> &c)
{
    iir_shift_in<6>(s, x, c.g);
    return iir_feedback<6>(s, static_cast<double>(binomial6(s.in_hist)), c.a);
}

inline float lowpass3_once(IirSection &s, float x, const IirCoeffs<3> &c)
{
    iir_shift_in<3>(s, x, c.g);
    return iir_feedback<3>(s, static_cast<double>(binomial3(s.in_hist)), c.a);
}

inline float bandpass6_once(IirSection &s, float x, const IirCoeffs<6> &c)
{
    iir_shift_in<6>(s, x, c.g);
    return iir_feedback<6>(s, static_cast<double>(bandpass6(s.in_hist)), c.a);
}

inline float bandstop6_once(IirSection &s, float x, const NotchCoeffs &c)
{
    iir_shift_in<6>(s, x, c.iir.g);
    return iir_feedback<6>(s, bandstop6(s.in_hist, c), c.iir.a);
}

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

// --- Designs by rate class ---------------------------------------------------
// k steps pass the same input to k consecutive steps; the last output counts.

template <RateClass RC>
inline float lowpass6(IirSection &s, float x)
{
    if constexpr (RC == RateClass::high)
        return lowpass6_once(s, x, lowpass6_high);
    float y = lowpass6_once(s, x, lowpass6_mid);
    if constexpr (RC == RateClass::low)
        y = lowpass6_once(s, x, lowpass6_mid);
    return y;
}

template <RateClass RC>
inline float woofer_notch6(IirSection &s, float x)
{
    if constexpr (RC == RateClass::high)
        return bandstop6_once(s, x, woofer_notch6_high);
    float y = bandstop6_once(s, x, woofer_notch6_mid);
    if constexpr (RC == RateClass::low)
        y = bandstop6_once(s, x, woofer_notch6_mid);
    return y;
}

// Includes the output factor: the result is 8 * y, y stored unscaled.
template <RateClass RC>
inline float bass_lowpass3(IirSection &s, float x)
{
    float y;
    if constexpr (RC == RateClass::high) {
        y = lowpass3_once(s, x, bass_lowpass3_high);
    } else {
        y = lowpass3_once(s, x, bass_lowpass3_mid);
        if constexpr (RC == RateClass::low)
            y = lowpass3_once(s, x, bass_lowpass3_mid);
    }
    return 8.0f * y;
}

template <RateClass RC, float (*Once)(IirSection &, float, const IirCoeffs<6> &)>
inline float single_set6(IirSection &s, float x, const IirCoeffs<6> &c)
{
    float y = Once(s, x, c);
    for (int k = 1; k < single_set_steps(RC); ++k)
        y = Once(s, x, c);
    return y;
}

template <RateClass RC>
inline float debass_lowpass3_step(IirSection &s, float x)
{
    float y = lowpass3_once(s, x, debass_lowpass3);
    for (int k = 1; k < single_set_steps(RC); ++k)
        y = lowpass3_once(s, x, debass_lowpass3);
    return y;
}

template <RateClass RC>
inline float mid_bandpass6_step(IirSection &s, float x)
{
    return single_set6<RC, bandpass6_once>(s, x, mid_bandpass6);
}

template <RateClass RC>
inline float tube_bandpass6_step(IirSection &s, float x)
{
    return single_set6<RC, bandpass6_once>(s, x, tube_bandpass6);
}

template <RateClass RC>
inline float high_bandpass6_step(IirSection &s, float x)
{
    return single_set6<RC, bandpass6_once>(s, x, high_bandpass6);
}

// Two-pole resonator. State: in_hist[0] newest output, [1] previous output,
// [2] the one before, [3] newest scaled input; only [1] and [2] carry over.
//   s = 0.36622211371196634 x
//   y = s + 0.91091669 y[-1] - 0.05901919 y[-2]     (poles ~0.8407, ~0.0702)
//   result = y - s
inline float fx_resonator2_once(IirSection &st, float x)
{
    float *h = st.in_hist;
    const float s = static_cast<float>(static_cast<double>(x) * 0.36622211371196634);
    h[3] = s;
    const float y = static_cast<float>(static_cast<double>(s) + 0.91091669 * static_cast<double>(h[1]) -
                                       0.05901919 * static_cast<double>(h[2]));
    h[0] = y;
    h[2] = h[1];
    h[1] = h[0];
    return y - s;
}

template <RateClass RC>
inline float fx_resonator2(IirSection &s, float x)
{
    float y = fx_resonator2_once(s, x);
    for (int k = 1; k < single_set_steps(RC); ++k)
        y = fx_resonator2_once(s, x);
    return y;
}

// Fixed delay of 14, 7 or 3 samples on slots 0..255 of a DelayLine:
// the input goes D slots ahead of the read position, which then moves on.
template <RateClass RC>
inline float fixed_delay(DelayLine &d, float x)
{
    constexpr int delay = RC == RateClass::high ? 14 : RC == RateClass::mid ? 7 : 3;
    const int p = d.position & 0xff;
    d.slot[(p + delay) & 0xff] = x;
    const float r = d.slot[p];
    d.position = p + 1;
    return r;
}

// Runs fn(left, right) on local copies of a left/right pair of sections and
// stores them back: a local history can stay in registers over a run of frames.
template <class Fn>
inline void with_local_pair(IirSection (&pair)[2], Fn fn)
{
    IirSection left = pair[0], right = pair[1];
    fn(left, right);
    pair[0] = left;
    pair[1] = right;
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
