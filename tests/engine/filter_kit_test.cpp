// The filter kit: rate classes, settling, repeated stepping, the fixed delay,
// and every design's measured response against its documented corners.
#include "engine/filter_kit.h"
#include "test_signals.h"

#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <functional>

using namespace korva;

namespace {

// One step of a design on a left/right pair of records, fed x on the left and
// 0 - x on the right. Float and double arithmetic is symmetric in sign, so the
// right lane must come out as the exact negation of the left: a check that
// the two channels never mix.
using Step = std::function<float(IirSection (&)[2], float)>;

// K: steps of the design per sample.
template <int N, int K, class F>
Step stereo(F step)
{
    return [step](IirSection (&pair)[2], float x) {
        StereoIir<N> s;
        load_pair<N>(s, pair, 0);
        const f2 y = step(s, f2{x, 0.0f - x});
        store_pair(s, pair, K);
        EXPECT_EQ(y[1], 0.0f - y[0]);
        return y[0];
    };
}

template <RateClass RC>
Step resonator()
{
    return [](IirSection (&pair)[2], float x) {
        StereoResonator s = load_resonators(pair);
        const f2 y = fx_resonator2<RC>(s, f2{x, 0.0f - x});
        store_resonators(s, pair);
        EXPECT_EQ(y[1], 0.0f - y[0]);
        return y[0];
    };
}

struct Design {
    const char *name;
    Step low, mid, high;
    double dc_gain;  // settled output for a constant input, relative to it
};

template <template <RateClass> class D>
Design make(const char *name, double dc)
{
    return {name, D<RateClass::low>::step(), D<RateClass::mid>::step(), D<RateClass::high>::step(), dc};
}

template <RateClass RC> struct Lp6 { static Step step() { return stereo<6, two_set_steps(RC)>([](StereoIir<6> &s, f2 x) { return run_design<Lowpass6<RC>>(s, 0, x); }); } };
template <RateClass RC> struct Notch6 { static Step step() { return stereo<6, two_set_steps(RC)>([](StereoIir<6> &s, f2 x) { return run_design<WooferNotch6<RC>>(s, 0, x); }); } };
template <RateClass RC> struct Bass3 { static Step step() { return stereo<3, two_set_steps(RC)>([](StereoIir<3> &s, f2 x) { return run_design<BassLowpass3<RC>>(s, 0, x); }); } };
template <RateClass RC> struct DeBass3 { static Step step() { return stereo<3, single_set_steps(RC)>([](StereoIir<3> &s, f2 x) { return run_design<DebassLowpass3<RC>>(s, 0, x); }); } };
template <RateClass RC> struct Mid6 { static Step step() { return stereo<6, single_set_steps(RC)>([](StereoIir<6> &s, f2 x) { return run_design<SpeakerBandpass6<RC, 1>>(s, 0, x); }); } };
template <RateClass RC> struct Tube6 { static Step step() { return stereo<6, single_set_steps(RC)>([](StereoIir<6> &s, f2 x) { return run_design<SpeakerBandpass6<RC, 2>>(s, 0, x); }); } };
template <RateClass RC> struct High6 { static Step step() { return stereo<6, single_set_steps(RC)>([](StereoIir<6> &s, f2 x) { return run_design<SpeakerBandpass6<RC, 3>>(s, 0, x); }); } };
template <RateClass RC> struct Res2 { static Step step() { return resonator<RC>(); } };

std::vector<Design> designs()
{
    return {make<Lp6>("Lowpass6", 1.0),          make<Notch6>("WooferNotch6", 1.0),
            make<Bass3>("BassLowpass3", 8.0),     make<DeBass3>("DeBassLowpass3", 1.0),
            make<Mid6>("MidBandpass6", 0.0),      make<Tube6>("TubeBandpass6", 0.0),
            make<High6>("HighBandpass6", 0.0),    make<Res2>("FxResonator2", 2.4728 - 0.36622211371196634)};
}

TEST(FilterKit, RateClassBoundaries)
{
    EXPECT_EQ(rate_class(14999), RateClass::low);
    EXPECT_EQ(rate_class(15000), RateClass::mid);
    EXPECT_EQ(rate_class(31999), RateClass::mid);
    EXPECT_EQ(rate_class(32000), RateClass::high);
    EXPECT_EQ(rate_class(0), RateClass::low);
    EXPECT_EQ(rate_class(-44100), RateClass::low);
    EXPECT_EQ(rate_class(192000), RateClass::high);
}

TEST(FilterKit, ZeroInZeroOutAndConstantsSettle)
{
    for (const Design &d : designs()) {
        for (const Step &step : {d.low, d.mid, d.high}) {
            SCOPED_TRACE(d.name);
            IirSection s[2] = {};
            for (int n = 0; n < 1000; ++n)
                ASSERT_EQ(step(s, 0.0f), 0.0f);
            const IirSection zero[2] = {};
            EXPECT_EQ(std::memcmp(s, zero, sizeof s), 0);

            float y = 0;
            for (int n = 0; n < 200000; ++n)
                y = step(s, 1000.0f);
            // Single-precision histories settle within a fraction of a percent.
            EXPECT_NEAR(y, 1000.0 * d.dc_gain, 1000.0 * std::max(d.dc_gain, 1.0) * 2e-3);
        }
    }
}

TEST(FilterKit, LowClassRepeatsTheStepsOfTheHigherClasses)
{
    // Two-set designs: the low class is the mid set stepped twice; single-set
    // designs: the low class is four high-class steps. Same outputs, same state.
    struct Pair {
        Step low, twice;
        int repeat;
    };
    const Pair pairs[] = {{Lp6<RateClass::low>::step(), Lp6<RateClass::mid>::step(), 2},
                          {Notch6<RateClass::low>::step(), Notch6<RateClass::mid>::step(), 2},
                          {Bass3<RateClass::low>::step(), Bass3<RateClass::mid>::step(), 2},
                          {Tube6<RateClass::low>::step(), Tube6<RateClass::high>::step(), 4},
                          {DeBass3<RateClass::mid>::step(), DeBass3<RateClass::high>::step(), 2},
                          {Res2<RateClass::low>::step(), Res2<RateClass::high>::step(), 4}};
    const auto in = test::music(3000, 5);
    for (const Pair &p : pairs) {
        IirSection a[2] = {}, b[2] = {};
        for (size_t n = 0; n < 3000; ++n) {
            const float x = in[2 * n];
            float want = 0;
            for (int k = 0; k < p.repeat; ++k)
                want = p.twice(b, x);
            ASSERT_EQ(p.low(a, x), want);
        }
        EXPECT_EQ(std::memcmp(a, b, sizeof a), 0);
    }
}

TEST(FilterKit, FixedDelayLine)
{
    DelayLine d{};
    for (int n = 0; n < 14; ++n)
        EXPECT_EQ(fixed_delay<RateClass::high>(d, 100.0f + n), 0.0f);
    for (int n = 14; n < 600; ++n)
        ASSERT_EQ(fixed_delay<RateClass::high>(d, 100.0f + n), 100.0f + (n - 14)) << n;
    EXPECT_EQ(d.position, 600 % 256);

    DelayLine wrap{};
    wrap.position = 256;  // left by a previous call
    wrap.slot[0] = 42.0f;
    EXPECT_EQ(fixed_delay<RateClass::low>(wrap, 1.0f), 42.0f);
    EXPECT_EQ(wrap.position, 1);
    EXPECT_EQ(wrap.slot[3], 1.0f);

    DelayLine mid{};
    for (int n = 0; n < 7; ++n)
        EXPECT_EQ(fixed_delay<RateClass::mid>(mid, 5.0f), 0.0f);
    EXPECT_EQ(fixed_delay<RateClass::mid>(mid, 5.0f), 5.0f);
    for (int s = 256; s < KORVA_DELAY_SLOTS; ++s)
        ASSERT_EQ(mid.slot[s], 0.0f) << "the fixed delay uses slots 0..255 only";
}

// Response in dB of a design at `freq` for a step rate `rate`.
template <template <RateClass> class D, RateClass RC>
double db(double freq, double rate)
{
    IirSection s[2] = {};
    const Step step = D<RC>::step();
    return test::response_db([&](float x) { return step(s, x); }, freq, rate);
}

struct Corner {
    const char *what;
    double db_at_corner;
};

TEST(FilterKit, MeasuredResponsesMatchTheDocumentedCorners)
{
    const double hi = 44100, mid = 22050, low = 11025;
    // Lowpass6: -3 dB near 4255 Hz at both set's own rates, unity well below.
    EXPECT_NEAR((db<Lp6, RateClass::high>(4255, hi)), -3.0, 0.3);
    EXPECT_NEAR((db<Lp6, RateClass::mid>(4255, mid)), -3.0, 0.3);
    EXPECT_NEAR((db<Lp6, RateClass::high>(500, hi)), 0.0, 0.05);
    EXPECT_LT((db<Lp6, RateClass::high>(9000, hi)), -30.0);

    // BassLowpass3: 8x (18.06 dB) at low frequencies, 3 dB down near 200 Hz.
    const double dc = 20 * std::log10(8.0);
    EXPECT_NEAR((db<Bass3, RateClass::high>(30, hi)), dc, 0.05);
    EXPECT_NEAR((db<Bass3, RateClass::high>(200, hi)) - dc, -3.0, 0.3);
    EXPECT_NEAR((db<Bass3, RateClass::mid>(200, mid)) - dc, -3.0, 0.3);
    EXPECT_NEAR((db<Bass3, RateClass::low>(200, low)) - dc, -3.0, 0.3);

    // WooferNotch6: -3 dB near 900 and 5000 Hz, a deep notch near 2150 Hz.
    EXPECT_NEAR((db<Notch6, RateClass::high>(900, hi)), -3.0, 0.5);
    EXPECT_NEAR((db<Notch6, RateClass::high>(5000, hi)), -3.0, 0.5);
    EXPECT_NEAR((db<Notch6, RateClass::mid>(900, mid)), -3.0, 0.5);
    EXPECT_LT((db<Notch6, RateClass::high>(2150, hi)), -40.0);
    EXPECT_NEAR((db<Notch6, RateClass::high>(100, hi)), 0.0, 0.1);

    // Single-set designs at a 44100 Hz step rate: the high class.
    EXPECT_NEAR((db<DeBass3, RateClass::high>(561, hi)), -3.0, 0.3);
    EXPECT_NEAR((db<Mid6, RateClass::high>(1300, hi)), -3.0, 0.5);
    EXPECT_NEAR((db<Mid6, RateClass::high>(4300, hi)), -3.0, 0.5);
    EXPECT_NEAR((db<Mid6, RateClass::high>(2364, hi)), 0.0, 0.3);
    EXPECT_NEAR((db<Tube6, RateClass::high>(7134, hi)), -3.0, 0.5);
    EXPECT_NEAR((db<Tube6, RateClass::high>(8802, hi)), -3.0, 0.5);
    EXPECT_NEAR((db<High6, RateClass::high>(13000, hi)), -3.0, 0.6);
    EXPECT_NEAR((db<High6, RateClass::high>(18000, hi)), -3.0, 0.6);

    // Stepped twice at 22050 Hz the single-set designs keep their corners in hertz.
    EXPECT_NEAR((db<DeBass3, RateClass::mid>(561, mid)), -3.0, 0.3);
    // Near the top of the band the held input droops the response a little more.
    EXPECT_NEAR((db<Tube6, RateClass::mid>(7134, mid)), -3.0, 1.5);
}

TEST(FilterKit, ResonatorSettlesAtItsDocumentedGain)
{
    IirSection s[2] = {};
    const Step step = Res2<RateClass::high>::step();
    float y = 0;
    for (int n = 0; n < 1000; ++n)
        y = step(s, 1000.0f);
    EXPECT_NEAR(s[0].in_hist[0], 2472.8, 0.5);  // the resonance itself
    EXPECT_NEAR(y, 2106.5, 0.5);                // the result, y - s
    EXPECT_EQ(s[0].in_hist[3], static_cast<float>(1000.0 * 0.36622211371196634));
}

}  // namespace
