// korva-host end to end: what it writes is exactly what the engine makes of
// the same audio with the same settings; other formats and channel counts
// pass through untouched; bad input ends in one clear message.
#include "engine/korva.h"
#include "host_run.h"
#include "libxmms/xmms_configfile.h"
#include "settings/korva_settings.h"
#include "tests/support/scratch.h"
#include "tests/support/stage_settings.h"
#include "tests/support/stereo_signal.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using korva_test::Audio;
using korva_test::HostRun;
using korva_test::run_host;
using korva_test::ScratchDir;

bool write_config(const std::string &path, const KorvaParams &params)
{
    ConfigFile *cfg = xmms_cfg_new();
    korva_settings_write(cfg, &params, "~/");
    const bool ok = xmms_cfg_write_file(cfg, path.c_str()) != 0;
    xmms_cfg_free(cfg);
    return ok;
}

// The engine run directly over the whole signal, as one block.
std::vector<int16_t> processed(const std::vector<int16_t> &stereo, const KorvaParams &params, int rate)
{
    KorvaEngine *engine = korva_new();
    korva_params_write(engine, &params);
    engine->sample_rate = rate;
    std::vector<int16_t> out(stereo.size());
    korva_process(engine, stereo.data(), out.data(), static_cast<int32_t>(stereo.size() / 2));
    korva_delete(engine);
    return out;
}

Audio stereo_input(int frames, int rate)
{
    Audio audio;
    audio.rate = rate;
    audio.channels = 2;
    audio.samples = korva_test::stereo_signal(frames, 3);
    return audio;
}

class HostProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(write_config(config, settings));
        ASSERT_TRUE(korva_test::write_wav(input, source));
    }

    HostRun render(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--config", config, "--output", output});
        args.push_back(input);
        return run_host(args, false);
    }

    ScratchDir scratch;
    std::string config = scratch.file("config");
    std::string input = scratch.file("in.wav");
    std::string output = scratch.file("out.wav");
    KorvaParams settings = korva_test::stages_far_from_defaults();
    Audio source = stereo_input(30000, 48000);
};

TEST_F(HostProgram, OutputEqualsTheEngineRunDirectlyWithTheSavedSettings)
{
    const std::vector<int16_t> expected = processed(source.samples, settings, 48000);
    ASSERT_NE(expected, source.samples);
    for (const char *block : {"2048", "12", "65536"}) {
        SCOPED_TRACE(block);
        const HostRun run = render({"--block", block});
        ASSERT_EQ(run.status, 0) << run.errors;
        const Audio out = korva_test::read_wav(output);
        EXPECT_EQ(out.rate, 48000);
        EXPECT_EQ(out.channels, 2);
        EXPECT_EQ(out.subtype, SF_FORMAT_PCM_16);
        EXPECT_EQ(out.samples, expected);
    }
}

// A float file holding s / 32768 is read back as exactly s (x * 32768,
// rounded), so it renders like its 16-bit twin; libsndfile's own integer
// reads would give silence.
TEST_F(HostProgram, FloatFilesRenderLikeTheirSixteenBitTwin)
{
    const std::vector<int16_t> expected = processed(source.samples, settings, 48000);
    std::vector<double> values(source.samples.begin(), source.samples.end());
    for (double &value : values)
        value /= 32768.0;
    for (const int subtype : {SF_FORMAT_FLOAT, SF_FORMAT_DOUBLE}) {
        SCOPED_TRACE(subtype);
        SF_INFO info{};
        info.samplerate = 48000;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | subtype;
        SNDFILE *file = sf_open(input.c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(sf_writef_double(file, values.data(), 30000), 30000);
        sf_close(file);
        const HostRun run = render({});
        ASSERT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(korva_test::read_wav(output).samples, expected);
    }
}

TEST_F(HostProgram, ExplicitLittleEndianIsProcessedLikeNative)
{
    const HostRun run = render({"--format", "s16le"});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(korva_test::read_wav(output).samples, processed(source.samples, settings, 48000));
}

TEST_F(HostProgram, SettingsFileIsWrittenBackAtExit)
{
    ASSERT_EQ(render({}).status, 0);
    ConfigFile *cfg = xmms_cfg_open_file(config.c_str());
    ASSERT_NE(cfg, nullptr);
    KorvaParams stored;
    korva_default_params(&stored);
    char path[KORVA_PRESET_PATH_SIZE] = "";
    EXPECT_EQ(korva_settings_read(cfg, &stored, path), 33);
    xmms_cfg_free(cfg);
    EXPECT_EQ(std::memcmp(&stored, &settings, sizeof stored), 0);
}

TEST_F(HostProgram, OtherFormatsPassThroughUnchanged)
{
    struct Case {
        const char *format;
        int subtype;
        bool eight_bit;
    };
    const Case cases[] = {
        {"s16be", SF_FORMAT_PCM_16, false}, {"u16le", SF_FORMAT_PCM_16, false}, {"u16be", SF_FORMAT_PCM_16, false},
        {"u16ne", SF_FORMAT_PCM_16, false}, {"s8", SF_FORMAT_PCM_U8, true},     {"u8", SF_FORMAT_PCM_U8, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.format);
        const HostRun run = render({"--format", c.format, "--block", "1000"});
        ASSERT_EQ(run.status, 0) << run.errors;
        const Audio out = korva_test::read_wav(output);
        EXPECT_EQ(out.subtype, c.subtype);
        std::vector<int16_t> expected = source.samples;
        if (c.eight_bit)   // 8-bit keeps each sample's high byte
            for (int16_t &s : expected)
                s = static_cast<int16_t>(s & ~0xff);
        EXPECT_EQ(out.samples, expected);
    }
}

TEST_F(HostProgram, OtherChannelCountsPassThroughUnchanged)
{
    HostRun run = render({"--channels", "1"});
    ASSERT_EQ(run.status, 0) << run.errors;
    Audio out = korva_test::read_wav(output);
    ASSERT_EQ(out.channels, 1);
    std::vector<int16_t> left;
    for (size_t i = 0; i < source.samples.size(); i += 2)
        left.push_back(source.samples[i]);
    EXPECT_EQ(out.samples, left);

    run = render({"--channels", "3", "--block", "600"});
    ASSERT_EQ(run.status, 0) << run.errors;
    out = korva_test::read_wav(output);
    ASSERT_EQ(out.channels, 3);
    std::vector<int16_t> three;
    for (size_t i = 0; i < source.samples.size(); i += 2)
        three.insert(three.end(), {source.samples[i], source.samples[i + 1], source.samples[i]});
    EXPECT_EQ(out.samples, three);
}

TEST_F(HostProgram, MonoFileIsPlayedAsStereoAndFilesFollowEachOther)
{
    Audio mono;
    mono.rate = 48000;
    mono.channels = 1;
    for (size_t i = 0; i < 5000; ++i)
        mono.samples.push_back(source.samples[2 * i]);
    const std::string second = scratch.file("mono.wav");
    ASSERT_TRUE(korva_test::write_wav(second, mono));

    const HostRun run = run_host({"--config", config, "--output", output, input, second}, false);
    ASSERT_EQ(run.status, 0) << run.errors;
    std::vector<int16_t> both = source.samples;
    for (int16_t s : mono.samples)
        both.insert(both.end(), {s, s});
    EXPECT_EQ(korva_test::read_wav(output).samples, processed(both, settings, 48000));
}

TEST_F(HostProgram, BadInputEndsWithOneClearMessage)
{
    Audio other = stereo_input(100, 44100);
    const std::string other_rate = scratch.file("44100.wav");
    ASSERT_TRUE(korva_test::write_wav(other_rate, other));
    const std::string not_audio = scratch.file("notes.txt");
    std::ofstream(not_audio) << "not audio\n";

    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::string missing = scratch.file("missing.wav");
    const std::vector<Case> cases = {
        {{"--output", output, missing}, missing},
        {{"--output", output, not_audio}, not_audio},
        {{"--output", output}, "no input file"},
        {{"--output", output, "--format", "s24", input}, "unknown format 's24'"},
        {{"--output", output, "--block", "6", input}, "--block must be a whole number of 4-byte frames"},
        {{"--output", output, "--block", "0", input}, "--block"},
        {{"--output", output, "--channels", "0", input}, "--channels"},
        {{"--output", output, "--block", "nine", input}, "nine"},
        {{"--output", output, input, other_rate}, "differs"},
        {{"--output", scratch.file("no/such/dir/out.wav"), input}, "no/such/dir/out.wav"},
        {{"--plugin", scratch.file("none.so"), "--output", output, input}, "cannot load"},
        {{"--plugin", KORVA_XMMS_LIBRARY, "--output", output, input}, "is not an effect plug-in"},
        {{"--output", input, input}, "the output file is also an input"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args{"--config", config};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const HostRun run = run_host(args, false);
        SCOPED_TRACE(run.errors);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.errors.find("korva-host: "), std::string::npos);
        EXPECT_NE(run.errors.find(c.message), std::string::npos) << "expected: " << c.message;
    }
    EXPECT_FALSE(std::filesystem::exists(output)) << "no output file from a refused run";
    EXPECT_EQ(korva_test::read_wav(input).samples, source.samples) << "the input is intact";
}

TEST_F(HostProgram, LiveOutputWithoutSoundSystemFailsClearly)
{
    if (std::filesystem::exists("/dev/snd"))
        GTEST_SKIP() << "this machine has sound devices";
    const HostRun run = run_host({"--config", config, input}, false,
                                 {"PULSE_SERVER=unix:/nonexistent/korva-test", "PULSE_AUTOSPAWN=no"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("no sound output: PulseAudio"), std::string::npos) << run.errors;
}

TEST_F(HostProgram, InterruptedRenderEndsWithAValidFileAndSavedSettings)
{
    // Long enough, in one-frame blocks, to be still running when the signal comes.
    Audio long_input = stereo_input(48000 * 60, 48000);
    ASSERT_TRUE(korva_test::write_wav(input, long_input));
    std::string error_file;
    std::filesystem::remove(config);   // defaults now; clean-up writes the file again
    const int pid = korva_test::start_host({"--config", config, "--block", "4", "--output", output, input}, error_file);
    ASSERT_GT(pid, 0);
    // The render grows in a temporary file beside the output, which takes
    // the output's name when the program ends.
    const auto rendered = [&] {
        std::error_code error;
        for (const auto &entry : std::filesystem::directory_iterator(std::filesystem::path(output).parent_path(), error))
            if (entry.path().filename().string().starts_with("." + std::filesystem::path(output).filename().string()) &&
                entry.file_size(error) >= 100000)
                return true;
        return false;
    };
    for (int waited = 0; waited < 3000 && !rendered(); ++waited)   // at most 30 s
        usleep(10000);
    EXPECT_FALSE(std::filesystem::exists(output)) << "the output appears only when the render ends";
    kill(pid, SIGINT);
    const HostRun run = korva_test::finish_host(pid, error_file);

    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("interrupted"), std::string::npos) << run.errors;
    const Audio out = korva_test::read_wav(output);
    ASSERT_GT(out.samples.size(), 0u);
    ASSERT_LT(out.samples.size(), long_input.samples.size());
    KorvaParams defaults;
    korva_default_params(&defaults);
    const std::vector<int16_t> expected = processed(long_input.samples, defaults, 48000);
    EXPECT_TRUE(std::equal(out.samples.begin(), out.samples.end(), expected.begin())) << "a prefix of the render";
    EXPECT_TRUE(std::filesystem::exists(config)) << "clean-up ran and saved the settings";
}

} // namespace
