// Writing stereo audio files through libsndfile in the format an output
// name's extension implies (audio/formats.h), on a descriptor that
// cli/common/atomic_output.h opened: 16-bit samples from the exact path,
// floats at the output's depth from the float path.
#ifndef KORVA_CLI_AUDIO_OUTPUT_H
#define KORVA_CLI_AUDIO_OUTPUT_H

#include "cli/common/status.h"

#include "audio/audio_input.h"
#include "audio/formats.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

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
