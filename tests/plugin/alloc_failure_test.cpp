// Without an engine (its allocation failed) the plug-in stays harmless:
// audio passes through untouched, the saved settings are left alone, and the
// configure callback opens nothing.
//
// The allocation is made to fail by this binary's own malloc family, which
// the plug-in's calls resolve to: while armed, every request as large as an
// engine record fails as if memory were exhausted. (Not built with
// sanitizers, which bring their own allocator.)
#include "plugin/adapter.h"
#include "plugin/korva_plugin.h"
#include "plugin/xmms_configfile.h"
#include "plugin_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *old, size_t size);
void *__libc_memalign(size_t alignment, size_t size);
}

namespace {

std::atomic<bool> allocation_limit_armed{false};

bool refused(size_t size)
{
    if (allocation_limit_armed.load(std::memory_order_relaxed) && size >= sizeof(KorvaEngine)) {
        errno = ENOMEM;
        return true;
    }
    return false;
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
    const std::string saved = korva_test::read_text(config);
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
    EXPECT_EQ(korva_test::read_text(config), saved) << "clean-up without an engine must not rewrite the settings";

    // Once memory is there again, a new start works and finds the settings.
    record->init();
    ASSERT_NE(plugin_korva(), nullptr);
    EXPECT_EQ(plugin_korva()->params.enable_extfx, 1);
    EXPECT_EQ(plugin_korva()->params.superbass, 200);
    record->cleanup();
    xmms_cfg_set_default_filename(nullptr);
}

} // namespace
