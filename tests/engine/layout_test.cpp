// The record's layout is an interface: presets copy the parameter block byte
// for byte and other programs write it at offset 0 and the rate at offset 96.
#include "engine/controls.h"
#include "engine/korva.h"
#include "engine/param_fields.h"
#include "test_signals.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct FieldSpec {
    const char *name;
    int offset, width, def;
};

// Offsets, widths and defaults of the parameter block.
const FieldSpec kFields[] = {
    {"enable_global", 0, 1, 1},       {"chain_index", 2, 2, 0},         {"preamp", 4, 4, 128},
    {"superbass", 8, 4, 0},           {"dewoofer", 12, 4, 64},          {"fidelity", 16, 4, 64},
    {"enable_3dsurround", 20, 1, 1},  {"enable_extspace", 21, 1, 0},    {"enable_extfx", 22, 1, 0},
    {"enable_vs", 23, 1, 0},          {"enable_bw", 24, 1, 0},          {"_3dsurround_mode", 26, 2, 1},
    {"_3dsurround_depth", 28, 4, 256}, {"_3dsurround_bass", 32, 4, 256}, {"extspace_mode", 36, 2, 1},
    {"extfx_mode", 38, 2, 1},         {"extfx_space", 40, 4, 86},       {"extfx_center", 44, 4, 86},
    {"vs_mode", 48, 2, 1},            {"vs_overdrive", 52, 4, 128},     {"vs_intensity", 56, 4, 86},
    {"spc_swapstereo", 60, 1, 0},     {"spc_phaseinvert", 61, 1, 0},    {"spc_mode", 62, 2, 0},
    {"spc_debass", 64, 4, 256},       {"spc_detube", 68, 4, 256},       {"spc_mid", 72, 4, 86},
    {"spc_high", 76, 4, 86},          {"bw_mode", 80, 2, 1},            {"bw_fq", 84, 4, 3600},
    {"bw_value", 88, 4, 51},          {"bw_sigpreamp", 92, 4, 128},
};

TEST(Layout, ParameterBlockOffsetsWidthsAndDefaults)
{
    static_assert(sizeof(KorvaParams) == 96);
    static_assert(offsetof(KorvaEngine, params) == 0);
    static_assert(offsetof(KorvaEngine, sample_rate) == 96);
    static_assert(sizeof(IirSection) == 14 * sizeof(float));

    auto e = test::make_engine();
    ASSERT_EQ(std::size(kFields), static_cast<size_t>(KORVA_PARAM_FIELD_COUNT));
    for (size_t i = 0; i < std::size(kFields); ++i) {
        const FieldSpec &want = kFields[i];
        const KorvaParamField &got = korva_param_fields[i];
        SCOPED_TRACE(want.name);
        EXPECT_STREQ(got.name, want.name);
        EXPECT_EQ(got.offset, want.offset);
        EXPECT_EQ(got.width, want.width);
        EXPECT_EQ(korva_param_get(&e->params, &got), want.def);
    }
    EXPECT_EQ(e->sample_rate, 44100);
}

// The catalogue's named control indices follow the field list; a field
// inserted or moved shows here.
TEST(Layout, NamedControlIndicesFollowTheFieldOrder)
{
    const std::pair<int, const char *> named[] = {
        {KORVA_CONTROL_CHAIN_INDEX, "chain_index"},       {KORVA_CONTROL_3DSURROUND_MODE, "_3dsurround_mode"},
        {KORVA_CONTROL_EXTSPACE_MODE, "extspace_mode"},   {KORVA_CONTROL_EXTFX_MODE, "extfx_mode"},
        {KORVA_CONTROL_VS_MODE, "vs_mode"},               {KORVA_CONTROL_BW_MODE, "bw_mode"},
        {KORVA_CONTROL_BW_FQ, "bw_fq"},
    };
    for (const auto &[index, name] : named) {
        EXPECT_STREQ(korva_param_fields[index].name, name);
        EXPECT_NE(korva_controls[index].points, nullptr) << name;
    }
}

TEST(Layout, WorkingStateFollowsInOrder)
{
    const size_t order[] = {
        offsetof(KorvaEngine, sample_rate),      offsetof(KorvaEngine, surround_lp),
        offsetof(KorvaEngine, dewoofer_notch),   offsetof(KorvaEngine, superbass_lp),
        offsetof(KorvaEngine, vs_lp),            offsetof(KorvaEngine, extfx_center_res),
        offsetof(KorvaEngine, extfx_space_res),  offsetof(KorvaEngine, spc_debass_lp),
        offsetof(KorvaEngine, spc_mid_bp),       offsetof(KorvaEngine, spc_detube_bp),
        offsetof(KorvaEngine, spc_high_bp),      offsetof(KorvaEngine, fidelity_lp),
        offsetof(KorvaEngine, surround_delay),   offsetof(KorvaEngine, extspace_index),
        offsetof(KorvaEngine, extspace_ring),    offsetof(KorvaEngine, vs_ring),
        offsetof(KorvaEngine, bw_cached_rate),   offsetof(KorvaEngine, bw_cached_fq),
        offsetof(KorvaEngine, bw_base_step),     offsetof(KorvaEngine, bw_phase),
        offsetof(KorvaEngine, bw_step),
    };
    for (size_t i = 1; i < std::size(order); ++i)
        EXPECT_LT(order[i - 1], order[i]) << "member " << i;
    EXPECT_EQ(offsetof(KorvaEngine, surround_lp), 100u);
}

TEST(Layout, NewAndResetGiveDefaultsAndZeroState)
{
    auto e = test::make_engine();
    // Dirty everything, padding and working state included, then reset.
    std::memset(e.get(), 0x5a, sizeof(KorvaEngine));
    korva_reset(e.get());
    KorvaParams defaults;
    korva_default_params(&defaults);
    EXPECT_EQ(std::memcmp(&e->params, &defaults, sizeof defaults), 0);
    const auto *bytes = reinterpret_cast<const unsigned char *>(e.get());
    for (int pad : {1, 25, 50, 51, 82, 83})
        EXPECT_EQ(bytes[pad], 0) << "padding byte " << pad;
    EXPECT_EQ(e->sample_rate, 44100);
    size_t nonzero = 0;
    for (size_t i = offsetof(KorvaEngine, surround_lp); i < sizeof(KorvaEngine); ++i)
        nonzero += bytes[i] != 0;
    EXPECT_EQ(nonzero, 0u);

    korva_reset(nullptr);  // allowed, does nothing
    korva_delete(nullptr);
}

TEST(Layout, GainTableEntriesAreFourDecimalRoundings)
{
    EXPECT_EQ(GainTable[0], 1e-15f);
    for (int i = 1; i < KORVA_GAIN_STEPS; ++i) {
        char text[32];
        std::snprintf(text, sizeof text, "%.4f", i / 256.0);  // exact quotient, ties to even
        EXPECT_EQ(GainTable[i], std::strtof(text, nullptr)) << "entry " << i << " " << text;
    }
    EXPECT_EQ(GainTable[1], 0.0039f);
    EXPECT_EQ(GainTable[8], 0.0312f);
    EXPECT_EQ(GainTable[24], 0.0938f);
    EXPECT_EQ(GainTable[51], 0.1992f);
    EXPECT_EQ(GainTable[86], 0.3359f);
    EXPECT_EQ(GainTable[256], 1.0f);
    EXPECT_EQ(GainTable[384], 1.5f);
    EXPECT_EQ(GainTable[512], 2.0f);
}

TEST(Layout, FieldSetTruncatesToWidthAndGetSignExtends)
{
    KorvaParams p;
    korva_default_params(&p);
    const KorvaParamField *flag = korva_param_field_find("enable_extfx");
    const KorvaParamField *mode = korva_param_field_find("extspace_mode");
    ASSERT_NE(flag, nullptr);
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(korva_param_field_find("no_such_field"), nullptr);
    korva_param_set(&p, flag, 256);
    EXPECT_EQ(korva_param_get(&p, flag), 0);
    korva_param_set(&p, flag, 300);
    EXPECT_EQ(korva_param_get(&p, flag), 44);
    korva_param_set(&p, mode, 65538);
    EXPECT_EQ(korva_param_get(&p, mode), 2);
    korva_param_set(&p, mode, -1);
    EXPECT_EQ(korva_param_get(&p, mode), -1);
}

TEST(Layout, ParamsReadAndWriteCopyEveryByte)
{
    auto e = test::make_engine();
    KorvaParams in;
    auto *raw = reinterpret_cast<unsigned char *>(&in);
    for (size_t i = 0; i < sizeof in; ++i)
        raw[i] = static_cast<unsigned char>(i * 37 + 11);
    korva_params_write(e.get(), &in);
    EXPECT_EQ(std::memcmp(&e->params, &in, sizeof in), 0);
    KorvaParams out;
    korva_params_read(e.get(), &out);
    EXPECT_EQ(std::memcmp(&out, &in, sizeof in), 0);
}

}  // namespace

// A host's seek or activation: the stages start from silence, the settings and
// the rate stay, so what follows equals a fresh engine's output.
TEST(Layout, ClearStateKeepsParamsAndRate)
{
    auto used = test::make_engine();
    used->params.enable_extspace = used->params.enable_vs = used->params.enable_bw = 1;
    used->params.spc_mode = 1;
    used->params.pad_25 = 7;
    used->sample_rate = 22050;
    const auto before = test::music(5000, 3, 22050);
    std::vector<int16_t> scratch(before.size());
    korva_process(used.get(), before.data(), scratch.data(), 5000);
    const KorvaParams params = used->params;

    korva_clear_state(used.get());
    EXPECT_EQ(std::memcmp(&used->params, &params, sizeof params), 0);
    EXPECT_EQ(used->sample_rate, 22050);

    auto fresh = test::make_engine();
    fresh->params = params;
    fresh->sample_rate = 22050;
    EXPECT_EQ(std::memcmp(used.get(), fresh.get(), sizeof(KorvaEngine)), 0);
    korva_clear_state(nullptr);  // allowed, does nothing
}
