// Input files as korva process takes them: mono or stereo at the rates
// korva accepts, read as interleaved stereo (a mono file's samples go to
// both channels) through the one reader of audio/audio_input.h.
#ifndef KORVA_CLI_STEREO_INPUT_H
#define KORVA_CLI_STEREO_INPUT_H

#include "cli/common/status.h"

#include "audio/audio_input.h"

#include <cstdint>
#include <span>
#include <string>

// The sample rates korva accepts in an input: every rate real audio uses
// (8 kHz telephony to 768 kHz), and no rate whose conversion to an MP3 or
// Opus rate would ask the resampler for thousands of output frames per
// input frame.
inline constexpr int kLowestInputRate = 1000;
inline constexpr int kHighestInputRate = 768000;

// Opens `path` for reading. Only mono and stereo are accepted, and only
// rates from kLowestInputRate to kHighestInputRate. A file that cannot be
// read gets a message naming it and the types korva reads.
Status open_input(const std::string &path, AudioInput &input);

// Up to stereo.size() / 2 frames as interleaved stereo; 0 at the end. A file
// that cannot be read further (cut short, damaged) ends there:
// input.read_error says why.
Status read_stereo(AudioInput &input, std::span<int16_t> stereo, int64_t &frames_read);

// The same as floats at full scale 1.0 (audio/audio_input.h's read_frames_float).
Status read_stereo_float(AudioInput &input, std::span<float> stereo, int64_t &frames_read);

#endif
