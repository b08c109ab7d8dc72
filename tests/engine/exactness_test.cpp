// The engine against the plain reference model, bit for bit: random settings
// (out-of-range values included), every rate class, random block splits,
// parameters and rates changing between blocks. Output samples and the whole
// working state must be identical.
#include "engine/korva.h"
#include "engine/param_fields.h"
#include "reference_model.h"
#include "test_signals.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace {

// A parameter block the way a user, a preset or a hostile file could set it.
KorvaParams random_params(std::mt19937 &rng, bool wild)
{
    KorvaParams p;
    korva_default_params(&p);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    p.enable_global = static_cast<int8_t>(pick(0, 5) != 0);
    p.chain_index = static_cast<int16_t>(pick(0, 5));
    p.preamp = pick(0, 384);
    p.superbass = pick(0, 3) == 0 ? 0 : pick(0, 256);
    p.dewoofer = pick(0, 3) == 0 ? 0 : pick(0, 256);
    p.fidelity = pick(0, 3) == 0 ? 0 : pick(0, 256);
    p.enable_3dsurround = static_cast<int8_t>(pick(0, 1));
    p.enable_extspace = static_cast<int8_t>(pick(0, 1));
    p.enable_extfx = static_cast<int8_t>(pick(0, 1));
    p.enable_vs = static_cast<int8_t>(pick(0, 1));
    p.enable_bw = static_cast<int8_t>(pick(0, 1));
    p._3dsurround_mode = static_cast<int16_t>(pick(0, 3));
    p._3dsurround_depth = pick(0, 256);
    p._3dsurround_bass = pick(0, 256);
    p.extspace_mode = static_cast<int16_t>(pick(0, 2));
    p.extfx_mode = static_cast<int16_t>(pick(0, 1));
    p.extfx_space = pick(0, 256);
    p.extfx_center = pick(0, 256);
    p.vs_mode = static_cast<int16_t>(pick(0, 1));
    p.vs_overdrive = pick(0, 256);
    p.vs_intensity = pick(0, 256);
    p.spc_swapstereo = static_cast<int8_t>(pick(0, 1));
    p.spc_phaseinvert = static_cast<int8_t>(pick(0, 1));
    p.spc_mode = static_cast<int16_t>(pick(0, 1));
    p.spc_debass = pick(0, 256);
    p.spc_detube = pick(0, 256);
    p.spc_mid = pick(0, 256);
    p.spc_high = pick(0, 256);
    p.bw_mode = static_cast<int16_t>(pick(0, 2));
    const int fq[] = {15000, 7000, 3600, 2000};
    p.bw_fq = fq[pick(0, 3)];
    p.bw_value = pick(0, 1) ? 51 : 102;
    p.bw_sigpreamp = pick(0, 384);
    if (wild) {
        // Values only a file can carry: whole-width integers in some fields.
        for (int k = pick(1, 6); k > 0; --k) {
            const KorvaParamField &f = korva_param_fields[pick(0, KORVA_PARAM_FIELD_COUNT - 1)];
            const int32_t v = pick(0, 2) == 0 ? pick(-600, 1200) : static_cast<int32_t>(rng());
            korva_param_set(&p, &f, v);
        }
        p.enable_global = static_cast<int8_t>(pick(-128, 127));
    }
    return p;
}

int32_t random_rate(std::mt19937 &rng)
{
    const int32_t rates[] = {8000, 11025, 14999, 15000, 16000, 22050, 31999, 32000, 44100, 48000, 96000};
    return rates[std::uniform_int_distribution<int>(0, std::size(rates) - 1)(rng)];
}

void expect_same_run(uint32_t seed, bool wild, bool change_between_blocks)
{
    std::mt19937 rng(seed);
    auto engine = test::make_engine();
    auto model = test::make_engine();
    const int32_t frames = 6000;
    const auto in = test::music(frames, seed);
    std::vector<int16_t> got(in.size()), want(in.size());

    KorvaParams params = random_params(rng, wild);
    int32_t rate = random_rate(rng);
    int32_t n = 0;
    while (n < frames) {
        const int32_t block = std::min<int32_t>(frames - n, std::uniform_int_distribution<int>(1, 1500)(rng));
        if (change_between_blocks && std::uniform_int_distribution<int>(0, 2)(rng) == 0) {
            params = random_params(rng, wild);
            if (std::uniform_int_distribution<int>(0, 2)(rng) == 0)
                rate = random_rate(rng);
        }
        engine->params = model->params = params;
        engine->sample_rate = model->sample_rate = rate;
        korva_process(engine.get(), in.data() + 2 * n, got.data() + 2 * n, block);
        reference::process(*model, in.data() + 2 * n, want.data() + 2 * n, block);
        n += block;
    }
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], want[i]) << "seed " << seed << " sample " << i;
    ASSERT_EQ(std::memcmp(engine.get(), model.get(), sizeof(KorvaEngine)), 0) << "seed " << seed;
}

TEST(Exactness, WindowSettingsOneBlock)
{
    for (uint32_t seed = 1; seed <= 40; ++seed)
        expect_same_run(seed, false, false);
}

TEST(Exactness, WindowSettingsChangingBetweenRandomBlocks)
{
    for (uint32_t seed = 100; seed <= 160; ++seed)
        expect_same_run(seed, false, true);
}

TEST(Exactness, FileValuesOutsideTheWindowRanges)
{
    for (uint32_t seed = 1000; seed <= 1060; ++seed)
        expect_same_run(seed, true, true);
}

TEST(Exactness, EveryStageOnAtEveryRateClass)
{
    for (int32_t rate : {11025, 22050, 44100}) {
        auto engine = test::make_engine();
        auto model = test::make_engine();
        for (KorvaEngine *e : {engine.get(), model.get()}) {
            e->params._3dsurround_mode = 3;
            e->params.enable_extspace = e->params.enable_extfx = e->params.enable_vs = e->params.enable_bw = 1;
            e->params.spc_mode = 1;
            e->params.superbass = 200;
            e->sample_rate = rate;
        }
        const auto in = test::music(20000, static_cast<uint32_t>(rate), rate);
        std::vector<int16_t> got(in.size()), want(in.size());
        korva_process(engine.get(), in.data(), got.data(), 20000);
        reference::process(*model, in.data(), want.data(), 20000);
        EXPECT_EQ(got, want) << rate;
        EXPECT_EQ(std::memcmp(engine.get(), model.get(), sizeof(KorvaEngine)), 0) << rate;
    }
}

TEST(Exactness, BlockSplitsDoNotMatter)
{
    const auto in = test::music(10000, 77);
    auto whole = test::make_engine();
    whole->params.enable_extspace = whole->params.enable_vs = whole->params.enable_bw = 1;
    std::vector<int16_t> a(in.size()), b(in.size());
    korva_process(whole.get(), in.data(), a.data(), 10000);
    auto split = test::make_engine();
    split->params = whole->params;
    std::mt19937 rng(5);
    for (int32_t n = 0; n < 10000;) {
        const int32_t block = std::min<int32_t>(10000 - n, std::uniform_int_distribution<int>(1, 700)(rng));
        korva_process(split.get(), in.data() + 2 * n, b.data() + 2 * n, block);
        n += block;
    }
    EXPECT_EQ(a, b);
}

// Every chain order with every part of the chain switched off in turn, at
// every rate class, through runs short enough for stage-by-stage processing
// and long enough for the skewed schedule (one of them longer than its frame
// buffer): the 16-bit and float entries against the model, output and state.
TEST(Exactness, EveryChainOrderWithEachPartOffInTurn)
{
    using P = KorvaParams;
    struct Change {
        const char *name;
        void (*apply)(P &);
    };
    const Change changes[] = {
        {"all on", [](P &) {}},
        {"master off", [](P &p) { p.enable_global = 0; }},
        {"brainwave off", [](P &p) { p.enable_bw = 0; }},
        {"brainwave mode 0", [](P &p) { p.bw_mode = 0; }},
        {"DeWoofer 0", [](P &p) { p.dewoofer = 0; }},
        {"SuperBass 0", [](P &p) { p.superbass = 0; }},
        {"Fidelity 0", [](P &p) { p.fidelity = 0; }},
        {"VS off", [](P &p) { p.enable_vs = 0; }},
        {"VS intensity 0", [](P &p) { p.vs_intensity = 0; }},
        {"3D off", [](P &p) { p.enable_3dsurround = 0; }},
        {"3D mode 0", [](P &p) { p._3dsurround_mode = 0; }},
        {"3D mode 1", [](P &p) { p._3dsurround_mode = 1; }},
        {"3D mode 2", [](P &p) { p._3dsurround_mode = 2; }},
        {"3D mode 3", [](P &p) { p._3dsurround_mode = 3; }},
        {"3D mode -1", [](P &p) { p._3dsurround_mode = -1; }},
        {"extSpace off", [](P &p) { p.enable_extspace = 0; }},
        {"extSpace Wide", [](P &p) { p.extspace_mode = 2; }},
        {"extSpace mode 3", [](P &p) { p.extspace_mode = 3; }},
        {"extFX off", [](P &p) { p.enable_extfx = 0; }},
        {"extFX mode 0", [](P &p) { p.extfx_mode = 0; }},
        {"extFX center 0", [](P &p) { p.extfx_center = 0; }},
        {"extFX space -5", [](P &p) { p.extfx_space = -5; }},
        {"speaker tuning off", [](P &p) { p.spc_mode = 0; }},
        {"invert and swap off", [](P &p) { p.spc_phaseinvert = p.spc_swapstereo = 0; }},
    };
    const int32_t blocks[] = {1, 7, 23, 24, 25, 300, 620};
    int32_t frames = 0;
    for (int32_t b : blocks)
        frames += b;
    for (int32_t rate : {11025, 22050, 44100}) {
        const auto in = test::music(frames, static_cast<uint32_t>(rate), rate);
        for (int16_t order = 0; order < 6; ++order) {
            for (const Change &change : changes) {
                SCOPED_TRACE(std::to_string(rate) + " Hz, order " + std::to_string(order) + ", " + change.name);
                auto engine = test::make_engine();
                auto floats = test::make_engine();
                auto model = test::make_engine();
                P p = engine->params;
                p.chain_index = order;
                p.enable_bw = p.enable_vs = p.enable_extspace = p.enable_extfx = 1;
                p._3dsurround_mode = 4;  // the record's fourth pass, reachable from files
                p.superbass = 200;
                p.spc_mode = 1;
                p.spc_phaseinvert = p.spc_swapstereo = 1;
                change.apply(p);
                for (KorvaEngine *e : {engine.get(), floats.get(), model.get()}) {
                    e->params = p;
                    e->sample_rate = rate;
                }
                std::vector<int16_t> got(in.size()), want(in.size()), from_floats(in.size());
                std::vector<float> work(in.begin(), in.end());
                int32_t n = 0;
                for (int32_t b : blocks) {
                    korva_process(engine.get(), in.data() + 2 * n, got.data() + 2 * n, b);
                    korva_process_float(floats.get(), work.data() + 2 * n, work.data() + 2 * n, b);
                    reference::process(*model, in.data() + 2 * n, want.data() + 2 * n, b);
                    n += b;
                }
                for (size_t i = 0; i < work.size(); ++i) {
                    const float x = work[i] > 32767.0f ? 32767.0f : work[i] < -32767.0f ? -32767.0f : work[i];
                    from_floats[i] = static_cast<int16_t>(x);
                }
                ASSERT_EQ(got, want);
                ASSERT_EQ(from_floats, want);
                ASSERT_EQ(std::memcmp(engine.get(), model.get(), sizeof(KorvaEngine)), 0);
                ASSERT_EQ(std::memcmp(floats.get(), model.get(), sizeof(KorvaEngine)), 0);
            }
        }
    }
}

}  // namespace
