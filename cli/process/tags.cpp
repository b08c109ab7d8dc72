#include "tags.h"

#include <cstdint>
#include <optional>

namespace {

constexpr unsigned all_tags = (1u << kTextTags.size()) - 1;

// Which tags each container keeps through libsndfile 1.2, as written and read
// back: the RIFF INFO list (WAV, RF64), CAF's info chunk, Vorbis comments
// (FLAC, Ogg Vorbis, Opus) and ID3v2 (MP3) hold all seven; AIFF's text chunks
// hold title, artist and comment; AU and W64 hold none.
unsigned tags_held(int format)
{
    switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_RF64:
    case SF_FORMAT_CAF:
    case SF_FORMAT_FLAC:
    case SF_FORMAT_OGG:
    case SF_FORMAT_MPEG:
        return all_tags;
    case SF_FORMAT_AIFF:
        return 1u << 0 | 1u << 1 | 1u << 6;
    default:
        return 0;
    }
}

// Shortened to at most `limit` bytes without splitting a UTF-8 character.
std::string shortened_utf8(const std::string &text, std::size_t limit)
{
    std::size_t end = limit;
    while (end > 0 && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

// libsndfile hands MP3 tags to LAME, which stores them as ISO 8859-1 (ID3v1,
// and ID3v2 frames marked Latin-1): UTF-8 text must be converted first or
// players show it as mojibake. Nothing when the text is not valid UTF-8 or
// has a character beyond U+00FF.
std::optional<std::string> latin1_from_utf8(const std::string &text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<uint8_t>(text[i]);
        if (byte < 0x80) {
            out += static_cast<char>(byte);
        } else if ((byte == 0xC2 || byte == 0xC3) && i + 1 < text.size() &&
                   (static_cast<uint8_t>(text[i + 1]) & 0xC0) == 0x80) {
            out += static_cast<char>(((byte & 0x03) << 6) | (static_cast<uint8_t>(text[i + 1]) & 0x3F));
            ++i;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

} // namespace

// libsndfile 1.2 does not shorten text too long for a container: it drops
// the tag, and in WAV and Opus every other tag with it. The limits, found by
// writing and reading back, and the margin kept below each:
//   WAV, RF64: the INFO list keeps 2045 bytes a tag; 2000.
//   AIFF: its text chunks keep 8189 bytes; 8000.
//   CAF: the info chunk keeps about 16 KiB in all; 2048 a tag, for all seven.
//   Opus: the comment header keeps about 50 KB a tag and about 90 KB in
//         all; 8192 a tag.
// FLAC, Ogg Vorbis and MP3 keep seven tags of 1 MiB each; FLAC loses every
// tag past 16 MiB in all (its metadata block's size), so 1 MiB a tag.
std::size_t tag_limit(int format)
{
    switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_RF64:
        return 2000;
    case SF_FORMAT_AIFF:
        return 8000;
    case SF_FORMAT_CAF:
        return 2048;
    case SF_FORMAT_OGG:
        return (format & SF_FORMAT_SUBMASK) == SF_FORMAT_OPUS ? 8192 : 1 << 20;
    default:
        return 1 << 20;
    }
}

TagReport write_tags(SNDFILE *file, int format, const TagValues &tags)
{
    TagReport report;
    const unsigned held = tags_held(format);
    const bool mpeg = (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
    report.limit = tag_limit(format);
    for (std::size_t i = 0; i < kTextTags.size(); ++i) {
        if (tags[i].empty())
            continue;
        const std::string name = kTextTags[i].name;
        if ((held & (1u << i)) == 0) {
            report.dropped.push_back({name, "the format cannot hold it"});
            continue;
        }
        std::string text = tags[i];
        if (mpeg) {
            const std::optional<std::string> latin1 = latin1_from_utf8(text);
            if (!latin1) {
                report.dropped.push_back({name, "MP3 tags hold only Latin-1 characters"});
                continue;
            }
            text = *latin1;
        }
        const bool shorten = report.limit != 0 && text.size() > report.limit;
        if (shorten)
            text = shortened_utf8(text, report.limit);
        if (sf_set_string(file, kTextTags[i].id, text.c_str()) != SF_ERR_NO_ERROR)
            report.dropped.push_back({name, "the format refused it"});
        else
            (shorten ? report.shortened : report.kept).push_back(name);
    }
    return report;
}
