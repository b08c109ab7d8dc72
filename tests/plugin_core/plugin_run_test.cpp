// Both plug-ins, loaded as a host loads them: every block length from one
// frame up gives exactly the engine's result, controls enter rounded and
// clamped at the next run(), activation starts a fresh engine, and float
// samples convert as s/32768 and back.
#include "tests/support/loaded_plugin.h"
#include "tests/support/stereo_signal.h"

#include "engine/korva.h"
#include "engine/param_fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

using plugin_core_test::LoadedPlugin;
using plugin_core_test::Standard;

constexpr int kControls = KORVA_PARAM_FIELD_COUNT;
constexpr int kFirstControl = 4;

// What the host writes into the control ports, and the block it must give.
struct Setting {
    float controls[kControls];
    KorvaParams expected;
};

void put(Setting &s, const char *name, float host_value, int32_t expected)
{
    const KorvaParamField *field = korva_param_field_find(name);
    s.controls[field - korva_param_fields] = host_value;
    korva_param_set(&s.expected, field, expected);
}

Setting defaults()
{
    Setting s{};
    korva_default_params(&s.expected);
    for (int i = 0; i < kControls; ++i)
        s.controls[i] = static_cast<float>(korva_param_get(&s.expected, &korva_param_fields[i]));
    return s;
}

// Every stage on, each value a little off the integer a host may send.
Setting stages_far_from_defaults()
{
    Setting s = defaults();
    put(s, "chain_index", 3.2f, 3);
    put(s, "superbass", 159.7f, 160);
    put(s, "dewoofer", 200.4f, 200);
    put(s, "enable_extspace", 1.0f, 1);
    put(s, "enable_extfx", 0.9f, 1);
    put(s, "enable_vs", 1.0f, 1);
    put(s, "enable_bw", 1.0f, 1);
    put(s, "_3dsurround_mode", 3.0f, 3);
    put(s, "extspace_mode", 2.0f, 2);
    put(s, "vs_intensity", 200.0f, 200);
    put(s, "spc_mode", 1.0f, 1);
    put(s, "spc_phaseinvert", 1.0f, 1);
    put(s, "bw_mode", 2.0f, 2);
    put(s, "bw_value", 102.0f, 102);
    put(s, "bw_fq", 7000.0f, 7000);
    return s;
}

// Values no port range holds, halves, and a value that is not a number.
Setting out_of_range()
{
    Setting s = stages_far_from_defaults();
    put(s, "superbass", 300.7f, 256);
    put(s, "preamp", 1e9f, 384);
    put(s, "dewoofer", -3.0f, 0);
    put(s, "chain_index", 2.5f, 2);            // ties to even
    put(s, "_3dsurround_mode", 2.5f, 2);
    put(s, "bw_sigpreamp", 383.5f, 384);
    put(s, "enable_3dsurround", 7.0f, 1);
    put(s, "extspace_mode", -std::numeric_limits<float>::infinity(), 0);
    put(s, "bw_fq", 100.0f, 2000);
    put(s, "vs_overdrive", std::numeric_limits<float>::quiet_NaN(), 128);   // the default
    return s;
}

std::vector<float> to_float(const std::vector<int16_t> &samples)
{
    std::vector<float> out(samples.size());
    for (size_t i = 0; i < samples.size(); ++i)
        out[i] = samples[i] / 32768.0f;
    return out;
}

// Loud stereo: two tones, noise and full-scale peaks.
std::vector<int16_t> signal(int frames, uint32_t seed)
{
    return korva_test::stereo_signal(frames, seed, korva_test::loud_levels);
}

// A plug-in instance with its own buffers, separate or shared (in place).
struct Rig {
    LoadedPlugin plugin;
    std::vector<float> in_l, in_r, out_l, out_r;
    float controls[kControls];
    bool in_place;

    Rig(Standard standard, double rate, size_t frames, bool in_place_)
        : plugin(standard, rate), in_l(frames), in_r(frames), out_l(frames), out_r(frames), in_place(in_place_)
    {
        if (!plugin.ok())
            return;
        plugin.connect(0, in_l.data());
        plugin.connect(1, in_r.data());
        plugin.connect(2, in_place ? in_l.data() : out_l.data());
        plugin.connect(3, in_place ? in_r.data() : out_r.data());
        for (int i = 0; i < kControls; ++i)
            plugin.connect(kFirstControl + i, &controls[i]);
    }

    // Runs interleaved 16-bit samples as floats; returns the outputs, interleaved.
    std::vector<float> run(const int16_t *frames, uint32_t count)
    {
        for (uint32_t i = 0; i < count; ++i) {
            in_l[i] = frames[2 * i] / 32768.0f;
            in_r[i] = frames[2 * i + 1] / 32768.0f;
        }
        plugin.run(count);
        std::vector<float> out(2 * static_cast<size_t>(count));
        for (uint32_t i = 0; i < count; ++i) {
            out[2 * i] = in_place ? in_l[i] : out_l[i];
            out[2 * i + 1] = in_place ? in_r[i] : out_r[i];
        }
        return out;
    }
};

class PluginRun : public ::testing::TestWithParam<Standard> {};

TEST_P(PluginRun, AnyBlockLengthAndControlsChangedBetweenRunsGiveTheEnginesBytes)
{
    const Setting settings[] = {defaults(), stages_far_from_defaults(), out_of_range()};
    const uint32_t lengths[] = {1, 7, 4096, 7, 1, 4096, 1, 7, 4096, 4096};
    const std::vector<int16_t> input = signal(20000, 3);

    for (const bool in_place : {false, true}) {
        Rig rig(GetParam(), 44100.0, 4096, in_place);
        ASSERT_TRUE(rig.plugin.ok()) << rig.plugin.error();
        rig.plugin.activate();
        KorvaEngine *engine = korva_new();
        engine->sample_rate = 44100;

        std::vector<float> got, want;
        size_t at = 0;
        for (size_t b = 0; b < std::size(lengths); ++b) {
            const Setting &s = settings[b % 3];
            std::copy(std::begin(s.controls), std::end(s.controls), rig.controls);
            const std::vector<float> out = rig.run(&input[2 * at], lengths[b]);
            got.insert(got.end(), out.begin(), out.end());

            std::vector<int16_t> reference(&input[2 * at], &input[2 * (at + lengths[b])]);
            engine->params = s.expected;
            korva_process(engine, reference.data(), reference.data(), static_cast<int32_t>(lengths[b]));
            const std::vector<float> expected = to_float(reference);
            want.insert(want.end(), expected.begin(), expected.end());
            at += lengths[b];
        }
        korva_delete(engine);
        ASSERT_EQ(got.size(), want.size());
        size_t differ = 0;
        for (size_t i = 0; i < got.size(); ++i)
            differ += got[i] != want[i];
        EXPECT_EQ(differ, 0u) << "of " << got.size() << " samples, in place: " << in_place;
    }
}

TEST_P(PluginRun, ActivationAfterAudioGivesAFreshEnginesOutput)
{
    const std::vector<int16_t> first = signal(3000, 1), second = signal(5000, 2);
    const Setting on = stages_far_from_defaults();
    auto run_second = [&](Rig &rig) {
        std::vector<float> out;
        for (uint32_t at = 0; at < 5000; at += 500) {
            const std::vector<float> part = rig.run(&second[2 * at], 500);
            out.insert(out.end(), part.begin(), part.end());
        }
        return out;
    };

    Rig used(GetParam(), 22050.0, 4096, false), unreset(GetParam(), 22050.0, 4096, false),
        fresh(GetParam(), 22050.0, 4096, false);
    ASSERT_TRUE(used.plugin.ok() && unreset.plugin.ok() && fresh.plugin.ok());
    for (Rig *rig : {&used, &unreset, &fresh}) {
        std::copy(std::begin(on.controls), std::end(on.controls), rig->controls);
        rig->plugin.activate();
    }
    used.run(first.data(), 3000);
    unreset.run(first.data(), 3000);
    used.plugin.activate();

    const std::vector<float> after_activation = run_second(used);
    EXPECT_EQ(after_activation, run_second(fresh));
    EXPECT_NE(run_second(unreset), after_activation) << "the first audio should leave state behind";
}

// Pass-through (effects off, gain 1.0): the output shows the conversion,
// apart from the engine's own clip of -32768 to -32767.
TEST_P(PluginRun, FloatSamplesBecome16BitRoundedAndClippedAndComeBackAsSOver32768)
{
    Setting through = defaults();
    put(through, "enable_global", 0.0f, 0);
    put(through, "preamp", 256.0f, 256);

    // Every 16-bit value comes back exactly.
    std::vector<int16_t> all(2 * 32768);
    for (int v = -32768; v < 32768; ++v)
        all[static_cast<size_t>(v + 32768)] = static_cast<int16_t>(v);
    Rig rig(GetParam(), 44100.0, 32768, false);
    ASSERT_TRUE(rig.plugin.ok());
    rig.plugin.activate();
    std::copy(std::begin(through.controls), std::end(through.controls), rig.controls);
    const std::vector<float> out = rig.run(all.data(), 32768);
    for (size_t i = 0; i < all.size(); ++i)
        ASSERT_EQ(out[i], (all[i] == -32768 ? -32767 : all[i]) / 32768.0f) << all[i];

    // Floats that are no 16-bit value: nearest (ties to even), clipped, NaN silent.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float odd[][2] = {{1.0f, 32767}, {-1.0f, -32767}, {2.0f, 32767}, {-1e30f, -32767},
                            {nan, 0},      {0.5f / 32768, 0}, {1.5f / 32768, 2}, {-2.5f / 32768, -2},
                            {1000.4f / 32768, 1000}, {-1000.6f / 32768, -1001}};
    for (const auto &[x, s] : odd) {
        rig.in_l[0] = x;
        rig.in_r[0] = x;
        rig.plugin.run(1);
        EXPECT_EQ(rig.out_l[0], s / 32768.0f) << "input " << x;
        EXPECT_EQ(rig.out_r[0], s / 32768.0f) << "input " << x;
    }
}

// Rates the engine cannot take run as 44100 Hz; controls a host leaves
// unconnected hold their defaults; without audio buffers nothing happens.
TEST_P(PluginRun, BadRatesUnconnectedControlsAndMissingBuffersAreSafe)
{
    const std::vector<int16_t> input = signal(2000, 5);
    Rig reference(GetParam(), 44100.0, 2000, false);
    ASSERT_TRUE(reference.plugin.ok());
    const Setting d = defaults();
    std::copy(std::begin(d.controls), std::end(d.controls), reference.controls);
    const std::vector<float> want = reference.run(input.data(), 2000);

    std::vector<double> rates = {0.0};
    if (GetParam() == Standard::lv2)
        rates.insert(rates.end(), {-48000.0, std::nan(""), 1e300});
    for (const double rate : rates) {
        LoadedPlugin plugin(GetParam(), rate);
        ASSERT_TRUE(plugin.ok()) << "rate " << rate;
        std::vector<float> l(2000), r(2000), out_l(2000), out_r(2000);
        plugin.activate();
        plugin.run(100);   // nothing connected yet
        plugin.connect(0, l.data());
        plugin.connect(1, r.data());
        plugin.connect(2, out_l.data());
        plugin.run(100);   // no right output
        plugin.connect(3, out_r.data());
        plugin.connect(99, out_r.data());   // no such port
        for (int i = 0; i < 2000; ++i) {
            l[i] = input[2 * i] / 32768.0f;
            r[i] = input[2 * i + 1] / 32768.0f;
        }
        plugin.run(2000);
        std::vector<float> got(4000);
        for (int i = 0; i < 2000; ++i) {
            got[2 * i] = out_l[i];
            got[2 * i + 1] = out_r[i];
        }
        EXPECT_EQ(got, want) << "rate " << rate;
    }
}

INSTANTIATE_TEST_SUITE_P(Both, PluginRun, ::testing::Values(Standard::lv2, Standard::ladspa),
                         [](const auto &info) { return std::string(plugin_core_test::name_of(info.param)); });

}  // namespace
