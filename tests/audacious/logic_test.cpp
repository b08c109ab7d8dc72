// The Audacious effect's own logic, without Audacious: settings through a map
// in place of Audacious's configuration, and the audio calls against the
// engine run directly.
#include "audacious/settings.h"
#include "audacious/stream.h"
#include "engine/samples.h"

#include "engine/param_fields.h"
#include "tests/support/scratch.h"
#include "tests/support/stage_settings.h"
#include "tests/support/stereo_signal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// A configuration section as Audacious keeps it: text values, the defaults
// answering for keys never set.
struct MapStore {
    std::map<std::string, std::string> values;
    KorvaAudStore store{this, get_int, set_int, get_str, set_str};

    MapStore()
    {
        const char *const *pair = korva_aud_defaults();
        for (; pair[0] != nullptr; pair += 2)
            values[pair[0]] = pair[1];
    }
    static int get_int(void *self, const char *key)
    {
        const auto &v = static_cast<MapStore *>(self)->values;
        const auto at = v.find(key);
        return at == v.end() ? 0 : std::atoi(at->second.c_str());
    }
    static void set_int(void *self, const char *key, int value)
    {
        static_cast<MapStore *>(self)->values[key] = std::to_string(value);
    }
    static void get_str(void *self, const char *key, char *out, std::size_t size)
    {
        const std::string v = static_cast<MapStore *>(self)->values[key];
        std::snprintf(out, size, "%s", v.c_str());
    }
    static void set_str(void *self, const char *key, const char *value)
    {
        static_cast<MapStore *>(self)->values[key] = value;
    }
};

struct StreamDeleter {
    void operator()(KorvaAudStream *s) const { korva_aud_stream_delete(s); }
};
using StreamPtr = std::unique_ptr<KorvaAudStream, StreamDeleter>;

KorvaParams params_of(const KorvaAudStream *s)
{
    KorvaParams p;
    korva_params_read(s->engine, &p);
    return p;
}

bool same_fields(const KorvaParams &a, const KorvaParams &b)
{
    for (const KorvaParamField &f : korva_param_fields)
        if (korva_param_get(&a, &f) != korva_param_get(&b, &f))
            return false;
    return true;
}

std::vector<float> as_float(const std::vector<int16_t> &s)
{
    std::vector<float> f(s.size());
    for (std::size_t i = 0; i < s.size(); ++i)
        f[i] = s[i] / 32768.0f;
    return f;
}

// What the engine alone makes of `in` from a fresh start.
std::vector<int16_t> engine_output(const KorvaParams &p, int rate, std::vector<int16_t> in)
{
    KorvaEngine *e = korva_new();
    korva_params_write(e, &p);
    e->sample_rate = rate;
    korva_process(e, in.data(), in.data(), static_cast<int32_t>(in.size() / 2));
    korva_delete(e);
    return in;
}

// Runs `samples` through the stream in random block lengths, the last block by finish().
void run_blocks(KorvaAudStream *s, std::vector<float> &samples, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> frames(0, 3000);
    std::size_t at = 0;
    while (at < samples.size()) {
        const std::size_t n = std::min<std::size_t>(2 * frames(rng), samples.size() - at);
        if (at + n == samples.size())
            korva_aud_finish(s, samples.data() + at, static_cast<int>(n));
        else
            korva_aud_process(s, samples.data() + at, static_cast<int>(n));
        at += n;
    }
}

std::vector<int16_t> as_s16(const std::vector<float> &f)
{
    std::vector<int16_t> s(f.size());
    for (std::size_t i = 0; i < f.size(); ++i) {
        const float scaled = f[i] * 32768.0f;
        EXPECT_EQ(scaled, std::floor(scaled)) << "sample " << i << " is no 16-bit value";
        s[i] = static_cast<int16_t>(scaled);
    }
    return s;
}

TEST(AudaciousSettings, SetterValuesComeBackAfterARestartTruncatedToTheFieldWidth)
{
    MapStore cfg;
    KorvaParams expected;
    {
        StreamPtr s(korva_aud_open(&cfg.store));
        ASSERT_TRUE(s);
        korva_aud_set_field(&cfg.store, s.get(), KORVA_AUD_PREAMP, 300);
        korva_aud_set_field(&cfg.store, s.get(), KORVA_AUD_ENABLE_EXTFX, 300);      // 8 bits: 44
        korva_aud_set_field(&cfg.store, s.get(), KORVA_AUD_EXTSPACE_MODE, 65538);   // 16 bits: 2
        korva_aud_set_field(&cfg.store, s.get(), KORVA_AUD_BW_FQ, 7000);
        korva_aud_set_field(&cfg.store, s.get(), KORVA_AUD_SPC_MODE, 1);
        korva_aud_set_bw_choice(&cfg.store, s.get(), 2);
        korva_aud_set_field(&cfg.store, s.get(), -1, 5);                             // no such field
        korva_aud_set_field(&cfg.store, s.get(), KORVA_AUD_FIELD_COUNT, 5);
        expected = params_of(s.get());
    }
    EXPECT_EQ(expected.preamp, 300);
    EXPECT_EQ(expected.enable_extfx, 44);
    EXPECT_EQ(expected.extspace_mode, 2);
    EXPECT_EQ(expected.bw_fq, 7000);
    EXPECT_EQ(expected.spc_mode, 1);
    EXPECT_EQ(expected.bw_mode, 2);
    EXPECT_EQ(expected.bw_value, 102);
    EXPECT_EQ(cfg.values["enable_extfx"], "44");
    EXPECT_EQ(cfg.values["extspace_mode"], "2");

    StreamPtr again(korva_aud_open(&cfg.store));
    EXPECT_TRUE(same_fields(params_of(again.get()), expected));

    // Values written into the configuration by hand are truncated the same way.
    cfg.values["enable_extfx"] = "256";
    cfg.values["bw_mode"] = "-1";
    StreamPtr edited(korva_aud_open(&cfg.store));
    EXPECT_EQ(params_of(edited.get()).enable_extfx, 0);
    EXPECT_EQ(params_of(edited.get()).bw_mode, -1);

    // "Disable" leaves the level alone; a block with level 51 shows as "Normal".
    korva_aud_set_bw_choice(&cfg.store, edited.get(), 0);
    KorvaParams p = params_of(edited.get());
    EXPECT_EQ(p.bw_mode, 0);
    EXPECT_EQ(p.bw_value, 102);
    EXPECT_EQ(korva_aud_bw_choice(&p), 0);
    p.bw_mode = 2;
    p.bw_value = 51;
    EXPECT_EQ(korva_aud_bw_choice(&p), 1);
}

TEST(AudaciousSettings, EveryFieldPositionNamesItsKey)
{
    MapStore cfg;
    for (int i = 0; i < KORVA_AUD_FIELD_COUNT; ++i)
        korva_aud_set_field(&cfg.store, nullptr, i, 1000 + i);
    KorvaParams p;
    korva_aud_read_params(&cfg.store, &p);
    EXPECT_EQ(p.enable_global, static_cast<int8_t>(1000 + KORVA_AUD_ENABLE_GLOBAL));
    EXPECT_EQ(p.preamp, 1000 + KORVA_AUD_PREAMP);
    EXPECT_EQ(p._3dsurround_mode, 1000 + KORVA_AUD_3DSURROUND_MODE);
    EXPECT_EQ(p.vs_intensity, 1000 + KORVA_AUD_VS_INTENSITY);
    EXPECT_EQ(p.spc_mode, 1000 + KORVA_AUD_SPC_MODE);
    EXPECT_EQ(p.bw_fq, 1000 + KORVA_AUD_BW_FQ);
    EXPECT_EQ(p.bw_sigpreamp, 1000 + KORVA_AUD_BW_SIGPREAMP);
    EXPECT_EQ(cfg.values.size(), KORVA_PARAM_FIELD_COUNT + 2u);   // no stray keys
}

// A hand-edited key that is no number gives its field the default; the
// keys beside it keep their values.
TEST(AudaciousSettings, ANonNumberGivesTheDefaultAndKeepsTheRest)
{
    MapStore cfg;
    cfg.values["dewoofer"] = "loud";
    cfg.values["fidelity"] = "12abc";
    cfg.values["bw_fq"] = "99999999999";
    cfg.values["enable_global"] = "";
    cfg.values["preamp"] = "200";
    cfg.values["vs_intensity"] = "-3";
    KorvaParams defaults, p;
    korva_default_params(&defaults);
    korva_aud_read_params(&cfg.store, &p);
    EXPECT_EQ(p.dewoofer, defaults.dewoofer);
    EXPECT_EQ(p.fidelity, defaults.fidelity);
    EXPECT_EQ(p.bw_fq, defaults.bw_fq);
    EXPECT_EQ(p.enable_global, defaults.enable_global);
    EXPECT_EQ(p.preamp, 200);
    EXPECT_EQ(p.vs_intensity, -3);
}

TEST(AudaciousSettings, ResetAndPresetLoadKeepTheMasterSwitches)
{
    korva_test::ScratchDir dir;
    MapStore cfg;
    StreamPtr s(korva_aud_open(&cfg.store));
    const KorvaParams custom = korva_test::stages_far_from_defaults();
    korva_params_write(s->engine, &custom);
    const std::string preset = dir.file("all-on.kp");
    ASSERT_EQ(korva_aud_save_preset(&cfg.store, s.get(), preset.c_str()), 1);
    EXPECT_EQ(cfg.values["last_preset_file"], preset);

    korva_aud_set_field(&cfg.store, s.get(), KORVA_AUD_ENABLE_GLOBAL, 0);
    korva_aud_set_field(&cfg.store, s.get(), KORVA_AUD_SPC_SWAPSTEREO, 0);
    korva_aud_reset(&cfg.store, s.get());
    KorvaParams expected;
    korva_default_params(&expected);
    expected.enable_global = 0;
    expected.spc_swapstereo = 0;
    expected.spc_phaseinvert = 1;
    EXPECT_TRUE(same_fields(params_of(s.get()), expected));
    KorvaParams stored;
    korva_aud_read_params(&cfg.store, &stored);
    EXPECT_TRUE(same_fields(stored, expected));

    ASSERT_EQ(korva_aud_load_preset(&cfg.store, s.get(), preset.c_str()), 1);
    expected = custom;
    expected.enable_global = 0;
    expected.spc_swapstereo = 0;
    EXPECT_TRUE(same_fields(params_of(s.get()), expected));
    korva_aud_read_params(&cfg.store, &stored);
    EXPECT_TRUE(same_fields(stored, expected));

    // A file that is no preset changes nothing, the remembered path included.
    const std::string junk = dir.file("junk.kp");
    std::ofstream(junk) << "not a preset";
    EXPECT_EQ(korva_aud_load_preset(&cfg.store, s.get(), junk.c_str()), 0);
    EXPECT_EQ(korva_aud_load_preset(&cfg.store, s.get(), dir.file("missing.kp").c_str()), 0);
    EXPECT_EQ(korva_aud_save_preset(&cfg.store, s.get(), dir.file("no/such/dir.kp").c_str()), 0);
    EXPECT_TRUE(same_fields(params_of(s.get()), expected));
    EXPECT_EQ(cfg.values["last_preset_file"], preset);

    // "~/" is the home directory; a path with a line break is never stored.
    setenv("HOME", dir.path.c_str(), 1);
    EXPECT_EQ(korva_aud_load_preset(&cfg.store, s.get(), "~/all-on.kp"), 1);
    EXPECT_EQ(cfg.values["last_preset_file"], "~/all-on.kp");
    korva_aud_set_last_preset(&cfg.store, "/tmp/a\nb.kp");
    EXPECT_EQ(cfg.values["last_preset_file"], "~/all-on.kp");
}

TEST(AudaciousSettings, OldPlayerSettingsAreImportedOnce)
{
    korva_test::ScratchDir dir;
    const std::string old = dir.file("config");
    std::ofstream(old) << "[other]\nxmkorva_preamp=1\n\n[xmkorva-5]\nxmkorva_enable_extfx=300\n"
                          "xmkorva_bw_fq=7000\nxmkorva_vs_mode=junk\nxmkorva_last_preset_file=/music/a.kp\n";
    MapStore cfg;
    EXPECT_EQ(korva_aud_import_xmms(&cfg.store, old.c_str()), 3);
    EXPECT_EQ(cfg.values["enable_extfx"], "44");
    EXPECT_EQ(cfg.values["bw_fq"], "7000");
    EXPECT_EQ(cfg.values["preamp"], "128");   // from another section: not imported
    EXPECT_EQ(cfg.values["vs_mode"], "1");    // not an integer: not imported
    EXPECT_EQ(cfg.values["last_preset_file"], "/music/a.kp");
    EXPECT_EQ(cfg.values["imported_xmms"], "1");

    // The next start leaves later changes alone.
    cfg.values["bw_fq"] = "2000";
    EXPECT_EQ(korva_aud_import_xmms(&cfg.store, old.c_str()), -1);
    EXPECT_EQ(cfg.values["bw_fq"], "2000");

    // No old file: nothing imported, and never looked for again.
    MapStore fresh;
    EXPECT_EQ(korva_aud_import_xmms(&fresh.store, dir.file("missing").c_str()), 0);
    EXPECT_EQ(fresh.values["imported_xmms"], "1");
    EXPECT_EQ(korva_aud_import_xmms(&fresh.store, old.c_str()), -1);
    EXPECT_EQ(fresh.values["bw_fq"], "3600");
}

TEST(AudaciousStream, RandomBlocksAreExactAgainstTheEngine)
{
    MapStore cfg;
    for (const int rate : {44100, 22050}) {
        for (const bool stages : {false, true}) {
            StreamPtr s(korva_aud_open(&cfg.store));
            KorvaParams p;
            korva_default_params(&p);
            if (stages)
                p = korva_test::stages_far_from_defaults();
            korva_params_write(s->engine, &p);
            int channels = 2, r = rate;
            korva_aud_start(s.get(), channels, r);
            const std::vector<int16_t> in = korva_test::stereo_signal(30000, rate);
            std::vector<float> samples = as_float(in);
            run_blocks(s.get(), samples, rate + stages);
            EXPECT_EQ(as_s16(samples), engine_output(p, rate, in)) << rate << " Hz, all stages " << stages;
        }
    }
}

TEST(AudaciousStream, AfterAFlushNothingOfTheOldPositionComesOut)
{
    MapStore cfg;
    StreamPtr s(korva_aud_open(&cfg.store));
    const KorvaParams p = korva_test::stages_far_from_defaults();
    korva_params_write(s->engine, &p);
    korva_aud_start(s.get(), 2, 44100);
    std::vector<float> before = as_float(korva_test::stereo_signal(20000, 1));
    run_blocks(s.get(), before, 1);

    korva_aud_flush(s.get());
    const std::vector<int16_t> after = korva_test::stereo_signal(10000, 2);
    std::vector<float> samples = as_float(after);
    run_blocks(s.get(), samples, 2);
    EXPECT_EQ(as_s16(samples), engine_output(p, 44100, after));
    EXPECT_TRUE(same_fields(params_of(s.get()), p));
    EXPECT_EQ(s->engine->sample_rate, 44100);
}

TEST(AudaciousStream, OtherChannelCountsPassThroughAndSamplesConvertByTheRule)
{
    MapStore cfg;
    StreamPtr s(korva_aud_open(&cfg.store));
    for (const int channels : {1, 3, 6}) {
        korva_aud_start(s.get(), channels, 44100);
        std::vector<float> samples = as_float(korva_test::stereo_signal(999, channels));
        samples[0] = 1.7f;   // beyond full scale: untouched all the same
        const std::vector<float> original = samples;
        run_blocks(s.get(), samples, channels);
        EXPECT_EQ(samples, original) << channels << " channels";
    }

    // Scale by 32768, round to nearest (ties to even), clip; NaN is silence.
    EXPECT_EQ(korva_sample_from_float(1.0f), 32767);
    EXPECT_EQ(korva_sample_from_float(-1.0f), -32768);
    EXPECT_EQ(korva_sample_from_float(-7.0f), -32768);
    EXPECT_EQ(korva_sample_from_float(INFINITY), 32767);
    EXPECT_EQ(korva_sample_from_float(NAN), 0);
    EXPECT_EQ(korva_sample_from_float(0.5f / 32768), 0);
    EXPECT_EQ(korva_sample_from_float(1.5f / 32768), 2);
    EXPECT_EQ(korva_sample_from_float(-2.6f / 32768), -3);
    EXPECT_EQ(korva_sample_from_float(-12345.0f / 32768), -12345);

    // Stereo full-scale input with odd length: the half frame at the end stays.
    korva_aud_start(s.get(), 2, 44100);
    std::vector<float> odd = {2.0f, -2.0f, 0.25f};
    korva_aud_process(s.get(), odd.data(), 3);
    EXPECT_EQ(odd[2], 0.25f);
    korva_aud_process(nullptr, odd.data(), 3);
    korva_aud_flush(nullptr);
}

}  // namespace
