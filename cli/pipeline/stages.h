// The stages of block_pipeline.h, each made for one run. A stage that can
// fail names `what` (the output, or the input measured) in its message.
#ifndef KORVA_CLI_PIPELINE_STAGES_H
#define KORVA_CLI_PIPELINE_STAGES_H

#include "block_pipeline.h"

#include "cli/audio/audio_output.h"
#include "cli/audio/stereo_input.h"
#include "engine/korva.h"

#include <cstdint>
#include <span>
#include <string>

// The input as 16-bit stereo, or as floats for the float path.
Source stereo_reader(AudioInput &input, bool as_float);

// The engine's 16-bit entry in place, the rate stored before every block as
// the player does: the same bytes as the plug-in.
Stage chain16_stage(KorvaEngine *engine, int rate);

// The engine's float path, which works in the 16-bit scale: x * 32768 in and
// y / 32768 out, powers of two and so exact. `rate` is stored before every
// block, rounded to whole hertz.
Stage chain_float_stage(KorvaEngine *engine, double rate);

// From `from` to `to` hertz through libsoxr (resample/resampler.h); takes
// 16-bit or float blocks, gives floats. `passband_end` as start_resampler's.
Status resample_stage(double from, double to, bool float_input, double passband_end, const std::string &what,
                      Stage &stage);

// At most as many frames as `input_frames` (the source's count so far): the
// one or two frames a resampler's rounding adds at the end are dropped, and
// at the drain silence makes up a shortfall.
Stage trim_stage(const int64_t &input_frames);

// Times `gain`: 16-bit samples rounded and clipped to +-32767 (counted in
// `clipped`), floats as they come.
Stage gain_stage(float gain, int64_t &clipped);

// 16-bit samples by gain: s = clip(round(s * gain)), returning how many clipped.
int64_t apply_gain(std::span<int16_t> stereo, float gain);

// Writes 16-bit blocks as they are, float blocks clipped to full scale (the
// exact path's resampled output).
Stage writer_stage(AudioOutput &output);

// Writes float blocks at the output's depth, counting in `clipped` the
// samples that did not fit (write_stereo_at_depth).
Stage depth_writer_stage(AudioOutput &output, int64_t &clipped);

#endif
