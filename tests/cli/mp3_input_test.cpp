// MP3 inputs made by lame and ffmpeg, with and without a Xing or Info
// header, whole and cut, from a file and from a pipe: every frame mpg123
// decodes is read, and only a file whose header states more frames than it
// holds is reported as cut.
#include "cli_harness.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdio>
#include <filesystem>

namespace {

// The frames the mpg123 program decodes (gapless, as korva reads).
int64_t frames_mpg123_decodes(const std::string &path)
{
    const RunResult run = korva_test::run_captured({"mpg123", "-q", "-s", path});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    return static_cast<int64_t>(run.out.size() / 4);
}

int64_t frames_of(const std::string &summary)
{
    const auto at = summary.find("frames:");
    return at == std::string::npos ? -1 : std::stoll(summary.substr(at + 7));
}

TEST(Mp3Input, EveryEncodersFileIsReadToItsLastFrame)
{
    ScratchDir dir;
    write_audio(dir.file("in.wav"), make_signal(30 * 44100, 2, 44100), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::string in = dir.file("in.wav");
    const struct {
        const char *name;
        std::vector<std::string> encode;
        bool header;
    } cases[] = {
        {"lame-vbr.mp3", {"lame", "--quiet", "-V", "2", in}, true},
        {"lame-vbr-bare.mp3", {"lame", "--quiet", "-t", "-V", "2", in}, false},
        {"lame-cbr.mp3", {"lame", "--quiet", "-b", "192", in}, true},
        {"lame-cbr-bare.mp3", {"lame", "--quiet", "-t", "-b", "192", in}, false},
        {"ffmpeg-vbr.mp3", {"ffmpeg", "-loglevel", "error", "-i", in, "-c:a", "libmp3lame", "-q:a", "2"}, true},
        {"ffmpeg-cbr-bare.mp3",
         {"ffmpeg", "-loglevel", "error", "-i", in, "-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0"},
         false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> encode = c.encode;
        encode.push_back(dir.file(c.name));
        ASSERT_EQ(korva_test::run_captured(encode).exit_code, 0);
        const int64_t decoded = frames_mpg123_decodes(dir.file(c.name));
        // A header's delay and padding removed: the source's length.
        if (c.header) {
            EXPECT_EQ(decoded, 30 * 44100);
        }

        const RunResult whole = run_korva({"process", dir.file(c.name), dir.file("out.wav")});
        EXPECT_EQ(whole.exit_code, 0) << whole.err;
        EXPECT_EQ(frames_of(whole.out), decoded) << whole.out;
        EXPECT_EQ(read_audio(dir.file("out.wav")).frames(), decoded);
        // From a pipe, recognised by its content.
        const RunResult piped = korva_test::run_captured(
            {"sh", "-c", "cat \"$1\" | \"$2\" process -q - \"$3\"", "sh", dir.file(c.name), KORVA_BIN, dir.file("p.wav")});
        EXPECT_EQ(piped.exit_code, 0) << piped.err;
        EXPECT_EQ(read_file(dir.file("p.wav")), read_file(dir.file("out.wav")));

        // Cut to 60%: only a header's stated length makes it short.
        std::filesystem::copy_file(dir.file(c.name), dir.file("cut.mp3"),
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::resize_file(dir.file("cut.mp3"), std::filesystem::file_size(dir.file(c.name)) * 6 / 10);
        const RunResult cut = run_korva({"process", dir.file("cut.mp3"), dir.file("cut.wav")});
        EXPECT_EQ(frames_of(cut.out), frames_mpg123_decodes(dir.file("cut.mp3"))) << cut.out;
        if (c.header) {
            EXPECT_EQ(cut.exit_code, 3) << cut.err;
            EXPECT_NE(cut.err.find("of " + std::to_string(decoded) + " frames read"), std::string::npos) << cut.err;
        } else {
            EXPECT_EQ(cut.exit_code, 0) << cut.err;
        }
    }
}

} // namespace
