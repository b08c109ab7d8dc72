#include "tag_keys.h"

#include <taglib/fileref.h>
#include <taglib/tfile.h>
#include <taglib/tpropertymap.h>

#include <algorithm>
#include <cctype>
#include <sys/stat.h>

namespace {

// At most this many keys are named; the rest are counted.
constexpr std::size_t named_limit = 10;

// TagLib's names of the seven tags korva carries, in kTextTags' order.
constexpr std::array<const char *, kTextTags.size()> carried_keys{
    "TITLE", "ARTIST", "ALBUM", "TRACKNUMBER", "DATE", "GENRE", "COMMENT"};

// The software that wrote the file (libsndfile's Ogg ENCODER, an MP3's
// TSSE): the output's encoder names itself, so these are not counted.
bool names_the_encoder(const std::string &key)
{
    return key == "ENCODER" || key == "ENCODING";
}

constexpr const char *not_carried = "korva carries only title, artist, album, track number, date, genre and comment";

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

void add_uncarried_tags(const std::string &path, const TagValues &read, TagReport &report)
{
    struct stat status {};
    if (path == "-" || stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return;
    const TagLib::FileRef file(path.c_str(), false);
    if (file.isNull() || file.file() == nullptr)
        return;
    std::vector<std::string> other;
    std::vector<std::string> unread;
    for (const auto &[key, values] : file.file()->properties()) {
        if (values.isEmpty())
            continue;
        const std::string name = key.to8Bit(true);
        const auto carried = std::find(carried_keys.begin(), carried_keys.end(), name);
        if (carried == carried_keys.end()) {
            if (!names_the_encoder(name))
                other.push_back(lower(name));
        } else if (const auto index = static_cast<std::size_t>(carried - carried_keys.begin()); read[index].empty()) {
            unread.push_back(kTextTags[index].name);
        }
    }
    for (const std::string &name : unread)
        report.dropped.push_back({name, "stored under a key korva cannot read"});
    for (std::size_t i = 0; i < other.size() && i < named_limit; ++i)
        report.dropped.push_back({other[i], not_carried});
    if (other.size() > named_limit)
        report.dropped.push_back({std::to_string(other.size() - named_limit) + " more", not_carried});
}
