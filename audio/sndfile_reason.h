// libsndfile's words for a failure, kept only when they tell the user
// something about their file.
#ifndef KORVA_AUDIO_SNDFILE_REASON_H
#define KORVA_AUDIO_SNDFILE_REASON_H

#include <sndfile.h>

#include <string>

// The text of libsndfile's error on `file` (null: the last failed open), or
// `otherwise` when it has none worth showing: a codec's failure passed up as
// a bare -1 (for which sf_strerror prints "Not a valid error number" on
// standard output and answers "This is a bug in libsndfile"), a number its
// table lacks, and its "internal error" texts. `otherwise` says in the
// user's terms what failed.
std::string sndfile_reason(SNDFILE *file, const std::string &otherwise);

// The same for an error number sf_close returned.
std::string sndfile_reason(int error, const std::string &otherwise);

#endif
