// The text tags of an input that korva does not carry, found with TagLib,
// which reads every key a file holds, so that the summary can name them.
#ifndef KORVA_CLI_TAG_KEYS_H
#define KORVA_CLI_TAG_KEYS_H

#include "tags.h"

#include <string>

// Adds to report.dropped every tag of the input file at `path` that the
// output does not get:
//   - keys outside the seven of tags.h (a FLAC or Ogg DESCRIPTION,
//     ALBUMARTIST, REPLAYGAIN_*, ...), named as TagLib names them;
//   - one of the seven stored under a key libsndfile does not read (an MP3's
//     TXXX:comment), which `read` then lacks.
// Nothing for a file that is not a regular file (standard input, a FIFO:
// reading it twice would take its audio) or that TagLib cannot open.
void add_uncarried_tags(const std::string &path, const TagValues &read, TagReport &report);

#endif
