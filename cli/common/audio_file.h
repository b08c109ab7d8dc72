// Audio files through libsndfile: reading any format it knows as 16-bit
// stereo frames, and writing 16-bit files in the format an output name's
// extension implies (formats.h). SNDFILE handles are owned by SndFile and
// closed with it.
//
// Floating-point files (32- and 64-bit float samples, in any container) are
// read as floats and rounded to 16 bits as float hosts do (engine/samples.h:
// x * 32768, to nearest, clipped); libsndfile's own float-to-integer path
// would give their values unscaled, i.e. silence.
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

// The sample rates korva accepts in an input: every rate real audio uses
// (8 kHz telephony to 768 kHz), and no rate whose conversion to an MP3 or
// Opus rate would ask the resampler for thousands of output frames per
// input frame.
inline constexpr int kLowestInputRate = 1000;
inline constexpr int kHighestInputRate = 768000;

struct AudioInput {
    SndFile file;
    SF_INFO info {};
    std::string path;
    bool float_samples = false;        // read as floats and rounded to 16 bits
    int64_t declared_frames = -1;      // the length the header states; -1 when it states none
    bool length_unknown = false;       // a seekable Ogg whose end libsndfile could not find: cut
    std::string read_error;            // why reading stopped before the end; empty when it did not
    int64_t repaired_samples = 0;      // float samples not a number, infinite or beyond +-16 (engine/samples.h)
    std::vector<int16_t> scratch;      // interleaved file frames before conversion to stereo
    std::vector<float> float_scratch;  // the same for floating-point files
};

// Where the encoder's bytes go: the replacement's descriptor, written by
// korva itself so that every failed write, flush or close is seen, whatever
// libsndfile makes of it (its MP3 writer reports full counts for failed
// writes and sf_close drops the failures of its last flush).
struct OutputIo {
    int fd = -1;
    int error = 0;   // errno of the first failed write or seek; 0 while all is well
};

struct AudioOutput {
    // Declared before `file`, so that it outlives it: closing the file still
    // writes and seeks through it.
    std::unique_ptr<OutputIo> io;   // null when libsndfile writes the descriptor itself (a pipe)
    SndFile file;
    std::string path;       // the name reported in messages
    OutputFormat format;
    std::vector<int> scratch;   // MP3 samples on their way to the encoder, or samples at the output's depth
    std::vector<float> float_scratch;   // clipped samples for a lossy encoder
};

// Opens `path` for reading. Only mono and stereo are accepted, and only
// rates from kLowestInputRate to kHighestInputRate. A file libsndfile cannot
// read gets a message naming it and the types korva reads.
Status open_input(const std::string &path, AudioInput &input);

// Reads up to stereo.size() / 2 frames as interleaved stereo (a mono file's
// samples go to both channels). Gives the number of frames read, 0 at the
// end. A file that cannot be read further (cut short, damaged) ends there:
// input.read_error says why.
Status read_stereo(AudioInput &input, std::span<int16_t> stereo, int64_t &frames_read);

// The same as floats at full scale 1.0, for the float path: an integer
// file's s / 2^(bits-1), exact up to 24 bits; a float file's values as they
// are (beyond full scale too), but for the damaged samples that
// engine/samples.h's input rule replaces (counted in repaired_samples).
Status read_stereo_float(AudioInput &input, std::span<float> stereo, int64_t &frames_read);

// After the last read, with `frames` read in all: empty when the input was
// read to the end its header states; otherwise what is missing, e.g.
// "the input ends early: 1000 of 44100 frames read".
std::string input_shortfall(const AudioInput &input, int64_t frames);

// Starts a stereo file in `format` on the open descriptor `fd`, which stays
// open after close_output; messages name `display_path`. A seekable
// descriptor is written through OutputIo; a pipe by libsndfile. The lossy
// encoders get the format's compression level.
Status open_output(int fd, const std::string &display_path, const OutputFormat &format, int sample_rate,
                   AudioOutput &output);

// Writes interleaved stereo frames; a short write, or an error libsndfile
// or the descriptor reports, is a failure.
Status write_stereo(AudioOutput &output, std::span<const int16_t> stereo);

// The same for float frames at full scale 1.0 (values beyond it are clipped).
Status write_stereo_float(AudioOutput &output, std::span<float> stereo);

// The float path's writer: float frames at full scale 1.0 written at the
// output's depth (output.format.samples), with `clipped` counting the
// samples that did not fit. For B-bit PCM
//   s = clip(round(x * 2^(B-1)), -2^(B-1), 2^(B-1) - 1)      (ties to even)
// float files take the values as they are (counting those not finite);
// lossy encoders get them clipped to +-1.
Status write_stereo_at_depth(AudioOutput &output, std::span<const float> stereo, int64_t &clipped);

// Finishes the file (encoders flush here) and reports a failed close.
Status close_output(AudioOutput &output);

#endif
