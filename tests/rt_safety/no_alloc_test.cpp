// The audio path allocates no memory, opens no file and takes no lock of its
// own: korva_process takes none at all, the plug-in's mod_samples exactly one
// (the engine lock) per block it processes.
//
// This binary replaces the allocator entry points, the file-opening calls and
// the mutex lock calls with counting wrappers around the C library's own.
// Counting is armed per thread, only around the calls under test, so the test
// framework's own work is never counted. The wrappers also see calls made
// inside libxmkorva.so, which the first test proves.
#include "engine/korva.h"
#include "xmms_plugin/korva_plugin.h"
#include "libxmms/xmms_plugin.h"
#include "counting_calls.h"
#include "rt_support.h"
#include "tests/support/stage_settings.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

using rt_test::Armed;
using rt_test::Counts;

// The rates cover all three rate classes, a change of rate in the middle of
// a stream, and the rates the engine treats as its default.
constexpr int kRates[] = {44100, 8000, 22050, 48000, 96000, 11025, 32000};

class RtSafety : public ::testing::Test {
protected:
    void SetUp() override
    {
        rt_test::resolve_wrapped_calls();
    }
};

// Without this, a zero count below could come from wrappers that are never
// called. Allocations, opens and locks made here and inside libxmkorva.so
// (korva_new, the engine lock) are all seen.
TEST_F(RtSafety, TheCountersSeeAllocationsOpensAndLocksInThisBinaryAndInThePlugin)
{
    Armed armed_here;
    std::vector<int> *v = new std::vector<int>(100);
    delete v;
    std::FILE *f = std::fopen("/dev/null", "r");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    KorvaEngine *engine = korva_new();
    korva_delete(engine);
    korva_engine_lock();
    korva_engine_unlock();
    const Counts c = armed_here.stop();
    EXPECT_GE(c.allocations, 3);  // the vector object, its storage, the engine
    EXPECT_GE(c.releases, 3);
    EXPECT_GE(c.opens, 1);
    EXPECT_GE(c.locks, 1);
    ASSERT_NE(engine, nullptr);
}

TEST_F(RtSafety, ProcessingWithEveryStageOnAllocatesOpensAndLocksNothing)
{
    KorvaEngine *engine = korva_new();
    ASSERT_NE(engine, nullptr);
    const KorvaParams on = korva_test::stages_far_from_defaults();
    korva_params_write(engine, &on);
    const std::vector<int16_t> input = korva_test::stereo_signal(8192);
    std::vector<int16_t> output(input.size());
    const int32_t sizes[] = {1, 7, 256, 257, 1000, 4096, 8192};

    Armed armed_here;
    long blocks = 0;
    for (int round = 0; round < 40; ++round) {
        engine->sample_rate = kRates[round % 7];
        // Brainwave recomputes its oscillator when the frequency changes.
        engine->params.bw_fq = round % 2 == 0 ? 7000 : 15000;
        for (const int32_t n : sizes) {
            korva_process(engine, input.data(), output.data(), n);
            korva_process(engine, output.data(), output.data(), n);  // in place
            blocks += 2;
        }
    }
    // The rates the engine replaces by its default.
    engine->sample_rate = 0;
    korva_process(engine, input.data(), output.data(), 4096);
    engine->sample_rate = -44100;
    korva_process(engine, input.data(), output.data(), 4096);
    const Counts c = armed_here.stop();

    EXPECT_EQ(blocks, 40 * 14);
    EXPECT_EQ(c.allocations, 0);
    EXPECT_EQ(c.releases, 0);
    EXPECT_EQ(c.opens, 0);
    EXPECT_EQ(c.locks, 0);
    korva_delete(engine);
}

TEST_F(RtSafety, ModSamplesTakesOnlyTheEngineLockOncePerBlockAndAllocatesNothing)
{
    rt_test::PrivateConfig config;
    EffectPlugin *plugin = get_eplugin_info();
    ASSERT_NE(plugin, nullptr);
    plugin->init();
    ASSERT_NE(rt_test::plugin_engine(), nullptr);
    const KorvaParams on = korva_test::stages_far_from_defaults();
    korva_params_write(rt_test::plugin_engine(), &on);

    std::vector<int16_t> audio = korva_test::stereo_signal(4096);
    // The same audio one byte off alignment, which goes through a copy.
    std::vector<unsigned char> unaligned(audio.size() * 2 + 1);

    Armed armed_here;
    long processed = 0;
    for (int round = 0; round < 200; ++round) {
        void *data = audio.data();
        const int length = static_cast<int>(audio.size() * sizeof(int16_t)) - (round % 4) * 4 - round % 3;
        const AFormat fmt = round % 2 == 0 ? FMT_S16_NE : FMT_S16_LE;
        EXPECT_EQ(plugin->mod_samples(&data, length, fmt, kRates[round % 7], 2), length);
        ++processed;
    }
    for (int round = 0; round < 20; ++round) {
        void *data = unaligned.data() + 1;
        EXPECT_EQ(plugin->mod_samples(&data, 4000, FMT_S16_NE, 44100, 2), 4000);
        ++processed;
    }
    // Rates the engine runs as its default.
    for (const int rate : {0, -1, -48000}) {
        void *data = audio.data();
        EXPECT_EQ(plugin->mod_samples(&data, 4096, FMT_S16_NE, rate, 2), 4096);
        ++processed;
    }
    // A block of less than one frame still stores its rate, under the lock.
    {
        void *data = audio.data();
        EXPECT_EQ(plugin->mod_samples(&data, 2, FMT_S16_NE, 44100, 2), 2);
        ++processed;
    }
    const Counts accepted = armed_here.stop();

    // Blocks that pass through untouched take no lock at all.
    Armed armed_again;
    for (int round = 0; round < 50; ++round) {
        void *data = audio.data();
        plugin->mod_samples(&data, 4096, FMT_S16_BE, 44100, 2);
        plugin->mod_samples(&data, 4096, FMT_S16_NE, 44100, 1);
        plugin->mod_samples(&data, 4096, FMT_U8, 44100, 2);
    }
    const Counts rejected = armed_again.stop();

    plugin->cleanup();

    EXPECT_EQ(accepted.allocations, 0);
    EXPECT_EQ(accepted.releases, 0);
    EXPECT_EQ(accepted.opens, 0);
    EXPECT_EQ(accepted.locks, processed);
    EXPECT_EQ(rejected.allocations, 0);
    EXPECT_EQ(rejected.opens, 0);
    EXPECT_EQ(rejected.locks, 0);
}

}  // namespace
