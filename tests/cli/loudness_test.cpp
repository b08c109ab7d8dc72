// Loudness in the process summary, --true-peak and --match-loudness.
#include "cli_harness.h"

#include <gtest/gtest.h>

#include <ebur128.h>
#include <sndfile.h>

#include <cmath>
#include <numbers>
#include <sstream>

namespace {

constexpr int wav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

// The two numbers after `label` on its summary line, e.g. "loudness:" gives
// the input's and the output's LUFS.
std::pair<double, double> figures(const std::string &summary, const std::string &label)
{
    const size_t at = summary.find("\n" + label);
    EXPECT_NE(at, std::string::npos) << label << " missing in\n" << summary;
    if (at == std::string::npos)
        return {NAN, NAN};
    std::istringstream line(summary.substr(at + 1 + label.size()));
    double in = NAN, out = NAN;
    std::string unit, word;
    line >> in >> unit >> word >> out;
    return {in, out};
}

double integrated_lufs(const Audio &audio)
{
    ebur128_state *state = ebur128_init(static_cast<unsigned>(audio.channels), static_cast<unsigned long>(audio.rate),
                                        EBUR128_MODE_I | EBUR128_MODE_HISTOGRAM);
    ebur128_add_frames_short(state, audio.samples.data(), static_cast<size_t>(audio.frames()));
    double lufs = 0.0;
    ebur128_loudness_global(state, &lufs);
    ebur128_destroy(&state);
    return lufs;
}

Audio sine(double hz, double dbfs, double seconds, int rate)
{
    Audio audio;
    audio.rate = rate;
    const int frames = static_cast<int>(seconds * rate);
    const double amplitude = 32768.0 * std::pow(10.0, dbfs / 20.0);
    for (int i = 0; i < frames; ++i) {
        const auto s = static_cast<int16_t>(std::lrint(amplitude * std::sin(2.0 * std::numbers::pi * hz * i / rate)));
        audio.samples.insert(audio.samples.end(), {s, s});
    }
    return audio;
}

TEST(CliLoudness, ReferenceSineReadsMinus23LufsAndTruePeakOnlyWhenAsked)
{
    ScratchDir dir;
    write_audio(dir.file("sine.wav"), sine(1000.0, -23.0, 10.0, 48000), wav16);
    const std::vector<std::string> same = {"--set", "enable_global=0", "--set", "preamp=256"};

    std::vector<std::string> args = {"process", dir.file("sine.wav"), dir.file("out.wav"), "--true-peak"};
    args.insert(args.end(), same.begin(), same.end());
    const RunResult run = run_korva(args);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const auto [in, out] = figures(run.out, "loudness:");
    EXPECT_NEAR(in, -23.0, 0.1 + 1e-9) << run.out;
    EXPECT_NEAR(out, -23.0, 0.1 + 1e-9) << run.out;
    const auto [peak_in, peak_out] = figures(run.out, "true peak:");
    EXPECT_NEAR(peak_in, -23.0, 0.1 + 1e-9);
    EXPECT_NEAR(peak_out, -23.0, 0.1 + 1e-9);
    EXPECT_NE(run.out.find("\nrange:       0.0 LU in, 0.0 LU out"), std::string::npos) << run.out;

    args.erase(args.begin() + 3);   // without --true-peak
    const RunResult plain = run_korva(args);
    ASSERT_EQ(plain.exit_code, 0) << plain.err;
    EXPECT_EQ(plain.out.find("true peak:"), std::string::npos);
    EXPECT_EQ(plain.out.find("matched:"), std::string::npos);
}

// Quieter (the default pre-amplifier halves) and louder (SuperBass at full)
// settings both come out at the input's loudness, and the gain follows
// round(engine sample x gain) on the engine's own output.
TEST(CliLoudness, MatchedOutputHasTheInputsLoudness)
{
    ScratchDir dir;
    const Audio input = make_signal(44100 * 8, 2, 44100, 9000, 5);
    write_audio(dir.file("in.wav"), input, wav16);
    const double input_lufs = integrated_lufs(input);

    for (const auto &settings : std::vector<std::vector<std::string>>{{}, {"superbass=256", "preamp=256"}}) {
        std::vector<std::string> args = {"process", dir.file("in.wav"), dir.file("out.wav"), "--match-loudness"};
        for (const std::string &assignment : settings)
            args.insert(args.end(), {"--set", assignment});
        const RunResult run = run_korva(args);
        ASSERT_EQ(run.exit_code, 0) << run.err;
        ASSERT_NE(run.out.find(" 0 samples clipped by it"), std::string::npos) << run.out;
        const Audio output = read_audio(dir.file("out.wav"));
        EXPECT_NEAR(integrated_lufs(output), input_lufs, 0.1) << run.out;

        // The same samples as the engine's output scaled by the printed gain,
        // within the rounding of the gain's two printed decimals.
        const double gain_db = figures(run.out, "matched:").first;
        const std::vector<int16_t> engine = process_directly(params_with(settings), 44100,
                                                             input.samples);
        ASSERT_EQ(output.samples.size(), engine.size());
        const double gain = std::pow(10.0, gain_db / 20.0);
        for (size_t i = 0; i < engine.size(); i += 97)
            ASSERT_NEAR(output.samples[i], engine[i] * gain, 1.0 + std::abs(engine[i] * gain) * 0.0006) << i;
    }
}

TEST(CliLoudness, MatchingCountsClippedSamplesAndRefusesStandardInput)
{
    ScratchDir dir;
    // A steady tone at DeWoofer's notch with a short loud click twice a
    // second: the notch takes the tone out, and the gain that brings the
    // clicks up to the tone's loudness drives them past full scale.
    Audio input = sine(2143.0, -20.0, 6.0, 44100);
    for (size_t frame = 0; frame < input.samples.size() / 2; frame += 22050)
        for (size_t i = 2 * frame; i < 2 * (frame + 44); ++i)
            input.samples[i] = 20000;
    write_audio(dir.file("in.wav"), input, wav16);
    const RunResult run = run_korva({"process", dir.file("in.wav"), dir.file("out.wav"), "--match-loudness", "--set",
                                     "dewoofer=256", "--set", "preamp=256"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const size_t at = run.out.find("samples clipped by it");
    ASSERT_NE(at, std::string::npos) << run.out;
    const long long clipped = std::stoll(run.out.substr(run.out.rfind(',', at) + 1));
    const Audio output = read_audio(dir.file("out.wav"));
    long long at_limit = 0;
    for (int16_t s : output.samples)
        at_limit += s == 32767 || s == -32767;
    EXPECT_GT(clipped, 0) << run.out;
    EXPECT_LE(clipped, at_limit);

    const RunResult piped = run_korva({"process", "-", dir.file("p.wav"), "--match-loudness"});
    EXPECT_NE(piped.exit_code, 0);
    EXPECT_NE(piped.err.find("standard input"), std::string::npos) << piped.err;

    // A rate the meter does not take (below 16 Hz) is refused with the input
    // before either pass, matched or not.
    Audio slow = sine(1.0, -6.0, 20.0, 10);
    write_audio(dir.file("slow.wav"), slow, wav16);
    for (const bool match : {false, true}) {
        std::vector<std::string> args{"process", dir.file("slow.wav"), dir.file("slow-out.wav")};
        if (match)
            args.push_back("--match-loudness");
        const RunResult refused = run_korva(args);
        EXPECT_EQ(refused.exit_code, 1);
        EXPECT_NE(refused.err.find("sample rate of 10 Hz"), std::string::npos) << refused.err;
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.wav", "out.wav", "slow.wav"}));
}

} // namespace
