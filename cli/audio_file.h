// Audio files through libsndfile: reading any format it knows as 16-bit
// stereo frames, and writing 16-bit files in the format an output name's
// extension implies (formats.h). SNDFILE handles are owned by SndFile and
// closed with it.
#ifndef KORVA_CLI_AUDIO_FILE_H
#define KORVA_CLI_AUDIO_FILE_H

#include "formats.h"
#include "status.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <sndfile.h>

struct SndFileCloser {
    void operator()(SNDFILE *file) const { sf_close(file); }
};
using SndFile = std::unique_ptr<SNDFILE, SndFileCloser>;

struct AudioInput {
    SndFile file;
    SF_INFO info {};
    std::string path;
    std::vector<int16_t> scratch;   // interleaved file frames before conversion to stereo
};

struct AudioOutput {
    SndFile file;
    std::string path;       // the name reported in messages
    int format = 0;
    std::vector<int> scratch;   // MP3 samples on their way to the encoder
};

// Opens `path` for reading. Only mono and stereo are accepted; samples
// beyond full scale in floating-point files are clipped, not wrapped. A file
// libsndfile cannot read gets a message naming it and the types korva reads.
Status open_input(const std::string &path, AudioInput &input);

// Reads up to stereo.size() / 2 frames as interleaved stereo (a mono file's
// samples go to both channels). Gives the number of frames read, 0 at the
// end, or a failure naming the file.
Status read_stereo(AudioInput &input, std::span<int16_t> stereo, int64_t &frames_read);

// Starts a stereo file in `format` on the open descriptor `fd`, which stays
// open after close_output; messages name `display_path`. The lossy encoders
// get the compression level of `quality` (formats.h); the others ignore it.
Status open_output(int fd, const std::string &display_path, int format,
                   int sample_rate, AudioOutput &output, double quality = kDefaultQuality);

// Writes interleaved stereo frames; a short write is a failure.
Status write_stereo(AudioOutput &output, std::span<const int16_t> stereo);

// The same for float frames at full scale 1.0 (values beyond it are clipped).
Status write_stereo_float(AudioOutput &output, std::span<float> stereo);

// Finishes the file (encoders flush here) and reports a failed close.
Status close_output(AudioOutput &output);

#endif
