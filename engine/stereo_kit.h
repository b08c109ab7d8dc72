// The filter kit for both channels at once: the left and right histories of a
// design sit side by side in one vector register, lane 0 left, lane 1 right,
// and every operation acts on both lanes with exactly the float or double
// operation the single-channel step uses (filter_kit.h). The results are
// those of two single-channel steps, bit for bit; the processor just does the
// two channels in one instruction.
//
// A StereoIir is loaded from a pair of IirSection records at the start of a
// run of frames and stored back at its end, so the histories stay in
// registers in between. Output histories are held widened to double: every
// value is a float, widened exactly, because the feedback sum only ever uses
// them as doubles.
#ifndef KORVA_ENGINE_STEREO_KIT_H
#define KORVA_ENGINE_STEREO_KIT_H

#include "filter_kit.h"

namespace korva {

typedef float f2 __attribute__((vector_size(8)));
typedef double d2 __attribute__((vector_size(16)));

inline d2 widen(f2 v) { return __builtin_convertvector(v, d2); }
inline f2 narrow(d2 v) { return __builtin_convertvector(v, f2); }
inline f2 splat(float v) { return f2{v, v}; }
inline d2 splat(double v) { return d2{v, v}; }

template <int N>
struct StereoIir {
    f2 x[N + 1];  // input history, oldest first
    d2 y[N + 1];  // output history, oldest first, widened
};

template <int N>
inline StereoIir<N> load_pair(const IirSection (&pair)[2])
{
    StereoIir<N> s;
    for (int k = 0; k <= N; ++k) {
        s.x[k] = f2{pair[0].in_hist[k], pair[1].in_hist[k]};
        s.y[k] = d2{pair[0].out_hist[k], pair[1].out_hist[k]};
    }
    return s;
}

template <int N>
inline void store_pair(const StereoIir<N> &s, IirSection (&pair)[2])
{
    for (int k = 0; k <= N; ++k) {
        pair[0].in_hist[k] = s.x[k][0];
        pair[1].in_hist[k] = s.x[k][1];
        pair[0].out_hist[k] = static_cast<float>(s.y[k][0]);
        pair[1].out_hist[k] = static_cast<float>(s.y[k][1]);
    }
}

template <int N>
inline void shift_in(StereoIir<N> &s, f2 in, double g)
{
    for (int k = 0; k < N; ++k)
        s.x[k] = s.x[k + 1];
    s.x[N] = narrow(widen(in) * splat(g));
    for (int k = 0; k < N; ++k)
        s.y[k] = s.y[k + 1];
}

template <int N>
inline f2 feedback(StereoIir<N> &s, d2 n, const double (&a)[N])
{
    d2 acc = n;
    for (int k = 0; k < N; ++k)
        acc = acc + splat(a[k]) * s.y[k];
    const f2 out = narrow(acc);
    s.y[N] = widen(out);
    return out;
}

inline f2 lowpass6_once(StereoIir<6> &s, f2 in, const IirCoeffs<6> &c)
{
    shift_in(s, in, c.g);
    const f2 *x = s.x;
    const f2 n = (((x[0] + x[6]) + splat(6.0f) * (x[1] + x[5])) + splat(15.0f) * (x[2] + x[4])) +
                 splat(20.0f) * x[3];
    return feedback(s, widen(n), c.a);
}

inline f2 lowpass3_once(StereoIir<3> &s, f2 in, const IirCoeffs<3> &c)
{
    shift_in(s, in, c.g);
    const f2 *x = s.x;
    const f2 n = (x[0] + x[3]) + splat(3.0f) * (x[1] + x[2]);
    return feedback(s, widen(n), c.a);
}

inline f2 bandpass6_once(StereoIir<6> &s, f2 in, const IirCoeffs<6> &c)
{
    shift_in(s, in, c.g);
    const f2 *x = s.x;
    const f2 n = (x[6] - x[0]) + splat(3.0f) * (x[2] - x[4]);
    return feedback(s, widen(n), c.a);
}

inline f2 bandstop6_once(StereoIir<6> &s, f2 in, const NotchCoeffs &c)
{
    shift_in(s, in, c.iir.g);
    const f2 *x = s.x;
    const d2 s06 = widen(x[0] + x[6]);
    const d2 s15 = widen(x[1] + x[5]);
    const d2 s24 = widen(x[2] + x[4]);
    const d2 n = s06 - splat(c.b1) * s15 + splat(c.b2) * s24 - splat(c.b3) * widen(x[3]);
    return feedback(s, n, c.iir.a);
}

// Stereo forms of the designs, with the same stepping per rate class.

template <RateClass RC>
inline f2 lowpass6(StereoIir<6> &s, f2 in)
{
    if constexpr (RC == RateClass::high)
        return lowpass6_once(s, in, lowpass6_high);
    f2 y = lowpass6_once(s, in, lowpass6_mid);
    if constexpr (RC == RateClass::low)
        y = lowpass6_once(s, in, lowpass6_mid);
    return y;
}

template <RateClass RC>
inline f2 woofer_notch6(StereoIir<6> &s, f2 in)
{
    if constexpr (RC == RateClass::high)
        return bandstop6_once(s, in, woofer_notch6_high);
    f2 y = bandstop6_once(s, in, woofer_notch6_mid);
    if constexpr (RC == RateClass::low)
        y = bandstop6_once(s, in, woofer_notch6_mid);
    return y;
}

template <RateClass RC>
inline f2 bass_lowpass3(StereoIir<3> &s, f2 in)
{
    f2 y;
    if constexpr (RC == RateClass::high) {
        y = lowpass3_once(s, in, bass_lowpass3_high);
    } else {
        y = lowpass3_once(s, in, bass_lowpass3_mid);
        if constexpr (RC == RateClass::low)
            y = lowpass3_once(s, in, bass_lowpass3_mid);
    }
    return splat(8.0f) * y;
}

template <RateClass RC>
inline f2 debass_lowpass3_step(StereoIir<3> &s, f2 in)
{
    f2 y = lowpass3_once(s, in, debass_lowpass3);
    for (int k = 1; k < single_set_steps(RC); ++k)
        y = lowpass3_once(s, in, debass_lowpass3);
    return y;
}

template <RateClass RC>
inline f2 bandpass6(StereoIir<6> &s, f2 in, const IirCoeffs<6> &c)
{
    f2 y = bandpass6_once(s, in, c);
    for (int k = 1; k < single_set_steps(RC); ++k)
        y = bandpass6_once(s, in, c);
    return y;
}

// The resonator's two carried outputs, [1] and [2] of each section's state.
struct StereoResonator {
    d2 y1, y2;  // widened floats
};

inline StereoResonator load_resonators(const IirSection (&pair)[2])
{
    return {d2{pair[0].in_hist[1], pair[1].in_hist[1]}, d2{pair[0].in_hist[2], pair[1].in_hist[2]}};
}

// Stores the carried outputs back, and [0] and [3] as the last step left them.
inline void store_resonators(const StereoResonator &s, f2 last_y, f2 last_s, IirSection (&pair)[2])
{
    for (int c = 0; c < 2; ++c) {
        pair[c].in_hist[0] = last_y[c];
        pair[c].in_hist[1] = static_cast<float>(s.y1[c]);
        pair[c].in_hist[2] = static_cast<float>(s.y2[c]);
        pair[c].in_hist[3] = last_s[c];
    }
}

template <RateClass RC>
inline f2 fx_resonator2(StereoResonator &s, f2 in, f2 &last_y, f2 &last_s)
{
    const d2 x = widen(in);
    for (int k = 0; k < single_set_steps(RC); ++k) {
        last_s = narrow(x * splat(0.36622211371196634));
        last_y = narrow(widen(last_s) + splat(0.91091669) * s.y1 - splat(0.05901919) * s.y2);
        s.y2 = s.y1;
        s.y1 = widen(last_y);
    }
    return last_y - last_s;
}

}  // namespace korva

#endif
