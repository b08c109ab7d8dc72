// run() of the LV2 and the LADSPA plug-in allocates no memory, opens no file
// and takes no lock, at any block length, with controls changing between
// runs and every stage on.
#include "counting_calls.h"
#include "tests/support/loaded_plugin.h"

#include "engine/param_fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using plugin_core_test::LoadedPlugin;
using plugin_core_test::Standard;

class PluginRunRtSafety : public ::testing::TestWithParam<Standard> {
protected:
    void SetUp() override { rt_test::resolve_wrapped_calls(); }
};

TEST_P(PluginRunRtSafety, RunAllocatesOpensAndLocksNothing)
{
    LoadedPlugin plugin(GetParam(), 48000.0);
    ASSERT_TRUE(plugin.ok()) << plugin.error();
    constexpr uint32_t kMax = 8192;
    std::vector<float> l(kMax), r(kMax);
    for (uint32_t i = 0; i < kMax; ++i) {
        l[i] = 0.6f * std::sin(i * 0.03f);
        r[i] = 0.5f * std::sin(i * 0.011f);
    }
    float controls[KORVA_PARAM_FIELD_COUNT];
    KorvaParams p;
    korva_default_params(&p);
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        controls[i] = static_cast<float>(korva_param_get(&p, &korva_param_fields[i]));
        plugin.connect(4 + i, &controls[i]);
    }
    plugin.connect(0, l.data());
    plugin.connect(1, r.data());
    plugin.connect(2, l.data());   // in place
    plugin.connect(3, r.data());
    plugin.activate();

    // Indices of the stage switches, turned on one per round.
    const char *switches[] = {"enable_extspace", "enable_extfx", "enable_vs", "enable_bw", "spc_mode"};
    const uint32_t lengths[] = {1, 7, 256, 257, 4096, 8192};
    long runs = 0;
    rt_test::Armed armed;
    for (int round = 0; round < 20; ++round) {
        const int at = static_cast<int>(korva_param_field_find(switches[round % 5]) - korva_param_fields);
        controls[at] = 1.0f;
        controls[29] = round % 2 == 0 ? 7000.0f : 15000.5f;   // bw_fq: the oscillator is recomputed
        controls[2] = static_cast<float>(round * 19);          // preamp
        for (const uint32_t n : lengths) {
            plugin.run(n);
            ++runs;
        }
    }
    const rt_test::Counts c = armed.stop();
    EXPECT_EQ(runs, 20 * 6);
    EXPECT_EQ(c.allocations, 0);
    EXPECT_EQ(c.releases, 0);
    EXPECT_EQ(c.opens, 0);
    EXPECT_EQ(c.locks, 0);
}

// The counters see what happens inside the loaded object: its instantiate allocates.
TEST_P(PluginRunRtSafety, TheCountersSeeAllocationsInsideThePlugin)
{
    rt_test::Armed armed;
    LoadedPlugin plugin(GetParam(), 44100.0);
    const rt_test::Counts c = armed.stop();
    ASSERT_TRUE(plugin.ok());
    EXPECT_GE(c.allocations, 2);   // the instance and its engine
}

INSTANTIATE_TEST_SUITE_P(Both, PluginRunRtSafety, ::testing::Values(Standard::lv2, Standard::ladspa),
                         [](const auto &info) { return std::string(plugin_core_test::name_of(info.param)); });

}  // namespace
