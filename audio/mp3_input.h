// MPEG audio (MP3, and layers I and II) decoded by libmpg123 itself, in
// gapless mode, and counted by decoding: every frame is read, however long
// the file, and the length a Xing, Info or VBRI header states is known
// apart, so that a file cut short is told from one without a header.
//
// The samples are mpg123's 32-bit floats at full scale 1.0; rounded to 16
// bits by engine/samples.h's rule (x * 32768, to nearest, clipped) they are
// the samples libsndfile gives for the same file.
#ifndef KORVA_AUDIO_MP3_INPUT_H
#define KORVA_AUDIO_MP3_INPUT_H

#include "audio_tags.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct Mp3Input;

struct Mp3InputDeleter {
    void operator()(Mp3Input *input) const;
};
using Mp3InputHandle = std::unique_ptr<Mp3Input, Mp3InputDeleter>;

struct Mp3Format {
    int rate = 0;
    int channels = 0;
    int layer = 3;
    int64_t stated_frames = -1;   // what a Xing, Info or VBRI header states, delay and padding removed; -1: none
};

// The bytes an ID3v2 tag at the head of a stream takes (header, body and
// footer), from the stream's first 10 bytes; 0 when it starts with none.
std::size_t id3v2_size(std::span<const unsigned char> head);

// True when 4 bytes are the header of a layer I, II or III frame, where MPEG
// audio starts (after an ID3v2 tag). No other format's magic starts so; AAC's
// ADTS headers, which look alike, are refused by their layer.
bool is_mpeg_frame_header(std::span<const unsigned char> bytes);

// Decodes the stream on `fd`, which stays open and is read from its current
// position; `prefix` holds bytes already read from it (a pipe's first bytes,
// taken to recognise it), given to the decoder first. `seekable`: the
// descriptor is a regular file, whose end the decoder may look at (an ID3v1
// tag there). Null with `error` set when it holds no MPEG audio.
Mp3InputHandle open_mp3(int fd, bool seekable, std::vector<unsigned char> prefix, Mp3Format &format,
                        std::string &error);

// Up to out.size() / channels frames, interleaved; 0 at the end. A stream
// that cannot be decoded further ends there with `error` set.
int64_t read_mp3(Mp3Input &input, std::span<float> out, std::string &error);

// The ID3 tags read so far (those at the start, and an ID3v1 tag at the end
// of a seekable file), as libsndfile maps them.
TagValues mp3_tags(Mp3Input &input);

#endif
