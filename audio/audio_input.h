// Audio files read whole, by one reader for every program here: any format
// libsndfile reads, and MPEG audio through libmpg123 (mp3_input.h), from a
// named file, a FIFO or standard input. Frames come at the file's own
// channel count; each caller maps channels its own way.
//
// Floating-point files (32- and 64-bit float samples, in any container) are
// read as floats; as 16-bit samples they are rounded as float hosts do
// (engine/samples.h: x * 32768, to nearest, clipped), because libsndfile's
// own float-to-integer path would give their values unscaled, i.e. silence.
// MPEG audio is decoded to floats and comes as 16 bits by the same rule.
#ifndef KORVA_AUDIO_AUDIO_INPUT_H
#define KORVA_AUDIO_AUDIO_INPUT_H

#include "audio_tags.h"
#include "mp3_input.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <sndfile.h>

struct SndFileCloser {
    void operator()(SNDFILE *file) const { sf_close(file); }
};
using SndFile = std::unique_ptr<SNDFILE, SndFileCloser>;

struct AudioInput {
    SndFile file;                      // the libsndfile reader; null for MPEG audio
    Mp3InputHandle mp3;                // the MPEG audio reader; null otherwise
    int mp3_fd = -1;                   // the descriptor mp3 reads, when the input opened it
    SF_INFO info {};                   // for MPEG audio: rate, channels, layer, frames as stated (or SF_COUNT_MAX)
    std::string path;
    bool float_samples = false;        // read as floats: float files and MPEG audio
    int64_t declared_frames = -1;      // the length the header states; -1 when it states none
    bool length_unknown = false;       // a seekable Ogg whose end libsndfile could not find: cut
    std::string read_error;            // why reading stopped before the end; empty when it did not
    int64_t repaired_samples = 0;      // float samples not a number, infinite or beyond +-16 (engine/samples.h)
    std::vector<float> float_scratch;  // file frames before conversion

    AudioInput() = default;
    AudioInput(const AudioInput &) = delete;
    AudioInput &operator=(const AudioInput &) = delete;
    ~AudioInput();
};

// Opens `path` ("-": standard input) for reading. MPEG audio is recognised
// by its content, a pipe's too. False with `error` naming the file and the
// reason when it cannot be read.
bool open_audio(const std::string &path, AudioInput &input, std::string &error);

// Reads up to out.size() / channels frames, interleaved at the file's
// channel count, and gives the number read: 0 at the end. A file that cannot
// be read further (cut short, damaged) ends there, and input.read_error
// says why.
int64_t read_frames(AudioInput &input, std::span<int16_t> out);

// The same as floats at full scale 1.0: an integer file's s / 2^(bits-1),
// exact up to 24 bits; a float file's values as they are (beyond full scale
// too), but for the damaged samples engine/samples.h's input rule replaces
// (counted in repaired_samples).
int64_t read_frames_float(AudioInput &input, std::span<float> out);

// After the last read, with `frames` read in all: empty when the input was
// read to the end its header states; otherwise what is missing, e.g.
// "the input ends early: 1000 of 44100 frames read".
std::string input_shortfall(const AudioInput &input, int64_t frames);

// The input's text tags.
TagValues read_tags(AudioInput &input);

#endif
