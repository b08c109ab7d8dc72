// The text tags korva carries from an input to its output: title, artist,
// album, track number, date, genre and comment, named by libsndfile's
// SF_STR_* numbers, as UTF-8.
#ifndef KORVA_AUDIO_AUDIO_TAGS_H
#define KORVA_AUDIO_AUDIO_TAGS_H

#include <array>
#include <string>

#include <sndfile.h>

struct TextTag {
    int id;             // SF_STR_*
    const char *name;   // as the summary names it
};

inline constexpr std::array<TextTag, 7> kTextTags{{
    {SF_STR_TITLE, "title"},
    {SF_STR_ARTIST, "artist"},
    {SF_STR_ALBUM, "album"},
    {SF_STR_TRACKNUMBER, "track number"},
    {SF_STR_DATE, "date"},
    {SF_STR_GENRE, "genre"},
    {SF_STR_COMMENT, "comment"},
}};

// One value per kTextTags entry, UTF-8; empty when the input has none.
using TagValues = std::array<std::string, kTextTags.size()>;

// Text that is not valid UTF-8 taken as Latin-1 (an MP3's ID3v1 text is
// stored so), so that every value is UTF-8.
std::string utf8_text(const std::string &text);

#endif
