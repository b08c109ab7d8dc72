// High-resolution files through korva process: depth, rate and length kept,
// alignment through the resamplers, a tone below 16 bits' reach, the float
// path's scale against the 16-bit path's, and the float path's outputs at
// 44.1 and 48 kHz pinned by SHA-256 in tests/golden/float_path_outputs.sha256.
#include "cli_harness.h"

#include "engine/param_fields.h"
#include "tests/support/stage_settings.h"

#include <ebur128.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <numbers>
#include <sstream>

namespace {

constexpr int flac24 = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;

struct Wide {
    int rate = 0;
    int format = 0;
    std::vector<int32_t> samples;   // stereo, interleaved, left-aligned in 32 bits
    int64_t frames() const { return static_cast<int64_t>(samples.size() / 2); }
};

void write_wide(const std::string &path, const Wide &audio)
{
    SF_INFO info{};
    info.samplerate = audio.rate;
    info.channels = 2;
    info.format = audio.format;
    SNDFILE *file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    EXPECT_EQ(sf_writef_int(file, audio.samples.data(), audio.frames()), audio.frames());
    sf_close(file);
}

Wide read_wide(const std::string &path)
{
    Wide audio;
    SF_INFO info{};
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << path;
    if (file == nullptr)
        return audio;
    EXPECT_EQ(info.channels, 2);
    audio.rate = info.samplerate;
    audio.format = info.format;
    audio.samples.resize(static_cast<std::size_t>(info.frames) * 2);
    EXPECT_EQ(sf_readf_int(file, audio.samples.data(), info.frames), info.frames);
    sf_close(file);
    return audio;
}

// A stereo sine of `hz` at `dbfs`, in 24-bit steps.
Wide sine24(int rate, int frames, double hz, double dbfs)
{
    Wide audio{rate, flac24, std::vector<int32_t>(2 * static_cast<std::size_t>(frames))};
    const double amplitude = 8388608.0 * std::pow(10.0, dbfs / 20.0);
    for (int i = 0; i < frames; ++i) {
        const auto s = static_cast<int32_t>(std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * i / rate)));
        audio.samples[2 * i] = audio.samples[2 * i + 1] = s * 256;
    }
    return audio;
}

// Least-squares amplitude of `hz` in the left channel from frame `from`
// on, and the RMS of what remains, both at full scale 1.0.
void fit_tone(const Wide &audio, double hz, int64_t from, double &amplitude, double &residual)
{
    double cc = 0, ss = 0, cs = 0, yc = 0, ys = 0;
    const double w = 2 * std::numbers::pi * hz / audio.rate;
    for (int64_t k = from; k < audio.frames(); ++k) {
        const double c = std::cos(w * k), s = std::sin(w * k), y = audio.samples[2 * k] / 2147483648.0;
        cc += c * c, ss += s * s, cs += c * s, yc += y * c, ys += y * s;
    }
    const double d = cc * ss - cs * cs, a = (yc * ss - ys * cs) / d, b = (ys * cc - yc * cs) / d;
    amplitude = std::hypot(a, b);
    double sum = 0;
    for (int64_t k = from; k < audio.frames(); ++k) {
        const double e = audio.samples[2 * k] / 2147483648.0 - a * std::cos(w * k) - b * std::sin(w * k);
        sum += e * e;
    }
    residual = std::sqrt(sum / static_cast<double>(audio.frames() - from));
}

std::string field_of(const std::string &summary, const std::string &name)
{
    const auto at = summary.find(name + ":");
    return at == std::string::npos ? "" : summary.substr(at, summary.find('\n', at) - at);
}

TEST(HighResolution, A24Bit96kFileKeepsDepthRateLengthAndAlignment)
{
    ScratchDir dir;
    // 1 kHz and 5 kHz at -12 dBFS each, 10007 frames: a ragged end.
    Wide in = sine24(96000, 10007, 1000, -12);
    const Wide upper = sine24(96000, 10007, 5000, -12);
    // Faded in and out over 1000 frames: an abrupt start would ring in the
    // resamplers' steep filters.
    for (std::size_t i = 0; i < in.samples.size(); ++i) {
        const double edge = std::min<double>(i / 2, in.frames() - 1 - i / 2) / 1000.0;
        const double fade = edge >= 1 ? 1 : 0.5 - 0.5 * std::cos(std::numbers::pi * edge);
        in.samples[i] = static_cast<int32_t>(std::lround(fade * (in.samples[i] / 256 + upper.samples[i] / 256))) * 256;
    }
    write_wide(dir.file("in.flac"), in);

    // No effects and the pre-amplifier at unity: what comes back is the input
    // through the two resamplers, in place and at its level.
    const RunResult run =
        run_korva({"process", dir.file("in.flac"), dir.file("out.flac"), "--set", "enable_global=0", "--set", "preamp=256"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(field_of(run.out, "path").find("float, the chain at 48000 Hz"), std::string::npos) << run.out;
    EXPECT_NE(field_of(run.out, "path").find("24-bit PCM at 96000 Hz"), std::string::npos) << run.out;
    const Wide out = read_wide(dir.file("out.flac"));
    EXPECT_EQ(out.rate, 96000);
    EXPECT_EQ(out.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_24);
    ASSERT_EQ(out.frames(), in.frames());
    int64_t worst = 0;
    for (std::size_t i = 0; i < in.samples.size(); ++i)
        worst = std::max<int64_t>(worst, std::llabs(static_cast<int64_t>(out.samples[i] / 256) - in.samples[i] / 256));
    EXPECT_LE(worst, 4) << "24-bit steps between input and output";
}

TEST(HighResolution, AToneBelowSixteenBitsComesOutAtTheLevelTheResponsePredicts)
{
    ScratchDir dir;
    write_wide(dir.file("quiet.flac"), sine24(96000, 96000, 1000, -110));
    const RunResult run = run_korva({"process", "-q", dir.file("quiet.flac"), dir.file("out.flac")});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const RunResult curve = run_korva({"response", "-q", "--rate", "96000", "--csv", dir.file("r.csv")});
    ASSERT_EQ(curve.exit_code, 0) << curve.err;

    // The curve's gain at the point nearest 1 kHz.
    std::ifstream csv(dir.file("r.csv"));
    std::string line;
    double predicted_db = 0, nearest = 1e9;
    std::getline(csv, line);
    while (std::getline(csv, line)) {
        double f = 0, left = 0;
        char comma = 0;
        std::istringstream(line) >> f >> comma >> left;
        if (std::fabs(std::log2(f / 1000)) < nearest)
            nearest = std::fabs(std::log2(f / 1000)), predicted_db = left;
    }
    double amplitude = 0, residual = 0;
    fit_tone(read_wide(dir.file("out.flac")), 1000, 48000, amplitude, residual);
    const double level_db = 20 * std::log10(amplitude);
    EXPECT_NEAR(level_db, -110 + predicted_db, 1.0);
    EXPECT_GE(20 * std::log10(amplitude / std::sqrt(2) / residual), 20.0) << "tone over the noise floor";
}

TEST(HighResolution, FloatPathRoundedTo16BitsStaysWithinOneStepOfThe16BitPath)
{
    ScratchDir dir;
    for (const int rate : {44100, 48000}) {
        SCOPED_TRACE(rate);
        const Audio sixteen = make_signal(20000, 2, rate);
        write_audio(dir.file("in16.wav"), sixteen, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        Wide padded{rate, SF_FORMAT_WAV | SF_FORMAT_PCM_24, {}};
        for (const int16_t s : sixteen.samples)
            padded.samples.push_back(s * 65536);
        write_wide(dir.file("in24.wav"), padded);
        const std::vector<std::string> sets{"--set", "superbass=160", "--set", "enable_vs=1", "--set",
                                            "enable_3dsurround=1", "--set", "fidelity=180"};
        std::vector<std::string> exact{"process", "-q", dir.file("in16.wav"), dir.file("out16.wav")};
        std::vector<std::string> wide{"process", "-q", dir.file("in24.wav"), dir.file("out24.wav"), "--bits", "16"};
        exact.insert(exact.end(), sets.begin(), sets.end());
        wide.insert(wide.end(), sets.begin(), sets.end());
        ASSERT_EQ(run_korva(exact).exit_code, 0);
        ASSERT_EQ(run_korva(wide).exit_code, 0);
        const Audio a = read_audio(dir.file("out16.wav")), b = read_audio(dir.file("out24.wav"));
        ASSERT_EQ(a.samples.size(), b.samples.size());
        int worst = 0;
        for (std::size_t i = 0; i < a.samples.size(); ++i)
            worst = std::max(worst, std::abs(a.samples[i] - b.samples[i]));
        EXPECT_LE(worst, 1);
    }
}

TEST(HighResolution, DepthsAndRatesEachFormatTakes)
{
    ScratchDir dir;
    // A float WAV stays float, beyond full scale too.
    {
        SF_INFO info{};
        info.samplerate = 44100;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        std::vector<float> samples(2000, 0.25f);
        samples[10] = 1.5f;
        SNDFILE *file = sf_open(dir.file("f.wav").c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr);
        sf_writef_float(file, samples.data(), 1000);
        sf_close(file);
        ASSERT_EQ(run_korva({"process", "-q", dir.file("f.wav"), dir.file("f-out.wav"), "--set", "enable_global=0", "--set",
                             "preamp=256"})
                      .exit_code, 0);
        SF_INFO out{};
        SNDFILE *back = sf_open(dir.file("f-out.wav").c_str(), SFM_READ, &out);
        ASSERT_NE(back, nullptr);
        std::vector<float> read(2000);
        EXPECT_EQ(sf_readf_float(back, read.data(), 1000), 1000);
        sf_close(back);
        EXPECT_EQ(out.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
        EXPECT_FLOAT_EQ(read[10], 1.5f);
        EXPECT_FLOAT_EQ(read[500], 0.25f);
    }
    write_wide(dir.file("hi.flac"), sine24(96000, 9600, 440, -6));
    // FLAC holds no 32-bit integers, and a lossy format has no depth: usage errors.
    for (const auto &[out, bits] : {std::pair{"x.flac", "32"}, {"x.mp3", "24"}}) {
        const RunResult run = run_korva({"process", "-q", dir.file("hi.flac"), dir.file(out), "--bits", bits});
        EXPECT_EQ(run.exit_code, 2) << out;
        EXPECT_NE(run.err.find("--bits"), std::string::npos) << run.err;
    }
    // Opus at 48 kHz takes the chain's rate as it is; 88.2 kHz Opus goes up
    // from 44.1 kHz once.
    RunResult run = run_korva({"process", dir.file("hi.flac"), dir.file("o.opus")});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(field_of(run.out, "path").find("48000 Hz (the input's rate halved); written as Opus encoder at 48000 Hz"),
              std::string::npos) << run.out;
    EXPECT_EQ(read_audio(dir.file("o.opus")).frames(), 4800);
    // --native-rate and 16 bits: today's 16-bit path at the file's own rate.
    run = run_korva({"process", dir.file("hi.flac"), dir.file("n.wav"), "--native-rate", "--bits", "16"});
    EXPECT_NE(field_of(run.out, "path").find("float, the chain at 96000 Hz; written as 16-bit PCM"),
              std::string::npos) << run.out;
}

// --match-loudness measures its gain on the path the file takes: at 96 kHz
// the chain at 48 kHz, whose bass lift differs from the chain's at 96 kHz.
TEST(HighResolution, MatchedLoudnessIsMeasuredOnTheFloatPath)
{
    ScratchDir dir;
    Wide in = sine24(96000, 5 * 96000, 80, -20);
    const Wide mid = sine24(96000, 5 * 96000, 1000, -26);
    for (std::size_t i = 0; i < in.samples.size(); ++i)
        in.samples[i] += mid.samples[i];
    write_wide(dir.file("in.flac"), in);
    const RunResult run = run_korva({"process", "-q", dir.file("in.flac"), dir.file("out.flac"), "--match-loudness",
                                     "--set", "superbass=200", "--set", "enable_vs=1"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const auto lufs = [](const Wide &audio) {
        ebur128_state *state = ebur128_init(2, static_cast<unsigned long>(audio.rate), EBUR128_MODE_I);
        std::vector<double> x(audio.samples.begin(), audio.samples.end());
        for (double &v : x)
            v /= 2147483648.0;
        ebur128_add_frames_double(state, x.data(), static_cast<size_t>(audio.frames()));
        double value = 0;
        ebur128_loudness_global(state, &value);
        ebur128_destroy(&state);
        return value;
    };
    EXPECT_NEAR(lufs(read_wide(dir.file("out.flac"))), lufs(in), 0.2);
}

// --- The float path's outputs, pinned --------------------------------------

// 24-bit stereo from integers only: a triangle sweep and xorshift noise.
Wide integer_input(int rate)
{
    Wide audio{rate, SF_FORMAT_WAV | SF_FORMAT_PCM_24, std::vector<int32_t>(2 * static_cast<std::size_t>(rate / 2))};
    uint32_t noise = 0x9e3779b9u, phase = 0;
    for (int64_t i = 0; i < audio.frames(); ++i) {
        phase += 0x00300000u + static_cast<uint32_t>(i) * 96u;
        const int32_t triangle = static_cast<int32_t>(phase >> 8) - (1 << 23);
        const int32_t wave = (triangle < 0 ? -triangle : triangle) - (1 << 22);
        for (int c = 0; c < 2; ++c) {
            noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
            const int32_t white = static_cast<int32_t>(noise >> 12) - (1 << 19);
            audio.samples[2 * i + c] = ((c ? -wave : wave) / 2 + white / (c + 1)) * 256;
        }
    }
    return audio;
}

std::string sha256_of_samples(const Wide &audio)
{
    std::string bytes;
    for (const int32_t s : audio.samples)
        for (int b = 0; b < 4; ++b)
            bytes.push_back(static_cast<char>((static_cast<uint32_t>(s) >> (8 * b)) & 0xff));
    gchar *hex = g_compute_checksum_for_data(G_CHECKSUM_SHA256, reinterpret_cast<const guchar *>(bytes.data()),
                                             bytes.size());
    std::string out = hex;
    g_free(hex);
    return out;
}

// Regenerate only after a deliberate change of the float path's output:
//   KORVA_REGENERATE_FLOAT_GOLDEN=1 build/tests/cli/test_cli --gtest_filter='FloatPathGolden.*'
TEST(FloatPathGolden, OutputsAt44100And48000MatchTheKeptHashes)
{
    const std::string golden = KORVA_FLOAT_GOLDEN_FILE;
    std::map<std::string, std::string> kept;
    std::ifstream in(golden);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') {
            std::istringstream fields(line);
            std::string name, hash;
            fields >> name >> hash;
            kept[name] = hash;
        }
    const bool regenerate = std::getenv("KORVA_REGENERATE_FLOAT_GOLDEN") != nullptr;
    std::string lines;
    ScratchDir dir;
    for (const int rate : {44100, 48000}) {
        write_wide(dir.file("in.wav"), integer_input(rate));
        std::vector<std::string> args{"process", "-q", dir.file("in.wav"), dir.file("out.wav")};
        const KorvaParams every = korva_test::stages_far_from_defaults();
        for (const KorvaParamField &field : korva_param_fields)
            args.insert(args.end(), {"--set", std::string(field.name) + "=" + std::to_string(korva_param_get(&every, &field))});
        const RunResult run = run_korva(args);
        ASSERT_EQ(run.exit_code, 0) << run.err;
        const std::string name = "every_stage_" + std::to_string(rate);
        const std::string hash = sha256_of_samples(read_wide(dir.file("out.wav")));
        lines += name + " " + hash + "\n";
        if (!regenerate) {
            EXPECT_EQ(hash, kept[name]) << name;
        }
    }
    if (regenerate) {
        std::ofstream out(golden);
        out << "# SHA-256 of korva process's float-path output (24-bit samples as 32-bit little-endian\n"
               "# words, left first) for the generated 24-bit input of tests/cli/high_resolution_test.cpp.\n"
               "# Regenerate only after a deliberate change of the output, and say why in the commit:\n"
               "#   KORVA_REGENERATE_FLOAT_GOLDEN=1 build/tests/cli/test_cli --gtest_filter='FloatPathGolden.*'\n"
            << lines;
    }
}

} // namespace
