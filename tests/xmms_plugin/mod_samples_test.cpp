// The effect-plug-in record and the modify-samples rules: what is processed,
// what passes through byte for byte, and what the engine's rate becomes.
#include "xmms_plugin/adapter.h"
#include "xmms_plugin/korva_plugin.h"
#include "libxmms/xmms_configfile.h"
#include "plugin_test_support.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <functional>
#include <vector>

namespace {

using korva_test::ScratchDir;
using korva_test::plugin_korva;
using korva_test::stereo_signal;

class ModSamples : public ::testing::Test {
protected:
    void SetUp() override
    {
        xmms_cfg_set_default_filename(scratch.file("config").c_str());
        get_eplugin_info()->init();
        ASSERT_NE(plugin_korva(), nullptr);
    }
    void TearDown() override
    {
        get_eplugin_info()->cleanup();
        xmms_cfg_set_default_filename(nullptr);
    }

    // What the engine makes of the frames when run directly on a fresh engine
    // with default settings at the given rate.
    static std::vector<int16_t> reference(const std::vector<int16_t> &in, int32_t frames, int32_t rate)
    {
        KorvaEngine *engine = korva_new();
        engine->sample_rate = rate;
        std::vector<int16_t> out(in);
        korva_process(engine, in.data(), out.data(), frames);
        korva_delete(engine);
        return out;
    }

    static int mod(std::vector<unsigned char> &bytes, int length, AFormat fmt, int rate, int nch)
    {
        void *data = bytes.data();
        const int result = get_eplugin_info()->mod_samples(&data, length, fmt, rate, nch);
        EXPECT_EQ(data, bytes.data()) << "the buffer pointer must not be replaced";
        return result;
    }

    static std::vector<unsigned char> as_bytes(const std::vector<int16_t> &samples)
    {
        std::vector<unsigned char> bytes(samples.size() * 2);
        std::memcpy(bytes.data(), samples.data(), bytes.size());
        return bytes;
    }

    ScratchDir scratch;
};

TEST(PluginRecord, DescribesKorvaAndWiresTheExportedCallbacks)
{
    EffectPlugin *record = get_eplugin_info();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record, get_eplugin_info());
    EXPECT_STREQ(record->description, "Korva for XMMS 5.5.1");
    EXPECT_EQ(record->handle, nullptr);
    EXPECT_EQ(record->filename, nullptr);
    EXPECT_EQ(record->query_format, nullptr);

    // The player finds the callbacks only through the record; each must be
    // the exported function of the same name.
    void *self = dlopen(nullptr, RTLD_NOW);
    EXPECT_EQ(reinterpret_cast<void *>(record->init), dlsym(self, "plugin_init"));
    EXPECT_EQ(reinterpret_cast<void *>(record->cleanup), dlsym(self, "plugin_cleanup"));
    EXPECT_EQ(reinterpret_cast<void *>(record->about), dlsym(self, "plugin_about"));
    EXPECT_EQ(reinterpret_cast<void *>(record->configure), dlsym(self, "plugin_configure"));
    EXPECT_EQ(reinterpret_cast<void *>(record->mod_samples), dlsym(self, "plugin_mod_samples"));
    dlclose(self);
}

TEST_F(ModSamples, SignedSixteenBitStereoIsProcessedInPlace)
{
    for (AFormat fmt : {FMT_S16_LE, FMT_S16_NE}) {
        SCOPED_TRACE(fmt);
        korva_reset(plugin_korva());
        const std::vector<int16_t> input = stereo_signal(512);
        const std::vector<int16_t> expected = reference(input, 512, 44100);
        ASSERT_NE(expected, input) << "default settings change the sound";

        std::vector<unsigned char> bytes = as_bytes(input);
        EXPECT_EQ(mod(bytes, static_cast<int>(bytes.size()), fmt, 44100, 2), static_cast<int>(bytes.size()));
        EXPECT_EQ(bytes, as_bytes(expected));
    }
}

TEST_F(ModSamples, ConsecutiveBlocksContinueTheEnginesHistory)
{
    // Three blocks through the plug-in equal one run of the whole signal.
    const std::vector<int16_t> input = stereo_signal(3000);
    const std::vector<int16_t> expected = reference(input, 3000, 22050);
    std::vector<unsigned char> bytes = as_bytes(input);
    int offset = 0;
    for (int length : {4000, 4, 7996}) {
        void *data = bytes.data() + offset;
        EXPECT_EQ(get_eplugin_info()->mod_samples(&data, length, FMT_S16_NE, 22050, 2), length);
        offset += length;
    }
    ASSERT_EQ(offset, static_cast<int>(bytes.size()));
    EXPECT_EQ(bytes, as_bytes(expected));
}

TEST_F(ModSamples, OtherFormatsAndChannelCountsPassThroughUnchanged)
{
    // The callback as a C player sees it: the format is any integer, also
    // one no AFormat enumerator names.
    using PlayerModSamples = int (*)(void **, int, int, int, int);
    const auto mod_samples = reinterpret_cast<PlayerModSamples>(get_eplugin_info()->mod_samples);
    struct Case {
        int fmt;
        int nch;
    };
    const Case cases[] = {
        {FMT_S16_NE, 1}, {FMT_S16_LE, 1}, {FMT_S16_NE, 3}, {FMT_S16_NE, 0}, {FMT_S16_LE, -2},
        {FMT_U8, 2},     {FMT_S8, 2},     {FMT_U16_LE, 2}, {FMT_U16_BE, 2}, {FMT_U16_NE, 2},
        {FMT_S16_BE, 2}, {8, 2},          {-1, 2},         {0x105, 2},
    };
    const std::vector<unsigned char> original = as_bytes(stereo_signal(300));
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << "format " << c.fmt << ", " << c.nch << " channels");
        std::vector<unsigned char> bytes = original;
        void *data = bytes.data();
        const int length = static_cast<int>(bytes.size());
        EXPECT_EQ(mod_samples(&data, length, c.fmt, 44100, c.nch), length);
        EXPECT_EQ(data, bytes.data());
        EXPECT_EQ(bytes, original);
    }
}

TEST_F(ModSamples, LengthNotAMultipleOfFourLeavesTheTrailingBytes)
{
    const std::vector<int16_t> input = stereo_signal(3);   // 12 bytes available
    const std::vector<int16_t> expected = reference(input, 2, 44100);
    std::vector<unsigned char> bytes = as_bytes(input);
    const std::vector<unsigned char> original = bytes;

    EXPECT_EQ(mod(bytes, 10, FMT_S16_NE, 44100, 2), 10);
    const std::vector<unsigned char> processed = as_bytes(expected);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 8, processed.begin())) << "two frames processed";
    EXPECT_NE(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 8),
              std::vector<unsigned char>(original.begin(), original.begin() + 8));
    EXPECT_TRUE(std::equal(bytes.begin() + 8, bytes.end(), original.begin() + 8)) << "bytes 8..11 untouched";
}

TEST_F(ModSamples, SampleRateIsTakenOnlyFromSignedSixteenBitStereoBlocks)
{
    EXPECT_EQ(plugin_korva()->sample_rate, 44100);
    std::vector<unsigned char> bytes = as_bytes(stereo_signal(64));
    mod(bytes, static_cast<int>(bytes.size()), FMT_S16_NE, 48000, 2);
    EXPECT_EQ(plugin_korva()->sample_rate, 48000);

    mod(bytes, static_cast<int>(bytes.size()), FMT_S16_NE, 22050, 1);      // mono
    EXPECT_EQ(plugin_korva()->sample_rate, 48000);
    mod(bytes, static_cast<int>(bytes.size()), FMT_S16_BE, 11025, 2);      // big-endian
    EXPECT_EQ(plugin_korva()->sample_rate, 48000);
    mod(bytes, static_cast<int>(bytes.size()), FMT_S16_LE, 32000, 2);
    EXPECT_EQ(plugin_korva()->sample_rate, 32000);
}

TEST_F(ModSamples, NonPositiveRateIsStoredAndProcessedAsTheDefaultRate)
{
    const std::vector<unsigned char> original = as_bytes(stereo_signal(64));
    for (int rate : {0, -44100}) {
        // What a 44100 Hz block does to the engine as it stands now.
        KorvaEngine *twin = korva_new();
        ASSERT_NE(twin, nullptr);
        std::memcpy(twin, plugin_korva(), sizeof(KorvaEngine));
        twin->sample_rate = 44100;
        std::vector<unsigned char> want = original;
        korva_process(twin, reinterpret_cast<const int16_t *>(want.data()), reinterpret_cast<int16_t *>(want.data()),
                      static_cast<int32_t>(want.size() / 4));
        korva_delete(twin);

        std::vector<unsigned char> bytes = original;
        EXPECT_EQ(mod(bytes, static_cast<int>(bytes.size()), FMT_S16_NE, rate, 2), static_cast<int>(bytes.size()));
        EXPECT_EQ(bytes, want);
        EXPECT_EQ(plugin_korva()->sample_rate, rate);
    }
}

TEST_F(ModSamples, BlocksWithoutFramesOrBufferStoreTheRateAndChangeNothing)
{
    EffectPlugin *record = get_eplugin_info();
    const std::vector<unsigned char> original = as_bytes(stereo_signal(16));
    std::vector<unsigned char> bytes = original;
    void *none = nullptr;
    struct Case {
        const char *what;
        int length;
        std::function<int(int length, int rate)> call;
    };
    const Case cases[] = {
        {"no pointer", 4096, [&](int n, int rate) { return record->mod_samples(nullptr, n, FMT_S16_NE, rate, 2); }},
        {"null buffer", 4096, [&](int n, int rate) { return record->mod_samples(&none, n, FMT_S16_LE, rate, 2); }},
        {"negative length", -4, [&](int n, int rate) { return mod(bytes, n, FMT_S16_NE, rate, 2); }},
        {"zero length", 0, [&](int n, int rate) { return mod(bytes, n, FMT_S16_LE, rate, 2); }},
        {"no whole frame", 3, [&](int n, int rate) { return mod(bytes, n, FMT_S16_NE, rate, 2); }},
    };
    int rate = 8000;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        rate += 1000;
        EXPECT_EQ(c.call(c.length, rate), c.length);
        EXPECT_EQ(plugin_korva()->sample_rate, rate);
    }
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(bytes, original);

    // The engine's history is untouched: a full block afterwards equals a
    // fresh engine's first block at the last rate stored.
    const std::vector<int16_t> input = stereo_signal(64);
    std::vector<unsigned char> block = as_bytes(input);
    mod(block, static_cast<int>(block.size()), FMT_S16_NE, 48000, 2);
    EXPECT_EQ(block, as_bytes(reference(input, 64, 48000)));
}

TEST_F(ModSamples, OddAddressedBufferIsProcessedLikeAnAlignedOne)
{
    const int frames = 700;   // more than one chunk of the aligned copy
    const std::vector<int16_t> input = stereo_signal(frames);
    const std::vector<unsigned char> expected = as_bytes(reference(input, frames, 44100));

    std::vector<unsigned char> storage(input.size() * 2 + 1);
    std::memcpy(storage.data() + 1, input.data(), input.size() * 2);
    void *data = storage.data() + 1;
    const int length = static_cast<int>(input.size() * 2);
    EXPECT_EQ(get_eplugin_info()->mod_samples(&data, length, FMT_S16_NE, 44100, 2), length);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), storage.begin() + 1));
}

} // namespace
