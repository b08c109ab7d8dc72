// Every stage against the figures it is documented to produce.
#include "engine/korva.h"
#include "test_signals.h"
#include "tests/support/field_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

using test::settle;

// A bare engine with the listed fields set.
test::EnginePtr bare_with(std::initializer_list<korva_test::FieldValue> fields)
{
    auto e = test::make_bare_engine();
    e->params = korva_test::with_fields(e->params, fields);
    return e;
}

// Whether `stage` at 44.1 kHz, fed a constant (left, right) for `frames`
// frames, settles within `tolerance` of (want_l, want_r).
::testing::AssertionResult settles_near(test::StageFn stage, KorvaEngine *e, float left, float right, int frames,
                                        double want_l, double want_r, double tolerance)
{
    auto [l, r] = settle(stage, e, 44100, left, right, frames);
    if (std::fabs(l - want_l) <= tolerance && std::fabs(r - want_r) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "settled at (" << l << ", " << r << "), want (" << want_l << ", "
                                         << want_r << ") within " << tolerance;
}

TEST(BassStages, DBoostCurve)
{
    EXPECT_EQ(dBoost(0.0f), 0.0f);
    EXPECT_EQ(dBoost(16384.0f), 24576.0f);
    EXPECT_EQ(dBoost(-16384.0f), -24576.0f);
    EXPECT_EQ(dBoost(16385.0f), 24576.5f);
    EXPECT_EQ(dBoost(-16385.0f), -24576.5f);
    EXPECT_EQ(dBoost(10000.0f), 15000.0f);
    EXPECT_EQ(dBoost(20000.0f), 26384.0f);
    EXPECT_EQ(dBoost(dBoost(20000.0f)), 29576.0f);
    EXPECT_TRUE(std::isnan(dBoost(NAN)));
}

TEST(BassStages, ZeroAmountsLeaveSamplesAndStateAlone)
{
    auto e = bare_with({{&KorvaParams::enable_global, 1}});
    const auto in = test::music(2000, 2);
    std::vector<int16_t> out(in.size());
    korva_process(e.get(), in.data(), out.data(), 2000);
    EXPECT_EQ(out, in);
    const IirSection zero{};
    EXPECT_EQ(std::memcmp(&e->dewoofer_notch[0], &zero, sizeof zero), 0);
    EXPECT_EQ(std::memcmp(&e->fidelity_lp[1], &zero, sizeof zero), 0);
}

TEST(BassStages, SuperBassAddsFourTimesTheGainBelowItsCorner)
{
    auto e = bare_with({{&KorvaParams::superbass, 256}});
    EXPECT_TRUE(settles_near(korva_superbass, e.get(), 100.0f, 100.0f, 200000, 500.0f, 500.0f, 1.0f));

    // Through the frame loop the settled 16-bit output is 499 (single-precision
    // histories settle a little below the exact 500).
    auto f = bare_with({{&KorvaParams::enable_global, 1}, {&KorvaParams::superbass, 256}});
    auto in = test::constant(100000, 100, 100);
    std::vector<int16_t> out(in.size());
    korva_process(f.get(), in.data(), out.data(), 100000);
    EXPECT_NEAR(out[out.size() - 2], 500, 1);
    EXPECT_EQ(out[out.size() - 2], out.back());
}

double tone_amplitude_after(KorvaEngine *e, test::StageFn stage, double freq, int rate)
{
    double peak = 0;
    for (int n = 0; n < rate; ++n) {
        float l = static_cast<float>(8000 * std::sin(2 * std::numbers::pi * freq * n / rate));
        float r = l;
        stage(e, rate, &l, &r);
        if (n > rate / 2)
            peak = std::max(peak, static_cast<double>(std::fabs(l)));
    }
    return peak;
}

TEST(BassStages, DeWooferRemovesItsBandAndPassesConstants)
{
    auto e = bare_with({{&KorvaParams::dewoofer, 256}});
    EXPECT_TRUE(settles_near(korva_dewoofer, e.get(), 1234.0f, -77.0f, 20000, 1234.0f, -77.0f, 0.2f));

    auto tone = bare_with({{&KorvaParams::dewoofer, 256}});
    EXPECT_LT(tone_amplitude_after(tone.get(), korva_dewoofer, 2150, 44100), 8000 * 0.01);
    auto low = bare_with({{&KorvaParams::dewoofer, 256}});
    EXPECT_GT(tone_amplitude_after(low.get(), korva_dewoofer, 100, 44100), 8000 * 0.98);
}

TEST(BassStages, FidelityPassesConstantsAndBoostsHighs)
{
    auto e = bare_with({{&KorvaParams::fidelity, 256}});
    EXPECT_TRUE(settles_near(korva_fidelity, e.get(), 3000.0f, -3000.0f, 20000, 3000.0f, -3000.0f, 0.01f));
    // Well above the corner h is nearly the whole signal, and 1.25 G h is added.
    auto h = bare_with({{&KorvaParams::fidelity, 256}});
    const double a = tone_amplitude_after(h.get(), korva_fidelity, 12000, 44100);
    EXPECT_NEAR(a / 8000, 2.25, 0.05);
}

TEST(Surround3D, SettledLevelsByModeDepthAndBass)
{
    struct Case {
        int16_t mode;
        int32_t depth, bass;
        float l, r, want_l, want_r;
    };
    const Case cases[] = {
        {1, 256, 256, 1000, 1000, 1000, 1000},
        {1, 256, 256, 1000, -1000, 2500, -2500},
        {2, 256, 256, 1000, -1000, 6250, -6250},
        {1, 256, 0, 1000, 1000, 250, 250},
    };
    for (const Case &c : cases) {
        auto e = test::make_bare_engine();
        e->params._3dsurround_mode = c.mode;
        e->params._3dsurround_depth = c.depth;
        e->params._3dsurround_bass = c.bass;
        auto [l, r] = settle(korva_3dsurround, e.get(), 44100, c.l, c.r, 20000);
        EXPECT_NEAR(l, c.want_l, std::fabs(c.want_l) * 2e-3) << "mode " << c.mode << " bass " << c.bass;
        EXPECT_NEAR(r, c.want_r, std::fabs(c.want_r) * 2e-3) << "mode " << c.mode << " bass " << c.bass;
    }
}

// Frame at which an impulse on the left comes out on the left, with no depth.
int surround_delay_frames(int rate, int16_t mode)
{
    auto e = test::make_bare_engine();
    e->params._3dsurround_mode = mode;
    e->params._3dsurround_depth = 0;
    for (int n = 0; n < 100; ++n) {
        float l = n == 0 ? 10000.0f : 0.0f, r = 0.0f;
        korva_3dsurround(e.get(), rate, &l, &r);
        if (std::fabs(l) > 9999.0f)
            return n;
    }
    return -1;
}

TEST(Surround3D, NoDepthIsAPureDelayPerPass)
{
    EXPECT_EQ(surround_delay_frames(44100, 1), 14);
    EXPECT_EQ(surround_delay_frames(22050, 1), 7);
    EXPECT_EQ(surround_delay_frames(11025, 1), 3);
    EXPECT_EQ(surround_delay_frames(44100, 3), 42);
}

TEST(Surround3D, ModesOffAndOutOfRange)
{
    for (int16_t mode : {0, -1, -32768}) {
        auto e = test::make_bare_engine();
        e->params._3dsurround_mode = mode;
        float l = 123.0f, r = -45.0f;
        korva_3dsurround(e.get(), 44100, &l, &r);
        EXPECT_EQ(l, 123.0f);
        EXPECT_EQ(r, -45.0f);
        EXPECT_EQ(e->surround_delay[0][0].position, 0);
    }
    // A mode above four runs exactly four passes, like mode 4.
    auto four = test::make_bare_engine();
    auto many = test::make_bare_engine();
    four->params._3dsurround_mode = 4;
    many->params._3dsurround_mode = 32000;
    const auto in = test::music(500, 9);
    for (size_t n = 0; n < 500; ++n) {
        float l1 = in[2 * n], r1 = in[2 * n + 1], l2 = l1, r2 = r1;
        korva_3dsurround(four.get(), 44100, &l1, &r1);
        korva_3dsurround(many.get(), 44100, &l2, &r2);
        ASSERT_EQ(l1, l2);
        ASSERT_EQ(r1, r2);
    }
    const size_t state = offsetof(KorvaEngine, surround_lp);
    EXPECT_EQ(std::memcmp(reinterpret_cast<char *>(four.get()) + state, reinterpret_cast<char *>(many.get()) + state,
                          sizeof(KorvaEngine) - state),
              0);
}

}  // namespace

namespace {

TEST(VirtualSubwoofer, RingPositionsAndFirstWrite)
{
    auto e = bare_with({{&KorvaParams::vs_intensity, 256}});
    float l = 1000.0f, r = 1000.0f;
    korva_vs(e.get(), 44100, &l, &r);
    EXPECT_EQ(e->vs_ring[0].position, 1);
    EXPECT_EQ(e->vs_ring[1].position, 1);
    EXPECT_NE(e->vs_ring[1].slot[2048], 0.0f);
    EXPECT_LT(e->vs_ring[0].slot[2048], 0.0f);  // ring A carries the inverted right

    auto w = bare_with({{&KorvaParams::vs_intensity, 256}});
    w->vs_ring[0].position = w->vs_ring[1].position = 4095;
    korva_vs(w.get(), 44100, &l, &r);
    EXPECT_EQ(w->vs_ring[0].position, 0);
    EXPECT_NE(w->vs_ring[1].slot[(4095 + 2048) % 4096], 0.0f);

    auto slow = bare_with({{&KorvaParams::vs_intensity, 256}});
    korva_vs(slow.get(), 11025, &l, &r);
    EXPECT_NE(slow->vs_ring[1].slot[512], 0.0f);
}

TEST(VirtualSubwoofer, OffLeavesEverythingAlone)
{
    for (auto [mode, intensity] : {std::pair{0, 86}, std::pair{1, 0}}) {
        auto e = test::make_bare_engine();
        e->params.vs_mode = static_cast<int16_t>(mode);
        e->params.vs_intensity = intensity;
        float l = 55.0f, r = -66.0f;
        korva_vs(e.get(), 44100, &l, &r);
        EXPECT_EQ(l, 55.0f);
        EXPECT_EQ(r, -66.0f);
        EXPECT_EQ(e->vs_ring[0].position, 0);
    }
}

TEST(VirtualSubwoofer, EchoesSettle)
{
    // Go = 0.5, Gi = 1: eL -> 3.2 v, eR -> 9.6 v, outputs 2.6 v and 5.8 v.
    auto e = bare_with({{&KorvaParams::vs_overdrive, 128}, {&KorvaParams::vs_intensity, 256}});
    EXPECT_TRUE(settles_near(korva_vs, e.get(), 100.0f, 100.0f, 400000, 260.1f, 579.6f, 1.0f));

    // Go at its 1e-15 floor: 5 v on both.
    auto g = bare_with({{&KorvaParams::vs_overdrive, 0}, {&KorvaParams::vs_intensity, 256}});
    EXPECT_TRUE(settles_near(korva_vs, g.get(), 100.0f, 100.0f, 100000, 500.0f, 500.0f, 1.0f));

    // During the first S frames nothing comes back from the rings.
    auto first = bare_with({{&KorvaParams::vs_intensity, 256}});
    for (int n = 0; n < 2048; ++n) {
        float a = 100.0f, b = 100.0f;
        korva_vs(first.get(), 44100, &a, &b);
        ASSERT_EQ(a, b) << "frame " << n;
    }
}

// Left and right outputs of extSpace for an impulse on one channel.
std::vector<std::pair<int, float>> extspace_taps(int rate, int16_t mode, bool right_channel)
{
    auto e = test::make_bare_engine();
    e->params.extspace_mode = mode;
    std::vector<std::pair<int, float>> taps;
    for (int n = 0; n < 4096; ++n) {
        float l = 0.0f, r = 0.0f;
        if (n == 0)
            (right_channel ? r : l) = 1000.0f;
        korva_extspace(e.get(), rate, &l, &r);
        const float out = right_channel ? r : l;
        const float other = right_channel ? l : r;
        EXPECT_EQ(other, 0.0f) << "frame " << n;
        if (out != 0.0f)
            taps.emplace_back(n, out);
    }
    return taps;
}

TEST(ExtSpace, ActiveImpulseTapsAtEveryRateClass)
{
    const double g = 0.7267015;
    const double left_gain[] = {-0.75, 1, 0.5, 0.25, 0.125, 0.0625};
    const double right_gain[] = {-0.75, -1, 0.5, -0.25, 0.125, -0.0625};
    for (auto [rate, d1] : {std::pair{44100, 172}, std::pair{22050, 86}, std::pair{11025, 43}}) {
        for (bool right : {false, true}) {
            const auto taps = extspace_taps(rate, 1, right);
            ASSERT_EQ(taps.size(), 6u) << rate;
            for (int k = 0; k < 6; ++k) {
                EXPECT_EQ(taps[k].first, k * d1) << rate;
                EXPECT_NEAR(taps[k].second, g * 1000 * (right ? right_gain[k] : left_gain[k]), 1e-3) << rate;
            }
        }
    }
}

TEST(ExtSpace, WideModeAndConstants)
{
    const auto left = extspace_taps(48000, 2, false);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[1].first, 172);
    EXPECT_NEAR(left[0].second, 707.4413, 1e-3);
    EXPECT_NEAR(left[1].second, 707.4413, 1e-3);
    const auto right = extspace_taps(48000, 2, true);
    ASSERT_EQ(right.size(), 2u);
    EXPECT_NEAR(right[1].second, -707.4413, 1e-3);

    auto active = test::make_bare_engine();
    auto [al, ar] = settle(korva_extspace, active.get(), 44100, 1000.0f, 1000.0f, 2000);
    EXPECT_NEAR(al, 0.7267015 * 1.1875 * 1000, 0.01);
    EXPECT_NEAR(ar, 0.7267015 * -1.4375 * 1000, 0.01);
    auto wide = bare_with({{&KorvaParams::extspace_mode, 2}});
    auto [wl, wr] = settle(korva_extspace, wide.get(), 44100, 1000.0f, 1000.0f, 2000);
    EXPECT_NEAR(wl, 2 * 707.4413, 0.01);
    EXPECT_EQ(wr, 0.0f);
}

TEST(ExtSpace, OtherModesDoNothingAndTheRingWraps)
{
    for (int16_t mode : {0, 3, -1}) {
        auto e = test::make_bare_engine();
        e->params.extspace_mode = mode;
        float l = 1.0f, r = 2.0f;
        korva_extspace(e.get(), 44100, &l, &r);
        EXPECT_EQ(l, 1.0f);
        EXPECT_EQ(r, 2.0f);
        EXPECT_EQ(e->extspace_index, 0);
    }
    // A copy written at frame 4000 comes out whole at 4172 (slot 76).
    auto e = test::make_bare_engine();
    for (int n = 0; n < 4400; ++n) {
        float l = n == 4000 ? 1000.0f : 0.0f, r = 0.0f;
        korva_extspace(e.get(), 44100, &l, &r);
        if (n == 4172) {
            EXPECT_NEAR(l, 726.7015, 1e-3);
            EXPECT_EQ(e->extspace_index, 77);
        }
    }
}

TEST(ExtSpace, SwitchingModesKeepsCopiesAlreadyWritten)
{
    auto e = test::make_bare_engine();
    std::vector<float> out;
    for (int n = 0; n < 900; ++n) {
        e->params.extspace_mode = n == 0 ? 1 : 2;
        float l = n == 0 ? 1000.0f : 0.0f, r = 0.0f;
        korva_extspace(e.get(), 44100, &l, &r);
        out.push_back(l);
    }
    // Copies from the Active write-ahead at their Active gains, Wide output gain.
    EXPECT_NEAR(out[344], 0.7074413 * 500, 1e-3);
    EXPECT_NEAR(out[860], 0.7074413 * 62.5, 1e-3);
    EXPECT_NEAR(out[172], 0.7074413 * 1000, 1e-3);
}

TEST(ExtFX, OutputGainSkippedPartsAndModes)
{
    auto e = test::make_bare_engine();
    e->params.extfx_center = e->params.extfx_space = 0;
    float l = 1000.0f, r = -333.0f;
    korva_extfx(e.get(), 44100, &l, &r);
    EXPECT_EQ(l, static_cast<float>(1000.0 * 0.88));
    EXPECT_EQ(r, static_cast<float>(-333.0 * 0.88));
    const IirSection zero{};
    EXPECT_EQ(std::memcmp(&e->extfx_center_res[0], &zero, sizeof zero), 0);

    auto off = bare_with({{&KorvaParams::extfx_mode, 0}});
    float a = 1000.0f, b = 5.0f;
    korva_extfx(off.get(), 44100, &a, &b);
    EXPECT_EQ(a, 1000.0f);
    EXPECT_EQ(b, 5.0f);

    // Mode 2 acts like 1; a negative amount like 0.
    auto one = test::make_bare_engine();
    auto two = bare_with({{&KorvaParams::extfx_mode, 2}});
    auto neg = bare_with({{&KorvaParams::extfx_space, -5}});
    auto zero_space = bare_with({{&KorvaParams::extfx_space, 0}});
    const auto in = test::music(300, 4);
    for (size_t n = 0; n < 300; ++n) {
        float l1 = in[2 * n], r1 = in[2 * n + 1], l2 = l1, r2 = r1, l3 = l1, r3 = r1, l4 = l1, r4 = r1;
        korva_extfx(one.get(), 44100, &l1, &r1);
        korva_extfx(two.get(), 44100, &l2, &r2);
        korva_extfx(neg.get(), 44100, &l3, &r3);
        korva_extfx(zero_space.get(), 44100, &l4, &r4);
        ASSERT_EQ(l1, l2);
        ASSERT_EQ(r1, r2);
        ASSERT_EQ(l3, l4);
        ASSERT_EQ(r3, r4);
    }
}

TEST(ExtFX, CenterChangesTheSumAndSpaceTheDifference)
{
    auto space = bare_with({{&KorvaParams::extfx_center, 0}});
    auto center = bare_with({{&KorvaParams::extfx_space, 0}});
    const auto in = test::music(500, 8);
    for (size_t n = 0; n < 500; ++n) {
        float l = in[2 * n], r = l;
        korva_extfx(space.get(), 44100, &l, &r);
        // Identical channels: the space part cancels up to float rounding.
        ASSERT_EQ(l, r);
        ASSERT_NEAR(l, in[2 * n] * 0.88, 0.01);

        float cl = in[2 * n], cr = in[2 * n + 1];
        korva_extfx(center.get(), 44100, &cl, &cr);
        const double added_l = cl / 0.88 - in[2 * n], added_r = cr / 0.88 - in[2 * n + 1];
        ASSERT_NEAR(added_l, added_r, 0.01);
    }

    auto defaults = test::make_bare_engine();
    EXPECT_TRUE(settles_near(korva_extfx, defaults.get(), 1000.0f, 1000.0f, 2000, 1253.6f, 1253.6f, 0.5f));
}

TEST(SpeakerTuning, ConstantsVanishChannelsStaySeparateOffMovesNothing)
{
    auto e = bare_with({{&KorvaParams::spc_mode, 1}});
    EXPECT_TRUE(settles_near(korva_speaker_tuning, e.get(), 5000.0f, -5000.0f, 200000, 0.0f, 0.0f, 0.5f));

    auto only_left = bare_with({{&KorvaParams::spc_mode, 1}});
    const auto in = test::music(3000, 12);
    for (size_t n = 0; n < 3000; ++n) {
        float a = in[2 * n], b = 0.0f;
        korva_speaker_tuning(only_left.get(), 44100, &a, &b);
        ASSERT_EQ(b, 0.0f);
    }

    auto off = test::make_bare_engine();
    float a = 7.0f, b = 8.0f;
    korva_speaker_tuning(off.get(), 44100, &a, &b);
    EXPECT_EQ(a, 7.0f);
    EXPECT_EQ(b, 8.0f);
}

TEST(Brainwave, FirstFrameStepAndPeriod)
{
    auto e = test::make_bare_engine();
    float l = 1000.0f, r = 400.0f;
    korva_brainwave(e.get(), 44100, &l, &r);
    EXPECT_EQ(l, 500.0f);
    EXPECT_EQ(r, 200.0f);
    EXPECT_EQ(e->bw_step, (0.0062831854f / 44100.0f) * 3600.0f);
    EXPECT_EQ(e->bw_cached_rate, 44100);
    EXPECT_EQ(e->bw_cached_fq, 3600);

    // The phase wraps once within 12250 frames and is then close to 0 again.
    for (int n = 1; n < 12250; ++n) {
        float a = 0.0f, b = 0.0f;
        korva_brainwave(e.get(), 44100, &a, &b);
    }
    EXPECT_LT(e->bw_phase, 0.01f);
}

TEST(Brainwave, MonoSwingsAndAntiPhaseIsUntouched)
{
    auto e = bare_with({{&KorvaParams::bw_value, 102}});
    float lo = 1e9f, hi = -1e9f;
    for (int n = 0; n < 13000; ++n) {
        float l = 1000.0f, r = 1000.0f;
        korva_brainwave(e.get(), 44100, &l, &r);
        EXPECT_NEAR(l + r, 1000.0f, 1e-3);
        lo = std::min(lo, l);
        hi = std::max(hi, l);
        float a = 1000.0f, b = -1000.0f;
        auto copy = test::make_bare_engine();
        copy->bw_phase = e->bw_phase;
        korva_brainwave(copy.get(), 44100, &a, &b);
        EXPECT_EQ(a, 500.0f);
        EXPECT_EQ(b, -500.0f);
    }
    EXPECT_NEAR(lo, 500 * (1 - 2 * 0.3984), 2.0);
    EXPECT_NEAR(hi, 500 * (1 + 2 * 0.3984), 2.0);
}

TEST(Brainwave, FrozenPhaseAndRateChanges)
{
    auto e = bare_with({{&KorvaParams::bw_fq, 0}});
    for (int n = 0; n < 100; ++n) {
        float l = 100.0f, r = 300.0f;
        korva_brainwave(e.get(), 44100, &l, &r);
        EXPECT_EQ(l, 50.0f);
    }
    EXPECT_EQ(e->bw_phase, 0.0f);

    // Mode 0 leaves the oscillator where it is.
    auto m = bare_with({{&KorvaParams::bw_mode, 0}});
    float l = 1.0f, r = 2.0f;
    korva_brainwave(m.get(), 44100, &l, &r);
    EXPECT_EQ(l, 1.0f);
    EXPECT_EQ(m->bw_cached_rate, 0);

    // A new rate recomputes the step even when bw_fq is 0: the phase stops.
    auto c = test::make_bare_engine();
    for (int n = 0; n < 10; ++n) {
        float a = 1, b = 1;
        korva_brainwave(c.get(), 44100, &a, &b);
    }
    c->params.bw_fq = 0;
    float a = 1, b = 1;
    korva_brainwave(c.get(), 48000, &a, &b);
    const float frozen = c->bw_phase;
    korva_brainwave(c.get(), 48000, &a, &b);
    EXPECT_EQ(c->bw_step, 0.0f);
    EXPECT_EQ(c->bw_phase, frozen);
}

}  // namespace
