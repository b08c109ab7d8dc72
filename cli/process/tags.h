// The text tags korva carries from an input file to its output: title,
// artist, album, track number, date, genre and comment, as libsndfile reads
// and writes them. Each output format keeps only the tags it can hold, and
// text longer than a format keeps is shortened (tag_limit).
#ifndef KORVA_CLI_TAGS_H
#define KORVA_CLI_TAGS_H

#include "audio/audio_tags.h"

#include <string>
#include <vector>

#include <sndfile.h>

struct TagDrop {
    std::string name;
    std::string reason;
};

struct TagReport {
    std::vector<std::string> kept;        // written whole
    std::vector<std::string> shortened;   // written, cut to the format's limit
    std::size_t limit = 0;                // that limit in bytes
    std::vector<TagDrop> dropped;
};

// The most bytes of text per tag `format` keeps.
std::size_t tag_limit(int format);

// Sets the tags `format` can hold on a file opened for writing, before any
// audio is written, and reports which were kept and why others were not.
TagReport write_tags(SNDFILE *file, int format, const TagValues &tags);

#endif
