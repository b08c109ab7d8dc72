// Float inputs that are not audio, rates the chain must not lose treble at,
// and rates and depths each output format takes, through korva process and
// korva response.
#include "cli_harness.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <numbers>

namespace {

struct Floats {
    int rate = 44100;
    int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    std::vector<double> samples;   // stereo, interleaved
    int64_t frames() const { return static_cast<int64_t>(samples.size() / 2); }
};

void write_floats(const std::string &path, const Floats &audio)
{
    SF_INFO info{};
    info.samplerate = audio.rate;
    info.channels = 2;
    info.format = audio.format;
    SNDFILE *file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    // Values beyond full scale are written as they are, not normalised.
    sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
    EXPECT_EQ(sf_writef_double(file, audio.samples.data(), audio.frames()), audio.frames());
    sf_close(file);
}

Floats read_floats(const std::string &path)
{
    Floats audio;
    SF_INFO info{};
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << path;
    if (file == nullptr)
        return audio;
    EXPECT_EQ(info.channels, 2);
    audio.rate = info.samplerate;
    audio.format = info.format;
    audio.samples.resize(static_cast<std::size_t>(info.frames) * 2);
    sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
    EXPECT_EQ(sf_readf_double(file, audio.samples.data(), info.frames), info.frames);
    sf_close(file);
    return audio;
}

// Tones of equal amplitude on both channels.
Floats tones(int rate, int frames, std::initializer_list<double> hz, double amplitude)
{
    Floats audio{rate, SF_FORMAT_WAV | SF_FORMAT_FLOAT, std::vector<double>(2 * static_cast<std::size_t>(frames))};
    for (int i = 0; i < frames; ++i) {
        double sum = 0;
        for (const double f : hz)
            sum += amplitude * std::sin(2 * std::numbers::pi * f * i / rate);
        audio.samples[2 * i] = audio.samples[2 * i + 1] = sum;
    }
    return audio;
}

// Least-squares amplitude of `hz` in the left channel over the middle half.
double tone_amplitude(const Floats &audio, double hz)
{
    double cc = 0, ss = 0, cs = 0, yc = 0, ys = 0;
    const double w = 2 * std::numbers::pi * hz / audio.rate;
    for (int64_t k = audio.frames() / 4; k < 3 * audio.frames() / 4; ++k) {
        const double c = std::cos(w * k), s = std::sin(w * k), y = audio.samples[2 * k];
        cc += c * c, ss += s * s, cs += c * s, yc += y * c, ys += y * s;
    }
    const double d = cc * ss - cs * cs;
    return std::hypot((yc * ss - ys * cs) / d, (ys * cc - yc * cs) / d);
}

std::string field_of(const std::string &summary, const std::string &name)
{
    const auto at = summary.find(name + ":");
    return at == std::string::npos ? "" : summary.substr(at, summary.find('\n', at) - at);
}

const std::vector<std::string> effects_off{"--set", "enable_global=0", "--set", "preamp=256"};

// One damaged sample must not reach the rest of the output: the file with it
// gives the same bytes as the file holding the value the rule replaces it
// by, and the run says how many it replaced.
TEST(DamagedFloatInput, OneBadSampleGivesTheOutputOfItsReplacement)
{
    ScratchDir dir;
    struct Case {
        double bad, replaced;
    };
    const Case cases[] = {{std::nan(""), 0.0}, {INFINITY, 1.0}, {-INFINITY, -1.0}, {3e38, 1.0}, {-17.0, -1.0}};
    for (const int rate : {44100, 96000})
        for (const std::string out : {"o.wav", "o.flac"})
            for (const Case &c : cases) {
                SCOPED_TRACE(std::to_string(rate) + " " + out + " " + std::to_string(c.bad));
                Floats in = tones(rate, 2 * rate, {440, 3000}, 0.3);
                in.samples[200] = c.bad;
                write_floats(dir.file("bad.wav"), in);
                in.samples[200] = c.replaced;
                write_floats(dir.file("clean.wav"), in);
                const RunResult bad = run_korva({"process", dir.file("bad.wav"), dir.file("bad-" + out)});
                ASSERT_EQ(bad.exit_code, 0) << bad.err;
                EXPECT_NE(field_of(bad.out, "repaired").find("1 input sample not a number"), std::string::npos)
                    << bad.out;
                EXPECT_NE(bad.err.find("warning"), std::string::npos) << bad.err;
                const RunResult clean = run_korva({"process", "-q", dir.file("clean.wav"), dir.file("clean-" + out)});
                ASSERT_EQ(clean.exit_code, 0) << clean.err;
                // Samples, not bytes: a float WAV's PEAK chunk holds the time it was written.
                const Floats result = read_floats(dir.file("bad-" + out));
                EXPECT_EQ(result.samples, read_floats(dir.file("clean-" + out)).samples);
                const double last_second = tone_amplitude(
                    Floats{rate, 0, {result.samples.end() - 2 * rate, result.samples.end()}}, 440);
                EXPECT_GT(last_second, 0.1) << "the music goes on after the bad sample";
            }
    // Values up to +-16 are carried, and a 16-bit output of damaged input
    // counts them too.
    Floats loud = tones(44100, 4410, {440}, 0.3);
    loud.samples[10] = 15.0;
    loud.samples[11] = std::nan("");
    write_floats(dir.file("loud.wav"), loud);
    const RunResult run = run_korva({"process", dir.file("loud.wav"), dir.file("loud-out.wav"), "--bits", "16"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(field_of(run.out, "repaired").find("1 input sample "), std::string::npos) << run.out;
}

// With the effects off and the pre-amplifier at unity, every rate keeps the
// audible band: no chain runs below 44.1 kHz for input at or above it.
TEST(ChainRate, EveryInputRateKeepsTheAudibleBand)
{
    ScratchDir dir;
    const struct {
        int rate;
        const char *chain;
    } rates[] = {{44100, "44100 Hz"}, {48000, "48000 Hz"}, {50000, "48000 Hz (halving"},
                 {56000, "48000 Hz (halving"}, {64000, "48000 Hz (halving"}, {88200, "44100 Hz (the input's rate halved"},
                 {96000, "48000 Hz (the"}, {128000, "48000 Hz (halving"}, {176400, "44100 Hz (the"},
                 {256000, "48000 Hz (halving"}, {384000, "48000 Hz (the"}, {768000, "48000 Hz (the"}};
    for (const auto &[rate, chain] : rates) {
        SCOPED_TRACE(rate);
        write_floats(dir.file("in.wav"), tones(rate, rate / 2, {100, 15000, 20000}, 0.2));
        std::vector<std::string> args{"process", dir.file("in.wav"), dir.file("out.wav")};
        args.insert(args.end(), effects_off.begin(), effects_off.end());
        const RunResult run = run_korva(args);
        ASSERT_EQ(run.exit_code, 0) << run.err;
        EXPECT_NE(field_of(run.out, "path").find(std::string("the chain at ") + chain), std::string::npos) << run.out;
        const Floats out = read_floats(dir.file("out.wav"));
        ASSERT_EQ(out.rate, rate);
        for (const double hz : {100.0, 15000.0, 20000.0})
            EXPECT_NEAR(20 * std::log10(tone_amplitude(out, hz) / 0.2), 0.0, 0.1) << hz << " Hz";
    }
    // korva response measures the same path: flat to 20 kHz at 56 kHz.
    std::vector<std::string> args{"response", "-q", "--rate", "56000", "--csv", dir.file("r.csv")};
    args.insert(args.end(), effects_off.begin(), effects_off.end());
    const RunResult run = run_korva(args);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    for (const ResponseRow &row : read_response_csv(dir.file("r.csv"))) {
        if (row.hz <= 20000) {
            EXPECT_NEAR(row.left, 0.0, 0.1) << row.hz << " Hz";
        }
    }
}

TEST(ChainRate, ResponseTakesTheRatesProcessTakesAndNothingElse)
{
    ScratchDir dir;
    for (const char *bad : {"nan", "0x10000", "1e5", "-48000", "", "999", "768001", "44100.0", "99999999999"}) {
        const RunResult run = run_korva({"response", "-q", "--rate", bad, "--csv", dir.file("r.csv")});
        EXPECT_EQ(run.exit_code, 2) << bad;
        EXPECT_NE(run.err.find("1000 to 768000 Hz"), std::string::npos) << bad << ": " << run.err;
    }
    EXPECT_EQ(run_korva({"response", "-q", "--rate", "1000", "--csv", dir.file("r.csv")}).exit_code, 0);
}

// Rates a lossy or lossless encoder cannot take are written at the chain's;
// a 64-bit float input keeps its depth.
TEST(OutputFormats, HighRatesGoToTheChainsRateAndDoublesStayDoubles)
{
    ScratchDir dir;
    for (const auto &[rate, out] : {std::pair{256000, "o.ogg"}, {352800, "o.ogg"}, {768000, "o.ogg"},
                                     {768000, "o.flac"}, {192000, "o.ogg"}}) {
        SCOPED_TRACE(std::to_string(rate) + out);
        Floats in = tones(rate, rate / 4, {1000}, 0.3);
        in.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
        write_floats(dir.file("in.wav"), in);
        const RunResult run = run_korva({"process", dir.file("in.wav"), dir.file(out)});
        ASSERT_EQ(run.exit_code, 0) << run.err;
        const int expected = rate == 192000 ? 192000 : rate == 352800 ? 44100 : 48000;
        const Floats written = read_floats(dir.file(out));
        EXPECT_EQ(written.rate, expected);
        EXPECT_NEAR(static_cast<double>(written.frames()), in.frames() * expected / static_cast<double>(rate), 2.0);
    }
    Floats wide = tones(48000, 4800, {440}, 0.5);
    wide.format = SF_FORMAT_WAV | SF_FORMAT_DOUBLE;
    wide.samples[7] = 1.5;
    write_floats(dir.file("d.wav"), wide);
    std::vector<std::string> args{"process", dir.file("d.wav"), dir.file("d-out.w64")};
    args.insert(args.end(), effects_off.begin(), effects_off.end());
    RunResult run = run_korva(args);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(field_of(run.out, "path").find("64-bit float"), std::string::npos) << run.out;
    const Floats back = read_floats(dir.file("d-out.w64"));
    EXPECT_EQ(back.format, SF_FORMAT_W64 | SF_FORMAT_DOUBLE);
    EXPECT_EQ(back.samples[7], 1.5);
    EXPECT_EQ(back.samples[100], static_cast<float>(wide.samples[100]));
    run = run_korva({"process", "-q", dir.file("d.wav"), dir.file("f.wav"), "--bits", "float"});
    EXPECT_EQ(read_floats(dir.file("f.wav")).format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
}

} // namespace
