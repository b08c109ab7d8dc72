// The audio thread and the interface thread at once, as in the player: one
// thread feeds blocks through mod_samples while the other changes the
// parameters the way the window does (single-field writes of the whole
// block, Reset and preset loads under the engine lock) and finally cleans the
// plug-in up. Run under ThreadSanitizer this shows the absence of data races;
// in every build it checks that nothing is lost or used after release.
#include "xmms_plugin/adapter.h"
#include "xmms_plugin/korva_plugin.h"
#include "libxmms/xmms_configfile.h"
#include "plugin_test_support.h"
#include "tests/support/field_values.h"
#include "preset_file/preset_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using korva_test::ScratchDir;
using korva_test::plugin_korva;

constexpr int block_frames = 256;

// Feeds blocks until told to stop, or at most max_blocks, counting the
// blocks that came back changed and unchanged.
struct AudioThread {
    static constexpr int max_blocks = 200000;
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    std::atomic<int> blocks{0};
    int wrong_length = 0;
    int changed = 0;
    int unchanged_after_cleanup = 0;
    int changed_after_cleanup = 0;
    std::atomic<bool> *cleaned_up = nullptr;

    void run()
    {
        const std::vector<int16_t> signal = korva_test::stereo_signal(block_frames, 7);
        std::vector<int16_t> block(signal.size());
        EffectPlugin *record = get_eplugin_info();
        for (int i = 0; i < max_blocks && !stop.load(std::memory_order_acquire); ++i) {
            // Read before the block: a block that starts after clean-up has
            // returned must pass through.
            const bool after_cleanup = cleaned_up != nullptr && cleaned_up->load(std::memory_order_acquire);
            block = signal;
            void *data = block.data();
            const int length = static_cast<int>(block.size() * sizeof(int16_t));
            if (record->mod_samples(&data, length, (i & 1) ? FMT_S16_LE : FMT_S16_NE, 44100 + (i & 3) * 1000, 2) !=
                length)
                ++wrong_length;
            const bool same = block == signal;
            if (!same)
                ++changed;
            if (after_cleanup)
                ++(same ? unchanged_after_cleanup : changed_after_cleanup);
            blocks.fetch_add(1, std::memory_order_release);
        }
        done.store(true, std::memory_order_release);
    }
};

void wait_for_blocks(const AudioThread &audio, int count)
{
    while (audio.blocks.load(std::memory_order_acquire) < count && !audio.done.load(std::memory_order_acquire))
        std::this_thread::yield();
}

// The window's Reset: the whole record back to its defaults, keeping the
// three switches a reset never changes.
void reset_like_the_window()
{
    KorvaParams before;
    korva_params_read(plugin_korva(), &before);
    korva_engine_lock();
    korva_reset(plugin_korva());
    plugin_korva()->params.enable_global = before.enable_global;
    plugin_korva()->params.spc_swapstereo = before.spc_swapstereo;
    plugin_korva()->params.spc_phaseinvert = before.spc_phaseinvert;
    korva_engine_unlock();
}

class Concurrency : public ::testing::Test {
protected:
    void SetUp() override
    {
        xmms_cfg_set_default_filename(scratch.file("config").c_str());
        // A preset with every effect on, written from an engine of its own.
        KorvaEngine *source = korva_new();
        ASSERT_NE(source, nullptr);
        using P = KorvaParams;
        source->params = korva_test::with_fields(
            source->params, {{&P::enable_extspace, 1}, {&P::enable_extfx, 1}, {&P::enable_vs, 1},
                             {&P::enable_bw, 1}, {&P::superbass, 180}, {&P::spc_mode, 1}, {&P::chain_index, 4}});
        ASSERT_EQ(korva_save(source, preset.c_str()), 1);
        korva_delete(source);
        get_eplugin_info()->init();
        ASSERT_NE(plugin_korva(), nullptr);
    }
    void TearDown() override
    {
        get_eplugin_info()->cleanup();
        xmms_cfg_set_default_filename(nullptr);
    }

    ScratchDir scratch;
    std::string preset = scratch.file("all-on.preset");
};

TEST_F(Concurrency, WindowWritesResetsAndPresetLoadsWhileAudioRuns)
{
    AudioThread audio;
    std::thread player([&audio] { audio.run(); });
    wait_for_blocks(audio, 2);

    constexpr int iterations = 600;
    KorvaParams last{};
    for (int i = 0; i < iterations; ++i) {
        KorvaParams p;
        korva_params_read(plugin_korva(), &p);
        // A slider move: korva_update rewrites every field, each atomically.
        p.preamp = 64 + (i * 7) % 320;
        p.superbass = (i * 13) % 257;
        p._3dsurround_mode = static_cast<int16_t>(i % 4);
        p.enable_extfx = static_cast<int8_t>(i & 1);
        p.chain_index = static_cast<int16_t>(i % 6);
        korva_params_write(plugin_korva(), &p);
        if (i % 50 == 25)
            reset_like_the_window();
        if (i % 50 == 40) {
            // The window's preset load: the whole block under the lock,
            // keeping the same three switches.
            KorvaParams kept;
            korva_params_read(plugin_korva(), &kept);
            korva_engine_lock();
            const int loaded = korva_load(plugin_korva(), preset.c_str());
            plugin_korva()->params.enable_global = kept.enable_global;
            plugin_korva()->params.spc_swapstereo = kept.spc_swapstereo;
            plugin_korva()->params.spc_phaseinvert = kept.spc_phaseinvert;
            korva_engine_unlock();
            EXPECT_EQ(loaded, 1);
        }
        korva_params_read(plugin_korva(), &last);
        if (i % 16 == 0)   // let blocks interleave with the writes
            wait_for_blocks(audio, audio.blocks.load() + 1);
    }
    audio.stop = true;
    player.join();

    EXPECT_EQ(audio.wrong_length, 0);
    EXPECT_GT(audio.blocks.load(), iterations / 16);
    EXPECT_EQ(audio.changed, audio.blocks.load()) << "every stereo block was processed";
    // The last write survived: nothing the audio thread did overwrote it.
    KorvaParams now;
    korva_params_read(plugin_korva(), &now);
    EXPECT_EQ(std::memcmp(&now, &last, sizeof now), 0);
    EXPECT_EQ(now.preamp, 64 + ((iterations - 1) * 7) % 320);
}

TEST_F(Concurrency, CleanupWhileBlocksKeepArrivingNeverUsesTheFreedEngine)
{
    std::atomic<bool> cleaned_up{false};
    AudioThread audio;
    audio.cleaned_up = &cleaned_up;
    std::thread player([&audio] { audio.run(); });
    wait_for_blocks(audio, 50);

    get_eplugin_info()->cleanup();
    cleaned_up.store(true, std::memory_order_release);
    EXPECT_EQ(plugin_korva(), nullptr);

    const int at_cleanup = audio.blocks.load();
    wait_for_blocks(audio, at_cleanup + 200);
    audio.stop = true;
    player.join();

    EXPECT_EQ(audio.wrong_length, 0);
    EXPECT_GE(audio.unchanged_after_cleanup, 199);
    EXPECT_EQ(audio.changed_after_cleanup, 0) << "a block after clean-up reached an engine";

    get_eplugin_info()->init();   // TearDown cleans up
    ASSERT_NE(plugin_korva(), nullptr);
}

} // namespace
