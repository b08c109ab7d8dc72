// Without an engine (its allocation failed) the plug-in stays harmless:
// audio passes through untouched, the saved settings are left alone, and the
// configure callback opens nothing. With memory running out anywhere, no C
// entry point lets an exception out: each returns its failure value.
//
// Allocations are made to fail by this binary's own malloc family, which the
// plug-in's and the player library's calls (operator new included) resolve
// to. Two limits: every request as large as an engine record, or every
// request after a budget of granted ones. (Not built with sanitizers, which
// bring their own allocator.)
#include "xmms_plugin/adapter.h"
#include "xmms_plugin/korva_plugin.h"
#include "libxmms/xmms_configfile.h"
#include "settings/korva_settings.h"
#include "plugin_test_support.h"
#include "preset_file/preset_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *old, size_t size);
void *__libc_memalign(size_t alignment, size_t size);
}

namespace {

std::atomic<bool> allocation_limit_armed{false};
std::atomic<long> allocation_budget{-1};   // requests still granted; -1: no budget
std::atomic<long> allocations_refused{0};

bool refused(size_t size)
{
    bool refuse = allocation_limit_armed.load(std::memory_order_relaxed) && size >= sizeof(KorvaEngine);
    for (long left = allocation_budget.load(); left >= 0 && !refuse;) {
        if (left == 0)
            refuse = true;
        else if (allocation_budget.compare_exchange_weak(left, left - 1))
            break;
    }
    if (refuse) {
        allocations_refused.fetch_add(1);
        errno = ENOMEM;
    }
    return refuse;
}

struct ArmedAllocationLimit {
    ArmedAllocationLimit() { allocation_limit_armed = true; }
    ~ArmedAllocationLimit() { allocation_limit_armed = false; }
};

} // namespace

extern "C" void *malloc(size_t size)
{
    return refused(size) ? nullptr : __libc_malloc(size);
}

extern "C" void *calloc(size_t count, size_t size)
{
    if (count != 0 && size > static_cast<size_t>(-1) / count)
        return nullptr;
    return refused(count * size) ? nullptr : __libc_calloc(count, size);
}

extern "C" void *realloc(void *old, size_t size)
{
    return refused(size) ? nullptr : __libc_realloc(old, size);
}

extern "C" void *aligned_alloc(size_t alignment, size_t size)
{
    return refused(size) ? nullptr : __libc_memalign(alignment, size);
}

extern "C" void *memalign(size_t alignment, size_t size)
{
    return refused(size) ? nullptr : __libc_memalign(alignment, size);
}

extern "C" int posix_memalign(void **out, size_t alignment, size_t size)
{
    if (refused(size))
        return ENOMEM;
    void *p = __libc_memalign(alignment, size);
    if (p == nullptr)
        return ENOMEM;
    *out = p;
    return 0;
}

namespace {

using korva_test::ScratchDir;
using korva_test::plugin_korva;
using korva_test::plugin_window1;

TEST(NoEngine, TheLimitMakesEngineAllocationFail)
{
    ArmedAllocationLimit limit;
    EXPECT_EQ(korva_new(), nullptr);
}

TEST(NoEngine, PluginPassesAudioThroughAndLeavesTheSettingsAlone)
{
    ScratchDir scratch;
    const std::string config = scratch.file("config");
    ConfigFile *cfg = xmms_cfg_new();
    xmms_cfg_write_int(cfg, "xmkorva-5", "xmkorva_enable_extfx", 1);
    xmms_cfg_write_int(cfg, "xmkorva-5", "xmkorva_superbass", 200);
    ASSERT_TRUE(xmms_cfg_write_file(cfg, config.c_str()));
    xmms_cfg_free(cfg);
    const std::string saved = korva_test::read_file(config);
    xmms_cfg_set_default_filename(config.c_str());

    EffectPlugin *record = get_eplugin_info();
    {
        ArmedAllocationLimit limit;
        record->init();
    }
    ASSERT_EQ(plugin_korva(), nullptr);

    const std::vector<int16_t> signal = korva_test::stereo_signal(256);
    std::vector<int16_t> block = signal;
    void *data = block.data();
    const int length = static_cast<int>(block.size() * sizeof(int16_t));
    for (AFormat fmt : {FMT_S16_NE, FMT_S16_LE}) {
        EXPECT_EQ(record->mod_samples(&data, length, fmt, 48000, 2), length);
        EXPECT_EQ(data, block.data());
        EXPECT_EQ(block, signal);
    }

    record->configure();
    EXPECT_EQ(plugin_window1(), nullptr) << "no window without an engine";

    record->cleanup();
    EXPECT_EQ(plugin_korva(), nullptr);
    EXPECT_EQ(korva_test::read_file(config), saved) << "clean-up without an engine must not rewrite the settings";

    // Once memory is there again, a new start works and finds the settings.
    record->init();
    ASSERT_NE(plugin_korva(), nullptr);
    EXPECT_EQ(plugin_korva()->params.enable_extfx, 1);
    EXPECT_EQ(plugin_korva()->params.superbass, 200);
    record->cleanup();
    xmms_cfg_set_default_filename(nullptr);
}

// The plug-in's whole life and the settings and preset calls beneath it, run
// again and again with memory running out after one more granted request
// each time, until a run needs no more than it is given. Every run must
// return normally, leave no temporary file, and keep the configuration and
// the preset whole: each is replaced entirely or not at all.
TEST(OutOfMemory, NoCEntryPointThrowsAndFilesStayWhole)
{
    ScratchDir scratch;
    const std::string config = scratch.file("config");
    const std::string preset = scratch.file("preset.kp");
    ConfigFile *seed = xmms_cfg_new();
    xmms_cfg_write_int(seed, "xmkorva-5", "xmkorva_superbass", 200);
    xmms_cfg_write_string(seed, "xmkorva-5", "xmkorva_last_preset_file", "/a/preset/path/long/enough/to/be/allocated");
    ASSERT_TRUE(xmms_cfg_write_file(seed, config.c_str()));
    xmms_cfg_free(seed);
    xmms_cfg_set_default_filename(config.c_str());
    setenv("XMMS_CONFIG_FILE", config.c_str(), 1);   // should the override ever be lost
    EffectPlugin *record = get_eplugin_info();
    record->init();   // once with memory, so the toolkit's own singletons exist
    record->cleanup();
    ASSERT_EQ(plugin_korva(), nullptr);   // looks the plug-in up while memory is there

    const auto life = [&] {
        record->init();
        if (KorvaEngine *engine = plugin_korva()) {
            korva_save(engine, preset.c_str());
            korva_load(engine, preset.c_str());
        }
        KorvaParams params;
        korva_default_params(&params);
        char path[KORVA_PRESET_PATH_SIZE] = "";
        if (ConfigFile *cfg = xmms_cfg_open_file(config.c_str())) {
            korva_settings_read(cfg, &params, path);
            korva_settings_write(cfg, &params, path);
            xmms_cfg_write_file(cfg, config.c_str());
            xmms_cfg_free(cfg);
        }
        std::free(xmms_cfg_get_default_filename());
        record->cleanup();
    };

    long budget = 0;
    for (;; ++budget) {
        allocations_refused = 0;
        allocation_budget = budget;
        bool threw = false;
        try {
            life();
        } catch (...) {
            threw = true;
        }
        allocation_budget = -1;
        ASSERT_FALSE(threw) << "an exception left a C entry point with " << budget << " allocations granted";
        ASSERT_EQ(plugin_korva(), nullptr);
        const std::vector<std::string> entries = [&] {
            std::vector<std::string> names;
            for (const auto &entry : std::filesystem::directory_iterator(scratch.path))
                names.push_back(entry.path().filename().string());
            std::sort(names.begin(), names.end());
            return names;
        }();
        EXPECT_TRUE(entries == std::vector<std::string>{"config"} ||
                    entries == (std::vector<std::string>{"config", "preset.kp"}))
            << "a temporary file was left with " << budget << " allocations granted";
        EXPECT_NE(korva_test::read_file(config).find("xmkorva_superbass=200\n"), std::string::npos) << budget;
        KorvaParams read;
        if (entries.size() == 2) {
            EXPECT_EQ(korva_read_preset(preset.c_str(), &read), 1) << budget;
        }
        if (allocations_refused == 0)
            break;
        ASSERT_LT(budget, 100000) << "the run never completes";
    }
    EXPECT_GT(budget, 10) << "the runs must have needed memory";

    // Presets need no memory at all: fixed buffers from start to end.
    record->init();
    ASSERT_NE(plugin_korva(), nullptr);
    allocation_budget = 0;
    const int saved = korva_save(plugin_korva(), preset.c_str());
    const int loaded = korva_load(plugin_korva(), preset.c_str());
    allocation_budget = -1;
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(plugin_korva()->params.superbass, 200);
    record->cleanup();
    xmms_cfg_set_default_filename(nullptr);
    unsetenv("XMMS_CONFIG_FILE");
}

// A key write that finds no memory cannot say so (the call returns nothing):
// the handle keeps it, and the save that follows fails once with a message
// and leaves the file as it was, instead of dropping the key unnoticed.
TEST(OutOfMemory, AKeyLostToMemoryKeepsTheFileAsItWas)
{
    ScratchDir scratch;
    const std::string config = scratch.file("config");
    const std::string before = "[xmkorva-5]\nxmkorva_superbass=200\n";
    korva_test::write_file(config, before);

    xmms_cfg_set_default_filename(config.c_str());
    ConfigFile *cfg = xmms_cfg_open_default_file();
    ASSERT_NE(cfg, nullptr);
    allocations_refused = 0;
    allocation_budget = 0;
    xmms_cfg_write_int(cfg, "xmkorva-5", "xmkorva_a_key_too_long_for_a_short_string", 1);
    allocation_budget = -1;
    ASSERT_GT(allocations_refused.load(), 0);
    xmms_cfg_write_int(cfg, "xmkorva-5", "xmkorva_superbass", 100);
    testing::internal::CaptureStderr();
    EXPECT_EQ(xmms_cfg_write_default_file(cfg), 0);
    EXPECT_EQ(xmms_cfg_write_default_file(cfg), 0);
    const std::string said = testing::internal::GetCapturedStderr();
    xmms_cfg_free(cfg);
    xmms_cfg_set_default_filename(nullptr);

    EXPECT_EQ(korva_test::read_file(config), before);
    const std::size_t first = said.find("out of memory");
    ASSERT_NE(first, std::string::npos) << said;
    EXPECT_EQ(said.find("out of memory", first + 1), std::string::npos) << "said more than once: " << said;
}

} // namespace
