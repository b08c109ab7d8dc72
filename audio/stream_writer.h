// Audio into a pipe or FIFO, which cannot seek back to a header written
// last. libsndfile streams AU, FLAC, Ogg and MPEG itself. WAV is written as
// streaming writers (sox, ffmpeg) write it: the header first, its RIFF and
// data sizes 0xFFFFFFFF ("to the end of the stream"), then the samples
// through libsndfile as raw little-endian PCM or float. AIFF, CAF, W64 and
// RF64 keep their lengths in a header that must be written last, so they
// cannot go into a pipe.
#ifndef KORVA_AUDIO_STREAM_WRITER_H
#define KORVA_AUDIO_STREAM_WRITER_H

#include <string>

#include <sndfile.h>

// Whether a file of libsndfile format `format` can be written into a pipe.
bool can_stream(int format);

// Starts writing `info` into the pipe or FIFO `fd`, which stays open after
// sf_close. Null with `error` set when the format cannot stream or the
// header cannot be written.
SNDFILE *open_stream_writer(int fd, SF_INFO &info, std::string &error);

#endif
