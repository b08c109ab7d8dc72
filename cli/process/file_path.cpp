// A file's way through the chain (process_plan.h chooses it), as a choice
// of stages for the one block driver (cli/pipeline/block_pipeline.h):
//
//   exact:  read 16-bit -> levels, loudness -> engine's 16-bit entry -> gain
//           -> loudness, levels -> [resample to the output's rate] -> write
//   float:  read floats -> levels, loudness -> [resample down] -> engine's
//           float path -> [resample up] -> [trim to the input's frames]
//           -> gain -> levels, loudness -> write at the output's depth
//
// The exact path is the player plug-in's, block by block: the same bytes.
// When the float path's output is at the input's rate it has exactly the
// input's frames: the resamplers keep the audio aligned, and the one or two
// frames their rounding adds at the end are dropped.
#include "file_run.h"

#include "cli/pipeline/stages.h"
#include "resample/chain_rate.h"

namespace {

// Peaks and clip counts of what passes: measure() for 16-bit blocks, the
// full-scale peak for floats.
Stage levels_stage(Levels &levels)
{
    return {[&levels](Block &block) {
                if (block.is_float)
                    measure_peak(block.samples, levels);
                else
                    measure(block.pcm, levels);
                return success();
            },
            nullptr};
}

Status add_resampler(std::vector<Stage> &stages, double from, double to, bool float_input, double passband,
                     const std::string &what)
{
    Stage stage;
    if (Status status = resample_stage(from, to, float_input, passband, what, stage); !status.ok())
        return status;
    stages.push_back(std::move(stage));
    return success();
}

Status exact_stages(FileRun &run, std::vector<Stage> &stages)
{
    const int rate = run.input.info.samplerate;
    RunSummary &summary = run.summary;
    stages.push_back(chain16_stage(run.engine, rate));
    if (run.request.loudness.apply_gain)
        stages.push_back(gain_stage(run.request.loudness.gain, summary.loudness.clipped));
    stages.push_back(loudness_stage(run.meter_out));
    stages.push_back(levels_stage(summary.out));
    if (run.plan.output_rate != rate)
        if (Status status = add_resampler(stages, rate, run.plan.output_rate, false, 0.0, run.request.output_path);
            !status.ok())
            return status;
    stages.push_back(writer_stage(run.output));
    return success();
}

Status float_stages(FileRun &run, std::vector<Stage> &stages)
{
    const int rate = run.input.info.samplerate;
    const double chain_rate = run.plan.chain_rate;
    const std::string &what = run.request.output_path;
    RunSummary &summary = run.summary;
    if (chain_rate != rate)
        if (Status status = add_resampler(stages, rate, chain_rate, true, kChainPassbandEnd, what); !status.ok())
            return status;
    stages.push_back(chain_float_stage(run.engine, chain_rate));
    if (chain_rate != run.plan.output_rate)
        if (Status status = add_resampler(stages, chain_rate, run.plan.output_rate, true, kChainPassbandEnd, what);
            !status.ok())
            return status;
    if (run.plan.output_rate == rate)
        stages.push_back(trim_stage(summary.frames));
    if (run.request.loudness.apply_gain)
        stages.push_back(gain_stage(run.request.loudness.gain, summary.loudness.clipped));
    stages.push_back(levels_stage(summary.out));
    stages.push_back(loudness_stage(run.meter_out));
    stages.push_back(depth_writer_stage(run.output, summary.out.at_limit));
    return success();
}

} // namespace

Status run_file(FileRun &run)
{
    std::vector<Stage> stages{levels_stage(run.summary.in), loudness_stage(run.meter_in)};
    if (Status status = run.plan.float_path ? float_stages(run, stages) : exact_stages(run, stages); !status.ok())
        return status;
    const PipelineRun driver{run.request.output_path, [&run](int64_t frames) {
                                 progress_update(run.progress, frames);
                                 if (run.request.on_progress)
                                     run.request.on_progress(frames, run.known_frames);
                             }};
    return run_pipeline(stereo_reader(run.input, run.plan.float_path), stages, driver, run.summary.frames);
}
