// The frame loop: conversion, pre-amplifier, switches, clipping, chain order.
#include "engine/korva.h"
#include "test_signals.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<int16_t> run(KorvaEngine *e, std::vector<int16_t> in)
{
    std::vector<int16_t> out(in.size());
    korva_process(e, in.data(), out.data(), static_cast<int32_t>(in.size() / 2));
    return out;
}

TEST(FrameLoop, ConversionGainAndClipping)
{
    auto e = test::make_bare_engine();
    e->params.enable_global = 0;
    EXPECT_EQ(run(e.get(), {0, 0}), (std::vector<int16_t>{0, 0}));

    e->params.preamp = 128;
    EXPECT_EQ(run(e.get(), {1001, -1001}), (std::vector<int16_t>{500, -500}));

    e->params.preamp = 384;
    EXPECT_EQ(run(e.get(), {32767, -32768}), (std::vector<int16_t>{32767, -32767}));
    e->params.preamp = 256;
    EXPECT_EQ(run(e.get(), {-32768, 32767}), (std::vector<int16_t>{-32767, 32767}));

    // Truncation toward zero: 101 * 0.5 = 50.5 -> 50, -101 * 0.5 -> -50.
    e->params.preamp = 128;
    EXPECT_EQ(run(e.get(), {101, -101}), (std::vector<int16_t>{50, -50}));
}

TEST(FrameLoop, PhaseInvertThenSwapWhateverTheMasterSwitch)
{
    for (int8_t global : {0, 1}) {
        auto e = test::make_bare_engine();
        e->params.enable_global = global;
        e->params.spc_phaseinvert = 1;
        EXPECT_EQ(run(e.get(), {1000, 2000}), (std::vector<int16_t>{-1000, 2000}));
        e->params.spc_swapstereo = 1;
        EXPECT_EQ(run(e.get(), {1000, 2000}), (std::vector<int16_t>{2000, -1000}));
        e->params.spc_phaseinvert = 0;
        EXPECT_EQ(run(e.get(), {1000, 2000}), (std::vector<int16_t>{2000, 1000}));
    }
}

TEST(FrameLoop, MasterSwitchOffBypassesEveryEffect)
{
    auto e = test::make_engine();  // defaults: DeWoofer, Fidelity, 3D Surround on
    e->params.enable_global = 0;
    e->params.preamp = 256;
    e->params.enable_vs = e->params.enable_extfx = e->params.enable_extspace = e->params.enable_bw = 1;
    e->params.spc_mode = 1;
    const auto in = test::music(3000, 1);
    EXPECT_EQ(run(e.get(), in), std::vector<int16_t>(in.begin(), in.end()));
    // Nothing moved in the working state either.
    auto fresh = test::make_engine();
    EXPECT_EQ(std::memcmp(reinterpret_cast<char *>(e.get()) + 100, reinterpret_cast<char *>(fresh.get()) + 100,
                          sizeof(KorvaEngine) - 100),
              0);
}

// Runs the three chained effects by hand in a given order, through the
// exported stage entries, after conversion and the pre-amplifier.
std::vector<int16_t> by_hand(const char *order, const std::vector<int16_t> &in, const KorvaParams &params)
{
    auto e = test::make_engine();
    e->params = params;
    std::vector<int16_t> out(in.size());
    for (size_t n = 0; n < in.size() / 2; ++n) {
        float l = static_cast<float>(in[2 * n]) + 1e-15f;
        float r = static_cast<float>(in[2 * n + 1]) + 1e-15f;
        l *= GainTable[params.preamp];
        r *= GainTable[params.preamp];
        for (const char *c = order; *c != '\0'; ++c) {
            if (*c == 'S') korva_3dsurround(e.get(), 44100, &l, &r);
            if (*c == 'P') korva_extspace(e.get(), 44100, &l, &r);
            if (*c == 'F') korva_extfx(e.get(), 44100, &l, &r);
        }
        out[2 * n] = static_cast<int16_t>(l > 32767.f ? 32767.f : l < -32767.f ? -32767.f : l);
        out[2 * n + 1] = static_cast<int16_t>(r > 32767.f ? 32767.f : r < -32767.f ? -32767.f : r);
    }
    return out;
}

TEST(FrameLoop, ChainTableRowsSetTheOrderAndDisabledSlotsStayEmpty)
{
    const auto in = test::music(2000, 7);
    auto base = test::make_bare_engine();
    base->params.enable_3dsurround = base->params.enable_extspace = base->params.enable_extfx = 1;
    base->params.extspace_mode = 1;

    const char *rows[6] = {"PFS", "PSF", "SPF", "SFP", "FSP", "FPS"};
    std::vector<std::vector<int16_t>> outputs;
    for (int16_t row = 0; row < 6; ++row) {
        auto e = test::make_bare_engine();
        e->params = base->params;
        e->params.chain_index = row;
        const auto got = run(e.get(), in);
        EXPECT_EQ(got, by_hand(rows[row], in, e->params)) << "row " << row;
        for (const auto &earlier : outputs)
            EXPECT_NE(got, earlier) << "row " << row << " should sound different";
        outputs.push_back(got);
    }

    // Row 3 with extFX off runs 3D Surround, then extSpace.
    auto e = test::make_bare_engine();
    e->params = base->params;
    e->params.chain_index = 3;
    e->params.enable_extfx = 0;
    EXPECT_EQ(run(e.get(), in), by_hand("SP", in, e->params));
}

TEST(FrameLoop, ChainIndexOutsideTheTableRunsTheDefaultOrder)
{
    const auto in = test::music(1500, 3);
    auto reference = test::make_engine();
    reference->params.enable_extspace = reference->params.enable_extfx = 1;
    const auto want = run(reference.get(), in);
    for (int16_t index : {6, -1, 32767, -32768}) {
        auto e = test::make_engine();
        e->params.enable_extspace = e->params.enable_extfx = 1;
        e->params.chain_index = index;
        EXPECT_EQ(run(e.get(), in), want) << "chain_index " << index;
    }
}

TEST(FrameLoop, InPlaceEqualsSeparateBuffersAndCountsBelowOneTouchNothing)
{
    auto a = test::make_engine();
    auto b = test::make_engine();
    a->params.enable_extspace = b->params.enable_extspace = 1;
    auto buffer = test::music(4096, 11);
    const auto separate = run(a.get(), buffer);
    korva_process(b.get(), buffer.data(), buffer.data(), 4096);
    EXPECT_EQ(buffer, separate);

    std::vector<int16_t> untouched = {1, 2, 3, 4};
    auto copy = untouched;
    korva_process(b.get(), copy.data(), copy.data(), 0);
    korva_process(b.get(), copy.data(), copy.data(), -5);
    korva_process(nullptr, copy.data(), copy.data(), 2);
    EXPECT_EQ(copy, untouched);
}

// The float entry is the same chain: clipping and truncating its output gives
// the 16-bit entry's output, with every stage on, at every rate class, in place.
TEST(FrameLoop, FloatPathIsTheChainWithoutTheSixteenBitEnds)
{
    for (int32_t rate : {11025, 22050, 44100}) {
        auto a = test::make_engine();
        auto b = test::make_engine();
        for (KorvaEngine *e : {a.get(), b.get()}) {
            e->sample_rate = rate;
            e->params.superbass = 200;
            e->params.enable_vs = e->params.enable_extfx = e->params.enable_extspace = e->params.enable_bw = 1;
            e->params.vs_mode = e->params.extfx_mode = e->params.spc_mode = e->params.bw_mode = 1;
            e->params.vs_intensity = 256;
            e->params.extspace_mode = 1;
            e->params.spc_phaseinvert = e->params.spc_swapstereo = 1;
        }
        const auto in = test::music(5000, 3, rate);
        const auto want = run(a.get(), in);
        std::vector<float> work(in.begin(), in.end());
        korva_process_float(b.get(), work.data(), work.data(), 5000);
        std::vector<int16_t> got(work.size());
        for (size_t i = 0; i < work.size(); ++i) {
            const float x = work[i] > 32767.0f ? 32767.0f : work[i] < -32767.0f ? -32767.0f : work[i];
            got[i] = static_cast<int16_t>(x);
        }
        EXPECT_EQ(got, want) << rate << " Hz";
    }
}

}  // namespace
