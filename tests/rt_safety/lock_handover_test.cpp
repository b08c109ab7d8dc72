// The engine lock is the one hand-over between the audio thread (mod_samples
// holds it around each block) and the interface thread (it holds it around a
// whole-record rewrite such as Reset or publishing a loaded preset). Even when
// the other side takes and releases it in a tight loop, each side gets it
// within a bounded wait and both keep making progress.
//
// The bound is deliberately loose (seconds, where a block takes well under a
// millisecond): it catches a lock held across many blocks or never released,
// not a slow machine.
#include "engine/korva.h"
#include "xmms_plugin/korva_plugin.h"
#include "libxmms/xmms_plugin.h"
#include "rt_support.h"
#include "tests/support/stage_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>


namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kBound = std::chrono::seconds(5);

class LockHandover : public ::testing::Test {
protected:
    void SetUp() override
    {
        plugin = get_eplugin_info();
        ASSERT_NE(plugin, nullptr);
        plugin->init();
        ASSERT_NE(rt_test::plugin_engine(), nullptr);
        on = korva_test::stages_far_from_defaults();
        korva_engine_lock();
        korva_params_write(rt_test::plugin_engine(), &on);
        korva_engine_unlock();
    }
    void TearDown() override
    {
        if (plugin != nullptr)
            plugin->cleanup();
    }

    // The interface thread's rewrite: Reset, then the parameters again.
    void rewrite()
    {
        korva_engine_lock();
        korva_reset(rt_test::plugin_engine());
        korva_params_write(rt_test::plugin_engine(), &on);
        korva_engine_unlock();
    }

    rt_test::PrivateConfig config;
    EffectPlugin *plugin = nullptr;
    KorvaParams on {};
};

TEST_F(LockHandover, BlocksKeepFlowingWhileTheInterfaceThreadHammersTheLock)
{
    std::atomic<bool> stop{false};
    std::atomic<long> rewrites{0};
    std::thread interface_thread([&] {
        while (!stop.load(std::memory_order_relaxed)) {
            rewrite();
            rewrites.fetch_add(1, std::memory_order_relaxed);
        }
    });

    std::vector<int16_t> audio = korva_test::stereo_signal(1024);
    const int length = static_cast<int>(audio.size() * sizeof(int16_t));
    Clock::duration longest{};
    long blocks = 0;
    long rewrites_seen_at_start = -1;
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    // At least 400 blocks, and on until the interface thread has rewritten
    // the record in between: on a loaded machine it may not be scheduled at
    // all during the first few hundred blocks.
    auto competed = [&] { return rewrites_seen_at_start >= 0 && rewrites.load() > rewrites_seen_at_start; };
    for (; (blocks < 400 || !competed()) && Clock::now() < deadline; ++blocks) {
        if (blocks == 1)
            rewrites_seen_at_start = rewrites.load();
        void *data = audio.data();
        const auto t0 = Clock::now();
        ASSERT_EQ(plugin->mod_samples(&data, length, FMT_S16_NE, 44100, 2), length);
        longest = std::max(longest, Clock::now() - t0);
    }
    const long rewrites_during = rewrites.load() - rewrites_seen_at_start;
    stop = true;
    interface_thread.join();

    EXPECT_GE(blocks, 400);
    EXPECT_LT(longest, kBound) << "a block waited "
                               << std::chrono::duration_cast<std::chrono::milliseconds>(longest).count()
                               << " ms for the engine lock";
    // The interface thread really competed for the lock during the run.
    EXPECT_GT(rewrites_during, 0);
}

TEST_F(LockHandover, TheInterfaceThreadGetsTheLockWhileBlocksArriveBackToBack)
{
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::thread audio_thread([&] {
        std::vector<int16_t> audio = korva_test::stereo_signal(1024);
        const int length = static_cast<int>(audio.size() * sizeof(int16_t));
        while (!stop.load(std::memory_order_relaxed)) {
            void *data = audio.data();
            plugin->mod_samples(&data, length, FMT_S16_LE, 48000, 2);
            blocks.fetch_add(1, std::memory_order_relaxed);
        }
    });

    // Wait (bounded) until blocks flow, then rewrite in a tight loop until the
    // audio thread has processed another 50 blocks in between.
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (blocks.load() == 0 && Clock::now() < deadline)
        std::this_thread::yield();
    const long blocks_at_start = blocks.load();
    Clock::duration longest{};
    long done = 0;
    while ((done < 200 || blocks.load() - blocks_at_start < 50) && Clock::now() < deadline) {
        const auto t0 = Clock::now();
        rewrite();
        longest = std::max(longest, Clock::now() - t0);
        ++done;
    }
    const long blocks_during = blocks.load() - blocks_at_start;
    stop = true;
    audio_thread.join();

    EXPECT_GE(done, 200);
    EXPECT_LT(longest, kBound) << "a rewrite waited "
                               << std::chrono::duration_cast<std::chrono::milliseconds>(longest).count()
                               << " ms for the engine lock";
    // Blocks kept coming between the rewrites.
    EXPECT_GE(blocks_during, 50);
}

}  // namespace
