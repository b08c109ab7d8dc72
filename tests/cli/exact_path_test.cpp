// 16-bit, 8-bit and lossy inputs at 48 kHz or below take the exact 16-bit
// path: their outputs are pinned byte for byte by SHA-256, hashes taken from
// korva before the float path existed. The inputs are made with integer
// arithmetic only, so they are the same bytes everywhere.
#include "cli_harness.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <sndfile.h>

namespace {

// A stepped triangle sweep and xorshift noise, the channels differing.
Audio integer_signal(int frames, int channels, int rate)
{
    Audio audio;
    audio.rate = rate;
    audio.channels = channels;
    audio.samples.resize(static_cast<std::size_t>(frames) * channels);
    uint32_t noise = 0x2545f491u, phase = 0;
    for (int i = 0; i < frames; ++i) {
        phase += 0x00400000u + static_cast<uint32_t>(i) * 64u;   // the sweep
        const int32_t triangle = static_cast<int32_t>(phase >> 16) - 32768;
        const int32_t wave = (triangle < 0 ? -triangle : triangle) - 16384;
        for (int c = 0; c < channels; ++c) {
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            const int32_t white = static_cast<int32_t>(noise >> 20) - 2048;
            audio.samples[static_cast<std::size_t>(i) * channels + c] =
                static_cast<int16_t>((c ? -wave : wave) + white * (c + 1));
        }
    }
    return audio;
}

std::string sha256_of_file(const std::string &path)
{
    const std::string bytes = read_file(path);
    gchar *hex = g_compute_checksum_for_data(G_CHECKSUM_SHA256, reinterpret_cast<const guchar *>(bytes.data()),
                                             bytes.size());
    std::string out = hex;
    g_free(hex);
    return out;
}

struct ExactCase {
    const char *input;      // written as `format` at `rate`
    int format;
    int rate;
    int channels;
    const char *output;
    std::vector<std::string> options;
    const char *sha256;
};

TEST(ExactPath, SixteenBitEightBitAndLossyInputsKeepTheirBytes)
{
    const std::vector<std::string> stages{"--set", "superbass=160", "--set", "enable_3dsurround=1", "--set",
                                          "enable_vs=1",  "--set", "fidelity=180", "--set", "chain_index=3"};
    const ExactCase cases[] = {
        {"a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, "a-out.wav", {}, "6f73ced77e82a891e85210122b08aec0a8def3ca331f311adada2f9ddb7bc22c"},
        {"b.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 2, "b-out.flac", stages, "196bfc0bf0d70ae2d772b76e0e741469927fe0f8f7a1d6948cb91b1008feaa17"},
        {"c.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 22050, 1, "c-out.wav", stages, "89e6abc68b706bb152249b62c01dc1b08cbb5a99a787e8b404e0f096efa76521"},
        {"d.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 32000, 2, "d-out.flac", {}, "a26fe4167a6dd12e9082803a344e63069dd79290098c2370cebc3a2c7c1b2c1a"},
        {"e.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2, "e-out.wav", stages, "f275c4209d522f8c5dd15bc2cf0afc9bb3bf7370753dc5340100b0dd26f12a12"},
    };
    ScratchDir dir;
    for (const ExactCase &c : cases) {
        SCOPED_TRACE(c.input);
        write_audio(dir.file(c.input), integer_signal(c.rate / 2, c.channels, c.rate), c.format);
        std::vector<std::string> args{"process", "-q", dir.file(c.input), dir.file(c.output)};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const RunResult run = run_korva(args);
        ASSERT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(sha256_of_file(dir.file(c.output)), c.sha256);
    }
}

} // namespace
