// The filter kit: rate classes, settling, repeated stepping, the fixed delay,
// and every design's measured response against its documented corners.
#include "filter_kit.h"
#include "test_signals.h"

#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <functional>

using namespace korva;

namespace {

using Step = std::function<float(IirSection &, float)>;

struct Design {
    const char *name;
    Step low, mid, high;
    double dc_gain;  // settled output for a constant input, relative to it
};

std::vector<Design> designs()
{
    return {
        {"Lowpass6", lowpass6<RateClass::low>, lowpass6<RateClass::mid>, lowpass6<RateClass::high>, 1.0},
        {"WooferNotch6", woofer_notch6<RateClass::low>, woofer_notch6<RateClass::mid>,
         woofer_notch6<RateClass::high>, 1.0},
        {"BassLowpass3", bass_lowpass3<RateClass::low>, bass_lowpass3<RateClass::mid>,
         bass_lowpass3<RateClass::high>, 8.0},
        {"DeBassLowpass3", debass_lowpass3_step<RateClass::low>, debass_lowpass3_step<RateClass::mid>,
         debass_lowpass3_step<RateClass::high>, 1.0},
        {"MidBandpass6", mid_bandpass6_step<RateClass::low>, mid_bandpass6_step<RateClass::mid>,
         mid_bandpass6_step<RateClass::high>, 0.0},
        {"TubeBandpass6", tube_bandpass6_step<RateClass::low>, tube_bandpass6_step<RateClass::mid>,
         tube_bandpass6_step<RateClass::high>, 0.0},
        {"HighBandpass6", high_bandpass6_step<RateClass::low>, high_bandpass6_step<RateClass::mid>,
         high_bandpass6_step<RateClass::high>, 0.0},
        {"FxResonator2", fx_resonator2<RateClass::low>, fx_resonator2<RateClass::mid>,
         fx_resonator2<RateClass::high>, 2.4728 - 0.36622211371196634},
    };
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
            IirSection s{};
            for (int n = 0; n < 1000; ++n)
                ASSERT_EQ(step(s, 0.0f), 0.0f);
            const IirSection zero{};
            EXPECT_EQ(std::memcmp(&s, &zero, sizeof s), 0);

            float y = 0;
            for (int n = 0; n < 200000; ++n)
                y = step(s, 1000.0f);
            // Single-precision histories settle within a fraction of a percent.
            EXPECT_NEAR(y, 1000.0 * d.dc_gain, 1000.0 * std::max(d.dc_gain, 1.0) * 2e-3);
        }
    }
}

TEST(FilterKit, LowClassIsTheMidSetSteppedTwice)
{
    const auto in = test::music(3000, 5);
    IirSection low{}, twice{};
    IirSection notch_low{}, notch_twice{};
    IirSection bass_low{}, bass_twice{};
    for (size_t n = 0; n < 3000; ++n) {
        const float x = in[2 * n];
        const float a = lowpass6<RateClass::low>(low, x);
        lowpass6<RateClass::mid>(twice, x);
        const float b = lowpass6<RateClass::mid>(twice, x);
        ASSERT_EQ(a, b);
        ASSERT_EQ(woofer_notch6<RateClass::low>(notch_low, x),
                  (woofer_notch6<RateClass::mid>(notch_twice, x), woofer_notch6<RateClass::mid>(notch_twice, x)));
        ASSERT_EQ(bass_lowpass3<RateClass::low>(bass_low, x),
                  (bass_lowpass3<RateClass::mid>(bass_twice, x), bass_lowpass3<RateClass::mid>(bass_twice, x)));
    }
    EXPECT_EQ(std::memcmp(&low, &twice, sizeof low), 0);

    // Single-set designs: the low class is four high-class steps.
    IirSection four{}, one{};
    for (size_t n = 0; n < 1000; ++n) {
        const float x = in[2 * n + 1];
        float want = 0;
        for (int k = 0; k < 4; ++k)
            want = tube_bandpass6_step<RateClass::high>(one, x);
        ASSERT_EQ(tube_bandpass6_step<RateClass::low>(four, x), want);
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

// Response in dB of a design at `freq` for a step function at class RC.
template <class F>
double db(F step, double freq, double rate)
{
    IirSection s{};
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
    EXPECT_NEAR(db(lowpass6<RateClass::high>, 4255, hi), -3.0, 0.3);
    EXPECT_NEAR(db(lowpass6<RateClass::mid>, 4255, mid), -3.0, 0.3);
    EXPECT_NEAR(db(lowpass6<RateClass::high>, 500, hi), 0.0, 0.05);
    EXPECT_LT(db(lowpass6<RateClass::high>, 9000, hi), -30.0);

    // BassLowpass3: 8x (18.06 dB) at low frequencies, 3 dB down near 200 Hz.
    const double dc = 20 * std::log10(8.0);
    EXPECT_NEAR(db(bass_lowpass3<RateClass::high>, 30, hi), dc, 0.05);
    EXPECT_NEAR(db(bass_lowpass3<RateClass::high>, 200, hi) - dc, -3.0, 0.3);
    EXPECT_NEAR(db(bass_lowpass3<RateClass::mid>, 200, mid) - dc, -3.0, 0.3);
    EXPECT_NEAR(db(bass_lowpass3<RateClass::low>, 200, low) - dc, -3.0, 0.3);

    // WooferNotch6: -3 dB near 900 and 5000 Hz, a deep notch near 2150 Hz.
    EXPECT_NEAR(db(woofer_notch6<RateClass::high>, 900, hi), -3.0, 0.5);
    EXPECT_NEAR(db(woofer_notch6<RateClass::high>, 5000, hi), -3.0, 0.5);
    EXPECT_NEAR(db(woofer_notch6<RateClass::mid>, 900, mid), -3.0, 0.5);
    EXPECT_LT(db(woofer_notch6<RateClass::high>, 2150, hi), -40.0);
    EXPECT_NEAR(db(woofer_notch6<RateClass::high>, 100, hi), 0.0, 0.1);

    // Single-set designs at a 44100 Hz step rate: the high class.
    EXPECT_NEAR(db(debass_lowpass3_step<RateClass::high>, 561, hi), -3.0, 0.3);
    EXPECT_NEAR(db(mid_bandpass6_step<RateClass::high>, 1300, hi), -3.0, 0.5);
    EXPECT_NEAR(db(mid_bandpass6_step<RateClass::high>, 4300, hi), -3.0, 0.5);
    EXPECT_NEAR(db(mid_bandpass6_step<RateClass::high>, 2364, hi), 0.0, 0.3);
    EXPECT_NEAR(db(tube_bandpass6_step<RateClass::high>, 7134, hi), -3.0, 0.5);
    EXPECT_NEAR(db(tube_bandpass6_step<RateClass::high>, 8802, hi), -3.0, 0.5);
    EXPECT_NEAR(db(high_bandpass6_step<RateClass::high>, 13000, hi), -3.0, 0.6);
    EXPECT_NEAR(db(high_bandpass6_step<RateClass::high>, 18000, hi), -3.0, 0.6);

    // Stepped twice at 22050 Hz the single-set designs keep their corners in hertz.
    EXPECT_NEAR(db(debass_lowpass3_step<RateClass::mid>, 561, mid), -3.0, 0.3);
    // Near the top of the band the held input droops the response a little more.
    EXPECT_NEAR(db(tube_bandpass6_step<RateClass::mid>, 7134, mid), -3.0, 1.5);
}

TEST(FilterKit, ResonatorSettlesAtItsDocumentedGain)
{
    IirSection s{};
    float y = 0;
    for (int n = 0; n < 1000; ++n)
        y = fx_resonator2<RateClass::high>(s, 1000.0f);
    EXPECT_NEAR(s.in_hist[0], 2472.8, 0.5);  // the resonance itself
    EXPECT_NEAR(y, 2106.5, 0.5);             // the result, y - s
}

}  // namespace
