// korva-host with its window and the plug-in's configuration window open
// (run under xvfb-run -a): the render is unchanged by the window, and leaving
// with the configuration window open saves the settings.
#include "engine/korva.h"
#include "host_run.h"
#include "libxmms/xmms_configfile.h"
#include "settings/korva_settings.h"
#include "tests/support/scratch.h"
#include "tests/support/stereo_signal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

TEST(HostProgramWindow, ConfigureAtStartThenQuitSavesAndRendersTheSameAudio)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run -a";
    korva_test::ScratchDir scratch;
    const std::string config = scratch.file("config");
    const std::string input = scratch.file("in.wav");
    const std::string output = scratch.file("out.wav");

    KorvaParams settings;
    korva_default_params(&settings);
    settings.enable_extfx = 1;
    settings.superbass = 150;
    settings.bw_fq = 7000;
    ConfigFile *cfg = xmms_cfg_new();
    korva_settings_write(cfg, &settings, "/presets/last.kp");
    ASSERT_TRUE(xmms_cfg_write_file(cfg, config.c_str()));
    xmms_cfg_free(cfg);

    korva_test::Audio source;
    source.rate = 44100;
    source.channels = 2;
    source.samples = korva_test::stereo_signal(20000, 9);
    ASSERT_TRUE(korva_test::write_wav(input, source));

    const korva_test::HostRun run =
        korva_test::run_host({"--config", config, "--configure", "--quit-when-done", "--output", output, input}, true);
    ASSERT_EQ(run.status, 0) << run.errors;

    KorvaEngine *engine = korva_new();
    korva_params_write(engine, &settings);
    std::vector<int16_t> expected(source.samples.size());
    korva_process(engine, source.samples.data(), expected.data(), 20000);
    korva_delete(engine);
    EXPECT_EQ(korva_test::read_wav(output).samples, expected);

    cfg = xmms_cfg_open_file(config.c_str());
    ASSERT_NE(cfg, nullptr);
    KorvaParams stored;
    korva_default_params(&stored);
    char last[KORVA_PRESET_PATH_SIZE] = "";
    EXPECT_EQ(korva_settings_read(cfg, &stored, last), 33);
    xmms_cfg_free(cfg);
    EXPECT_EQ(std::memcmp(&stored, &settings, sizeof stored), 0);
    EXPECT_STREQ(last, "/presets/last.kp");
}

} // namespace
