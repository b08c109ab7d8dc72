// korva process: the samples it writes, the channel layouts it accepts, the
// --set option and the summary.
#include "cli_harness.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>

namespace {

constexpr int wav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

// Settings that switch on every stage, so any difference in how frames reach
// the engine shows in the output.
const std::vector<std::string> busy_settings{
    "superbass=120", "enable_extspace=1", "enable_extfx=1", "enable_vs=1", "enable_bw=1",
    "spc_mode=1",    "chain_index=3",     "_3dsurround_mode=2"};

std::vector<std::string> with_sets(std::vector<std::string> args, const std::vector<std::string> &sets)
{
    for (const std::string &set : sets) {
        args.push_back("--set");
        args.push_back(set);
    }
    return args;
}

TEST(CliProcess, WritesWhatTheEngineGivesForTheWholeFileInOneCall)
{
    // 10007 frames: several 4096-frame blocks and a ragged end. The reference
    // runs them in one call, so the result must not depend on the block size.
    for (const int rate : {8000, 11025, 22050, 32000, 44100, 48000, 96000}) {
        SCOPED_TRACE(rate);
        ScratchDir dir;
        const Audio input = make_signal(10007, 2, rate);
        write_audio(dir.file("in.wav"), input, wav16);

        // Above 48 kHz --native-rate keeps the chain at the file's rate.
        const RunResult run = run_korva(with_sets(
            {"process", dir.file("in.wav"), dir.file("out.wav"), "-q", rate > 48000 ? "--native-rate" : "-q"},
            busy_settings));
        ASSERT_EQ(run.exit_code, 0) << run.err;

        const Audio output = read_audio(dir.file("out.wav"));
        EXPECT_EQ(output.rate, rate);
        EXPECT_EQ(output.channels, 2);
        EXPECT_EQ(output.samples, process_directly(params_with(busy_settings), rate, input.samples));
    }
}

TEST(CliProcess, MonoInputIsProcessedAsTheSameSampleOnBothChannels)
{
    ScratchDir dir;
    const Audio mono = make_signal(6000, 1, 32000);
    write_audio(dir.file("mono.wav"), mono, wav16);
    std::vector<int16_t> doubled;
    for (const int16_t sample : mono.samples) {
        doubled.push_back(sample);
        doubled.push_back(sample);
    }

    const RunResult run = run_korva(with_sets({"process", dir.file("mono.wav"), dir.file("out.wav"), "-q"}, busy_settings));
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const Audio output = read_audio(dir.file("out.wav"));
    EXPECT_EQ(output.channels, 2);
    EXPECT_EQ(output.samples, process_directly(params_with(busy_settings), 32000, doubled));
}

TEST(CliProcess, MoreThanTwoChannelsIsAnErrorAndWritesNothing)
{
    ScratchDir dir;
    write_audio(dir.file("three.wav"), make_signal(1000, 3, 44100), wav16);
    const RunResult run = run_korva({"process", dir.file("three.wav"), dir.file("out.wav")});
    EXPECT_NE(run.exit_code, 0);
    EXPECT_NE(run.err.find("three.wav"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("3 channels"), std::string::npos) << run.err;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"three.wav"});
}

TEST(CliProcess, OutputFormatFollowsTheExtension)
{
    ScratchDir dir;
    const Audio input = make_signal(3000, 2, 44100);
    write_audio(dir.file("in.wav"), input, wav16);
    const std::vector<int16_t> expected = process_directly(params_with({}), 44100, input.samples);

    const std::vector<std::pair<std::string, int>> lossless{
        {"out.flac", SF_FORMAT_FLAC}, {"out.AIFF", SF_FORMAT_AIFF}, {"out.au", SF_FORMAT_AU},
        {"out.caf", SF_FORMAT_CAF},   {"out.w64", SF_FORMAT_W64}};
    for (const auto &[name, major] : lossless) {
        SCOPED_TRACE(name);
        ASSERT_EQ(run_korva({"process", dir.file("in.wav"), dir.file(name), "-q"}).exit_code, 0);
        SF_INFO info{};
        SNDFILE *file = sf_open(dir.file(name).c_str(), SFM_READ, &info);
        ASSERT_NE(file, nullptr);
        sf_close(file);
        EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, major);
        EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_16);
        EXPECT_EQ(read_audio(dir.file(name)).samples, expected);
    }

    // Read back as input, the lossless outputs give their samples unchanged.
    ASSERT_EQ(run_korva({"process", dir.file("out.flac"), dir.file("back.wav"), "-q", "--set", "enable_global=0",
                         "--set", "preamp=256"}).exit_code, 0);
    EXPECT_EQ(read_audio(dir.file("back.wav")).samples, expected);

    ASSERT_EQ(run_korva({"process", dir.file("in.wav"), dir.file("out.ogg"), "-q"}).exit_code, 0);
    const Audio vorbis = read_audio(dir.file("out.ogg"));
    EXPECT_EQ(vorbis.channels, 2);
    EXPECT_EQ(vorbis.frames(), input.frames());

    const RunResult unknown = run_korva({"process", dir.file("in.wav"), dir.file("out.mp9")});
    EXPECT_NE(unknown.exit_code, 0);
    EXPECT_NE(unknown.err.find("out.mp9"), std::string::npos) << unknown.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.mp9")));
}

TEST(CliSet, ReachesTheEngineAndTruncatesToTheFieldWidth)
{
    ScratchDir dir;
    const Audio input = make_signal(9000, 2, 44100);
    write_audio(dir.file("in.wav"), input, wav16);

    // Effects off and unity pre-amplification: the input comes back unchanged.
    // enable_global is 8 bits wide, so 256 stores 0 just as 0 does.
    for (const std::string off : {"enable_global=0", "enable_global=256"}) {
        SCOPED_TRACE(off);
        const RunResult run = run_korva({"process", dir.file("in.wav"), dir.file("out.wav"), "-q",
                                         "--set", off, "--set", "preamp=256"});
        ASSERT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(read_audio(dir.file("out.wav")).samples, input.samples);
    }

    // Later --set wins over earlier ones.
    ASSERT_EQ(run_korva({"process", dir.file("in.wav"), dir.file("out.wav"), "-q", "--set", "enable_global=0",
                         "--set", "preamp=100", "--set", "preamp=+256"}).exit_code, 0);
    EXPECT_EQ(read_audio(dir.file("out.wav")).samples, input.samples);
}

TEST(CliSet, RejectsUnknownNamesAndNonNumbersBeforeWritingAnything)
{
    ScratchDir dir;
    write_audio(dir.file("in.wav"), make_signal(100, 2, 44100), wav16);

    const RunResult unknown = run_korva({"process", dir.file("in.wav"), dir.file("out.wav"), "--set", "volume=3"});
    EXPECT_NE(unknown.exit_code, 0);
    EXPECT_NE(unknown.err.find("volume"), std::string::npos) << unknown.err;
    for (const char *name : {"enable_global", "_3dsurround_mode", "bw_sigpreamp"})
        EXPECT_NE(unknown.err.find(name), std::string::npos) << "valid names listed: " << unknown.err;

    for (const std::string bad : {"preamp=", "preamp=12x", "preamp=0x10", "preamp=1.5", "preamp=2147483648",
                                  "preamp=-2147483649", "preamp= 5", "preamp=+-5", "preamp"}) {
        SCOPED_TRACE(bad);
        const RunResult run = run_korva({"process", dir.file("in.wav"), dir.file("out.wav"), "--set", bad});
        EXPECT_NE(run.exit_code, 0);
        EXPECT_NE(run.err.find("preamp"), std::string::npos) << run.err;
    }
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.wav"});

    // The extremes of the 32-bit range are accepted.
    EXPECT_EQ(run_korva({"process", dir.file("in.wav"), dir.file("out.wav"), "-q", "--set", "bw_fq=-2147483648",
                         "--set", "bw_fq=2147483647"}).exit_code, 0);
}

TEST(CliSet, ValuesBeyondTheWindowRangesStillGiveAFullOutput)
{
    ScratchDir dir;
    write_audio(dir.file("in.wav"), make_signal(5000, 2, 44100), wav16);
    for (const std::string extreme : {"2147483647", "-2147483648", "513", "-1"}) {
        SCOPED_TRACE(extreme);
        std::vector<std::string> args =
            with_sets({"process", dir.file("in.wav"), dir.file("out.wav"), "-q"}, busy_settings);
        for (const char *field : {"preamp", "superbass", "chain_index", "_3dsurround_mode", "_3dsurround_depth",
                                  "extspace_mode", "extfx_space", "vs_intensity", "spc_high", "bw_mode", "bw_fq",
                                  "bw_value", "bw_sigpreamp"}) {
            args.push_back("--set");
            args.push_back(std::string(field) + "=" + extreme);
        }
        const RunResult run = run_korva(args);
        ASSERT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(read_audio(dir.file("out.wav")).frames(), 5000);
    }
}

TEST(CliSummary, ReportsFramesPeaksAndClippedSamples)
{
    ScratchDir dir;
    // Peaks of 20000 doubled by preamp 512 (gain 2.0) clip at 32767.
    Audio input = make_signal(4410, 2, 44100, 20000);
    input.samples[0] = 20000;
    input.samples[1] = -20000;
    write_audio(dir.file("in.wav"), input, wav16);
    const std::vector<int16_t> expected =
        process_directly(params_with({"enable_global=0", "preamp=512"}), 44100, input.samples);
    long long at_limit = 0;
    for (const int16_t sample : expected)
        at_limit += (sample == 32767 || sample == -32767);
    ASSERT_GT(at_limit, 0);

    const RunResult run = run_korva({"process", dir.file("in.wav"), dir.file("out.wav"), "--set", "enable_global=0",
                                     "--set", "preamp=512"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(run.out.find("4410 (0.100 s at 44100 Hz)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("peak in:     20000 (-4.29 dBFS)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("peak out:    32767 (-0.00 dBFS)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("clipped:     " + std::to_string(at_limit) + " output samples"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("real time"), std::string::npos) << run.out;

    const RunResult quiet = run_korva({"process", dir.file("in.wav"), dir.file("out2.wav"), "--quiet"});
    EXPECT_EQ(quiet.exit_code, 0);
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(quiet.err, "");
}

// Floating-point files in every container are read at the 16-bit scale
// float hosts use (x * 32768), never as raw integers (silence), and take the
// float path: asked for 16 bits, the output is the engine's float output
// rounded to nearest.
TEST(CliProcess, FloatInputsAreScaledAndRoundedLikeFloatHosts)
{
    ScratchDir dir;
    const int frames = 6000;
    std::vector<double> values(2 * frames);
    for (int i = 0; i < 2 * frames; ++i) {
        // Off the rounding ties, so float and double files round alike.
        const double lsb = std::round(20000.0 * std::sin(i * 0.013 + (i % 2))) + 0.1 + 0.06 * ((i * 7) % 10);
        values[i] = lsb / 32768.0;
    }
    values[0] = 32767.0 / 32768.0;
    values[1] = -1.0;
    std::vector<float> chain(values.begin(), values.end());
    for (float &x : chain)
        x *= 32768.0f;
    KorvaEngine *engine = korva_new();
    korva_default_params(&engine->params);
    engine->sample_rate = 44100;
    korva_process_float(engine, chain.data(), chain.data(), frames);
    korva_delete(engine);
    std::vector<int16_t> reference(chain.size());
    for (std::size_t i = 0; i < chain.size(); ++i)
        reference[i] = static_cast<int16_t>(std::clamp(std::nearbyint(chain[i]), -32768.0f, 32767.0f));

    const std::vector<std::pair<const char *, int>> files{
        {"f32.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT}, {"f64.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE},
        {"f32.caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT}, {"f64.w64", SF_FORMAT_W64 | SF_FORMAT_DOUBLE},
        {"f32.au", SF_FORMAT_AU | SF_FORMAT_FLOAT}};
    for (const auto &[name, format] : files) {
        SCOPED_TRACE(name);
        SF_INFO info{};
        info.samplerate = 44100;
        info.channels = 2;
        info.format = format;
        SNDFILE *file = sf_open(dir.file(name).c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(sf_writef_double(file, values.data(), frames), frames);
        sf_close(file);

        const RunResult run = run_korva({"process", dir.file(name), dir.file("out.wav"), "--bits", "16"});
        ASSERT_EQ(run.exit_code, 0) << run.err;
        EXPECT_NE(run.out.find("peak in:     0.00 dBFS"), std::string::npos) << run.out;
        const std::vector<int16_t> out = read_audio(dir.file("out.wav")).samples;
        ASSERT_EQ(out.size(), reference.size());
        int worst = 0;
        for (std::size_t i = 0; i < out.size(); ++i)
            worst = std::max(worst, std::abs(out[i] - reference[i]));
        EXPECT_EQ(worst, 0);
    }
}

// Rates no real file has are refused before anything is set up: a header
// claiming 1 Hz would ask the resampler for 48000 output frames per frame.
TEST(CliProcess, InputRatesOutsideOneToSevenHundredSixtyEightKilohertzAreRefused)
{
    ScratchDir dir;
    for (const int rate : {1, 7, 100, 999, 768001}) {
        SCOPED_TRACE(rate);
        write_audio(dir.file("odd.wav"), make_signal(2000, 2, rate), wav16);
        const RunResult run = run_korva({"process", dir.file("odd.wav"), dir.file("out.mp3"), "-q"});
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_NE(run.err.find("1000 to 768000 Hz"), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.mp3")));
    }
    for (const int rate : {1000, 768000}) {
        SCOPED_TRACE(rate);
        write_audio(dir.file("edge.wav"), make_signal(2000, 2, rate), wav16);
        EXPECT_EQ(run_korva({"process", dir.file("edge.wav"), dir.file("out.mp3"), "-q"}).exit_code, 0);
    }
}

// An input cut short is processed as far as it goes, in every format alike:
// exit status 3, the frames read against the header's count on stderr and
// in the summary. Whole files of the same formats pass as before.
TEST(CliProcess, InputsCutShortAreReportedWithWhatWasReadAndExitThree)
{
    ScratchDir dir;
    const std::vector<std::pair<const char *, int>> files{
        {"a.wav", wav16},
        {"a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {"a.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
        {"a.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS},
        {"a.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III}};
    const int frames = 5 * 48000;
    for (const auto &[name, format] : files) {
        SCOPED_TRACE(name);
        write_audio(dir.file(name), make_signal(frames, 2, 48000), format);
        const RunResult whole = run_korva({"process", dir.file(name), dir.file("whole.wav")});
        EXPECT_EQ(whole.exit_code, 0) << whole.err;
        EXPECT_EQ(whole.out.find("cut short"), std::string::npos) << whole.out;

        const std::string bytes = read_file(dir.file(name));
        const std::string cut = dir.file(std::string("cut-") + name);
        write_file(cut, bytes.substr(0, bytes.size() / 3));
        const RunResult run = run_korva({"process", cut, dir.file("out.wav")});
        EXPECT_EQ(run.exit_code, 3) << run.err;
        EXPECT_NE(run.err.find("ends early"), std::string::npos) << run.err;
        EXPECT_NE(run.out.find("cut short:"), std::string::npos) << run.out;
        const int64_t written = read_audio(dir.file("out.wav")).frames();
        EXPECT_GT(written, frames / 8);
        EXPECT_LT(written, frames / 2);
        if (format == wav16) {
            EXPECT_NE(run.err.find(std::to_string(written) + " of " + std::to_string(frames) + " frames read"),
                      std::string::npos) << run.err;
        }
    }
}

} // namespace
