// One driver for every run of audio through the chain: blocks from a source
// through a list of stages, as SoX runs its effects. The driver owns the
// loop, interruption and progress; each mode of korva (a file's exact or
// float path, the loudness match's measuring pass, the response's sines) is
// a choice of stages:
//
//   source -> [resample down] -> chain (16-bit or float) -> [resample up]
//          -> [trim] -> [gain] -> meters -> [writer]
//
// Each stage changes a block in place (a resampler may give more or fewer
// frames than it took, and holds back a filter's length); after the source
// ends, each stage in turn drains what it holds through the stages after it.
#ifndef KORVA_CLI_PIPELINE_BLOCK_PIPELINE_H
#define KORVA_CLI_PIPELINE_BLOCK_PIPELINE_H

#include "cli/common/status.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Interleaved stereo: 16-bit samples, or floats at full scale 1.0.
struct Block {
    bool is_float = false;
    std::vector<int16_t> pcm;
    std::vector<float> samples;

    int64_t frames() const { return static_cast<int64_t>((is_float ? samples.size() : pcm.size()) / 2); }
    void clear() { pcm.clear(), samples.clear(); }
};

struct Stage {
    std::function<Status(Block &)> flow;    // the block, changed in place
    std::function<Status(Block &)> drain;   // after the last block: what the stage still holds; may be empty
};

// Fills the block with up to `frames` frames; 0 frames at the end.
using Source = std::function<Status(Block &, int64_t frames)>;

inline constexpr int64_t kBlockFrames = 4096;

struct PipelineRun {
    std::string what;                                     // names the run in the interruption message
    std::function<void(int64_t frames_read)> on_block;    // after each block: progress
};

// Runs the source to its end through the stages, then drains them. A signal
// stops it before the next block with interrupted_failure(what); the first
// failing stage stops it with its Status. Gives the frames the source gave.
Status run_pipeline(const Source &source, std::vector<Stage> &stages, const PipelineRun &run, int64_t &frames_read);

#endif
