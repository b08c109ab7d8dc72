/*
 * Decoded input: the files to play, read one after the other by the
 * project's one audio reader (audio/audio_input.h: libsndfile, and MPEG
 * audio through libmpg123) as signed 16-bit samples, and spread onto the
 * player's channel count. Floating-point files and MPEG audio are rounded to
 * 16 bits as engine/samples.h says (x * 32768, to nearest, clipped).
 */
#ifndef KORVA_KORVA_HOST_AUDIO_SOURCE_H
#define KORVA_KORVA_HOST_AUDIO_SOURCE_H

#include "audio/audio_input.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AudioSource {
    std::vector<std::string> paths;
    int rate = 0;                  // shared by every file
    int channels = 0;              // channels handed to the player
    int64_t total_frames = 0;      // all files together; -1 when a file's length is known only at its end
    size_t current = 0;            // index of the open file
    std::unique_ptr<AudioInput> file;   // the open file; null after the last
    std::vector<int16_t> scratch;  // one block of the file's own frames
};

// Opens every file once to check it and to learn the rate and length; keeps
// the first open. Fails (message in error) when a file cannot be read, has no
// frames' worth of format information, or its rate differs from the first.
bool audio_source_open(AudioSource &source, const std::vector<std::string> &paths, int channels,
                       std::string &error);

// Reads up to frames frames into out (frames * channels samples), going on to
// the next file at the end of one. Output channel c takes the file's channel
// c modulo its channel count: mono is copied to both sides, extra channels
// repeat the first ones, and surplus file channels are dropped. Returns the
// number of frames read: fewer than asked only at the end of the last file
// or on a read error, which sets error.
int64_t audio_source_read(AudioSource &source, int16_t *out, int64_t frames, std::string &error);

// Back to the first frame of the first file.
bool audio_source_rewind(AudioSource &source, std::string &error);

void audio_source_close(AudioSource &source);

#endif
