// MP3 and Opus through korva process: rates, lengths and content after a
// lossy round trip, --quality, and the text tags each format keeps.
#include "cli_harness.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <soxr.h>

#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>

#include <cmath>
#include <filesystem>

namespace {

constexpr int wav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

// Three tones, the kind of content a lossy codec keeps well.
Audio tones(int frames, int rate)
{
    Audio audio;
    audio.rate = rate;
    audio.samples.resize(2 * static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double left = std::sin(2 * M_PI * 220 * t) + 0.5 * std::sin(2 * M_PI * 1000 * t);
        const double right = std::sin(2 * M_PI * 330 * t) + 0.4 * std::sin(2 * M_PI * 3000 * t);
        audio.samples[2 * i] = static_cast<int16_t>(7000 * left);
        audio.samples[2 * i + 1] = static_cast<int16_t>(7000 * right);
    }
    return audio;
}

// The reference at another rate, through the same very-high-quality recipe.
std::vector<double> resampled(const std::vector<int16_t> &stereo, int from, int to)
{
    std::vector<float> in(stereo.begin(), stereo.end());
    std::vector<float> out(static_cast<std::size_t>(std::ceil(in.size() / 2.0 * to / from)) * 2 + 2);
    std::size_t done = 0;
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    EXPECT_EQ(soxr_oneshot(from, to, 2, in.data(), in.size() / 2, nullptr, out.data(), out.size() / 2, &done,
                           nullptr, &quality, nullptr), nullptr);
    out.resize(done * 2);
    return {out.begin(), out.end()};
}

double correlation(const std::vector<double> &a, const std::vector<int16_t> &b)
{
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        ab += a[i] * b[i];
        aa += a[i] * a[i];
        bb += static_cast<double>(b[i]) * b[i];
    }
    return ab / std::sqrt(aa * bb);
}

TEST(CliCodecs, Mp3AndOpusRoundTripsKeepLengthRateAndContent)
{
    // One codec frame: 1152 samples for MP3, 20 ms (960 at 48 kHz) for Opus.
    struct Case {
        const char *extension;
        int rate;
        int expected_rate;
        int frame;
    };
    for (const Case c : {Case{"mp3", 44100, 44100, 1152}, Case{"mp3", 22050, 22050, 1152},
                         Case{"opus", 44100, 48000, 960}, Case{"opus", 22050, 48000, 960}}) {
        SCOPED_TRACE(std::string(c.extension) + " " + std::to_string(c.rate));
        ScratchDir dir;
        const Audio input = tones(2 * c.rate, c.rate);
        write_audio(dir.file("in.wav"), input, wav16);
        const std::string encoded = dir.file(std::string("out.") + c.extension);

        const RunResult run = run_korva({"process", dir.file("in.wav"), encoded, "--set", "superbass=120"});
        ASSERT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(run.out.find("resampled") != std::string::npos, c.expected_rate != c.rate) << run.out;

        const Audio decoded = read_audio(encoded);
        EXPECT_EQ(decoded.rate, c.expected_rate);
        const double expected_frames = static_cast<double>(input.frames()) * c.expected_rate / c.rate;
        EXPECT_LE(std::abs(static_cast<double>(decoded.frames()) - expected_frames), c.frame);

        std::vector<int16_t> reference = process_directly(params_with({"superbass=120"}), c.rate, input.samples);
        const std::vector<double> at_rate = c.expected_rate == c.rate
            ? std::vector<double>(reference.begin(), reference.end())
            : resampled(reference, c.rate, c.expected_rate);
        EXPECT_GT(correlation(at_rate, decoded.samples), 0.99);

        // Read back as input, the encoded file gives what libsndfile decodes.
        const RunResult back = run_korva({"process", encoded, dir.file("back.wav"), "-q", "--set", "enable_global=0"});
        ASSERT_EQ(back.exit_code, 0) << back.err;
        const Audio again = read_audio(dir.file("back.wav"));
        EXPECT_EQ(again.rate, decoded.rate);
        EXPECT_EQ(again.frames(), decoded.frames());
    }
}

TEST(CliCodecs, QualityChangesTheEncodingWithinItsRange)
{
    ScratchDir dir;
    write_audio(dir.file("in.wav"), make_signal(44100, 2, 44100), wav16);
    for (const char *extension : {"mp3", "opus", "ogg"}) {
        SCOPED_TRACE(extension);
        const std::string low = dir.file(std::string("low.") + extension);
        const std::string high = dir.file(std::string("high.") + extension);
        ASSERT_EQ(run_korva({"process", dir.file("in.wav"), low, "-q", "--quality", "1"}).exit_code, 0);
        ASSERT_EQ(run_korva({"process", dir.file("in.wav"), high, "-q", "--quality", "9"}).exit_code, 0);
        EXPECT_GT(std::filesystem::file_size(high), 2 * std::filesystem::file_size(low));
    }
    for (const char *bad : {"-1", "10.5", "loud", "nan", "NaN", "-nan", "inf", "5x"}) {
        for (const char *out : {"x.mp3", "x.ogg"}) {
            const RunResult run = run_korva({"process", dir.file("in.wav"), dir.file(out), "--quality", bad});
            EXPECT_EQ(run.exit_code, 2) << bad << " " << out << run.err;
        }
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"high.mp3", "high.ogg", "high.opus", "in.wav", "low.mp3",
                                                       "low.ogg", "low.opus"}));
}

void write_tagged(const std::string &path, const std::vector<std::pair<int, std::string>> &tags)
{
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE *file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    for (const auto &[id, text] : tags)
        sf_set_string(file, id, text.c_str());
    const Audio audio = make_signal(4410, 2, 44100);
    sf_writef_short(file, audio.samples.data(), audio.frames());
    sf_close(file);
}

std::string tag_of(const std::string &path, int id)
{
    SF_INFO info{};
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << path;
    const char *text = file != nullptr ? sf_get_string(file, id) : nullptr;
    std::string value = text != nullptr ? text : "";
    sf_close(file);
    return value;
}

TEST(CliCodecs, TagsAreCopiedWhereTheFormatHoldsThemAndTheSummarySaysWhich)
{
    ScratchDir dir;
    const std::vector<std::pair<int, std::string>> tags{
        {SF_STR_TITLE, "Sähkö"},       {SF_STR_ARTIST, "東京 Band"}, {SF_STR_ALBUM, "Kaikki"},
        {SF_STR_TRACKNUMBER, "7"},     {SF_STR_DATE, "2021"},      {SF_STR_GENRE, "Jazz"},
        {SF_STR_COMMENT, "live take"}};
    write_tagged(dir.file("in.flac"), tags);

    struct Case {
        const char *name;
        std::vector<int> kept;
        const char *summary;
    };
    const std::vector<int> all{SF_STR_TITLE, SF_STR_ARTIST, SF_STR_ALBUM, SF_STR_TRACKNUMBER,
                               SF_STR_DATE,  SF_STR_GENRE,  SF_STR_COMMENT};
    const std::vector<Case> cases{
        {"out.wav", all, "comment kept\n"},
        {"out.opus", all, "comment kept\n"},
        {"out.aiff", {SF_STR_TITLE, SF_STR_ARTIST, SF_STR_COMMENT},
         "title, artist, comment kept; album, track number, date, genre not kept (the format cannot hold it)"},
        {"out.au", {}, "not kept (the format cannot hold it)"},
        {"out.mp3", {SF_STR_TITLE, SF_STR_ALBUM, SF_STR_TRACKNUMBER, SF_STR_DATE, SF_STR_GENRE, SF_STR_COMMENT},
         "artist not kept (MP3 tags hold only Latin-1 characters)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult run = run_korva({"process", dir.file("in.flac"), dir.file(c.name)});
        ASSERT_EQ(run.exit_code, 0) << run.err;
        EXPECT_NE(run.out.find(c.summary), std::string::npos) << run.out;
        if (std::string(c.name) == "out.mp3")
            continue;   // stored as Latin-1: checked below through a second run
        for (const auto &[id, text] : tags) {
            const bool kept = std::find(c.kept.begin(), c.kept.end(), id) != c.kept.end();
            EXPECT_EQ(tag_of(dir.file(c.name), id), kept ? text : "") << id;
        }
    }

    // The MP3's Latin-1 text comes back as the same UTF-8.
    ASSERT_EQ(run_korva({"process", dir.file("out.mp3"), dir.file("back.flac"), "-q"}).exit_code, 0);
    EXPECT_EQ(tag_of(dir.file("back.flac"), SF_STR_TITLE), "Sähkö");
    EXPECT_EQ(tag_of(dir.file("back.flac"), SF_STR_GENRE), "Jazz");
    EXPECT_EQ(tag_of(dir.file("back.flac"), SF_STR_ARTIST), "");
}

// Text longer than a format keeps is shortened to the format's limit, at a
// character boundary, and the other tags stay; the summary says which.
TEST(CliCodecs, LongTagsAreShortenedToWhatTheFormatKeepsAndTheSummarySaysSo)
{
    ScratchDir dir;
    std::string title = "x";
    while (title.size() < 1200000)
        title += "ä";   // two bytes: a limit can fall inside one
    write_tagged(dir.file("in.flac"), {{SF_STR_TITLE, title}, {SF_STR_ARTIST, "Band"}, {SF_STR_COMMENT, title}});

    const std::vector<std::pair<const char *, std::size_t>> cases{
        {"out.wav", 2000},  {"out.aiff", 8000},    {"out.caf", 2048},
        {"out.opus", 8192}, {"out.flac", 1 << 20}, {"out.ogg", 1 << 20}};
    for (const auto &[name, limit] : cases) {
        SCOPED_TRACE(name);
        const RunResult run = run_korva({"process", dir.file("in.flac"), dir.file(name)});
        ASSERT_EQ(run.exit_code, 0) << run.err;
        // Every limit is even: the byte at limit - 1 starts an "ä".
        EXPECT_EQ(tag_of(dir.file(name), SF_STR_TITLE), title.substr(0, limit - 1));
        EXPECT_EQ(tag_of(dir.file(name), SF_STR_ARTIST), "Band");
        EXPECT_NE(run.out.find("artist kept; title, comment shortened to " + std::to_string(limit) + " bytes"),
                  std::string::npos) << run.out;
    }
}

// Tags under keys libsndfile never shows (other tools write a comment as a
// FLAC DESCRIPTION or an MP3 TXXX:comment) are named in the summary, not
// lost without a word.
TEST(CliCodecs, TagsKorvaCannotCarryAreNamedInTheSummary)
{
    ScratchDir dir;
    write_tagged(dir.file("in.flac"), {{SF_STR_TITLE, "Song"}});
    {
        TagLib::FileRef file(dir.file("in.flac").c_str());
        ASSERT_FALSE(file.isNull());
        TagLib::PropertyMap properties = file.file()->properties();
        properties.insert("DESCRIPTION", TagLib::StringList("a note"));
        properties.insert("ALBUMARTIST", TagLib::StringList("Various"));
        file.file()->setProperties(properties);
        ASSERT_TRUE(file.save());
    }
    const RunResult flac = run_korva({"process", dir.file("in.flac"), dir.file("out.mp3")});
    ASSERT_EQ(flac.exit_code, 0) << flac.err;
    EXPECT_NE(flac.out.find("tags:        title kept; albumartist, description not kept (korva carries only title, "
                            "artist, album, track number, date, genre and comment)\n"),
              std::string::npos) << flac.out;

    {
        TagLib::MPEG::File file(dir.file("out.mp3").c_str());
        auto *frame = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF8);
        frame->setDescription("comment");
        frame->setText("a note");
        file.ID3v2Tag(true)->addFrame(frame);
        ASSERT_TRUE(file.save());
    }
    const RunResult mp3 = run_korva({"process", dir.file("out.mp3"), dir.file("back.flac")});
    ASSERT_EQ(mp3.exit_code, 0) << mp3.err;
    EXPECT_NE(mp3.out.find("title kept; comment not kept (stored under a key korva cannot read)\n"), std::string::npos)
        << mp3.out;
}

} // namespace
