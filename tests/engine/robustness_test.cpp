// Any parameter block, any rate, any audio: the engine returns in bounded
// time, stays inside its record and its output is defined.
#include "engine/brainwave.h"
#include "engine/korva.h"
#include "test_signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

float literal_reduce(float phase)
{
    while (phase > 6.2831855f)
        phase -= 6.2831855f;
    return phase;
}

TEST(Robustness, FastPhaseReductionEqualsTheLiteralLoop)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> exponent(0.0f, 26.9f);
    for (int i = 0; i < 3000; ++i) {
        const float phase = std::exp2(exponent(rng)) * std::uniform_real_distribution<float>(1.0f, 1.999f)(rng);
        if (phase >= 134217728.0f)
            continue;
        ASSERT_EQ(korva::bw_reduce_phase(phase), literal_reduce(phase)) << phase;
    }
    for (float phase : {6.2831855f, 6.2831860f, 12.566371f, 16.0f, 16777216.0f, 67108864.0f, 134217720.0f})
        EXPECT_EQ(korva::bw_reduce_phase(phase), literal_reduce(phase)) << phase;
    EXPECT_EQ(korva::bw_reduce_phase(-5.0f), -5.0f);
    // Phases the loop could never reduce restart at 0 instead of spinning.
    EXPECT_EQ(korva::bw_reduce_phase(std::numeric_limits<float>::infinity()), 0.0f);
    EXPECT_EQ(korva::bw_reduce_phase(3e9f), 0.0f);
    EXPECT_TRUE(std::isnan(korva::bw_reduce_phase(NAN)));
}

TEST(Robustness, HugeBrainwaveFrequenciesAndTinyRatesStayBounded)
{
    for (int32_t rate : {1, 7, 100, 44100, 0, -1, -44100, std::numeric_limits<int32_t>::min()}) {
        for (int32_t fq : {std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min(), 0, 3600}) {
            auto e = test::make_engine();
            e->params.enable_bw = 1;
            e->params.bw_fq = fq;
            e->sample_rate = rate;
            auto in = test::music(2000, 1);
            korva_process(e.get(), in.data(), in.data(), 2000);
            // A number at most 2 pi (NaN fails every comparison), and not
            // below 0 when the phase only ever moves up.
            EXPECT_TRUE(std::isfinite(e->bw_phase)) << rate << " " << fq << ": " << e->bw_phase;
            EXPECT_LE(e->bw_phase, 6.2831855f) << rate << " " << fq;
            if (fq >= 0) {
                EXPECT_GE(e->bw_phase, 0.0f) << rate << " " << fq;
            }
        }
    }
}

TEST(Robustness, ZeroOrNegativeRateRunsAsTheDefaultRate)
{
    const auto in = test::music(3000, 2);
    auto a = test::make_engine();
    auto b = test::make_engine();
    a->params.enable_bw = b->params.enable_bw = 1;
    a->sample_rate = 0;
    std::vector<int16_t> out_a(in.size()), out_b(in.size());
    korva_process(a.get(), in.data(), out_a.data(), 3000);
    korva_process(b.get(), in.data(), out_b.data(), 3000);
    EXPECT_EQ(out_a, out_b);
    EXPECT_EQ(a->sample_rate, 0) << "the record keeps what was written to it";
}

TEST(Robustness, EveryFieldAtEveryExtremeKeepsTheRecordIntact)
{
    // Fill the parameter block with the extremes of every width, one pattern
    // at a time, and run loud audio through a record placed between guards.
    const unsigned char patterns[] = {0x00, 0x7f, 0x80, 0xff, 0x01, 0xfe};
    for (unsigned char fill : patterns) {
        struct Guarded {
            unsigned char before[64];
            KorvaEngine engine;
            unsigned char after[64];
        };
        auto g = std::make_unique<Guarded>();
        std::memset(g->before, 0xa5, sizeof g->before);
        std::memset(g->after, 0xa5, sizeof g->after);
        korva_reset(&g->engine);
        std::memset(&g->engine.params, fill, sizeof(KorvaParams));
        for (int32_t rate : {44100, 0, -8000, 8000, 1}) {
            g->engine.sample_rate = rate;
            auto in = test::music(3000, fill);
            korva_process(&g->engine, in.data(), in.data(), 3000);
            for (int16_t s : in)
                ASSERT_NE(s, -32768);
        }
        for (unsigned char c : g->before)
            ASSERT_EQ(c, 0xa5);
        for (unsigned char c : g->after)
            ASSERT_EQ(c, 0xa5);
    }
}

TEST(Robustness, RunawayEchoesBecomeSilenceNotGarbage)
{
    // Overdrive far above the window's range makes the echo loop grow until
    // it overflows to infinity and then to not-a-number; those samples come
    // out clipped or as 0, never as an undefined conversion.
    auto e = test::make_engine();
    e->params.enable_vs = 1;
    e->params.vs_overdrive = 512;
    e->params.vs_intensity = 512;
    auto in = test::music(44100 * 6, 4);
    korva_process(e.get(), in.data(), in.data(), 44100 * 6);
    // By the last 200 frames the loop holds not-a-number: silence, every
    // sample 0 (a clipped +-32767 there would be a stuck loud tail).
    const std::vector<int16_t> tail(in.end() - 400, in.end());
    EXPECT_EQ(tail, std::vector<int16_t>(400, 0));
}

}  // namespace
