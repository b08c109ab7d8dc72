// The float path: the input read as floats, the chain at the plan's rate
// (float_chain.h), and the output written at its depth. When the output is
// at the input's rate it has exactly the input's frames: the resamplers
// keep the audio aligned, and the one or two frames their rounding adds at
// the end are dropped.
#include "file_run.h"

#include "cli/common/float_chain.h"
#include "cli/common/interrupt.h"

#include <algorithm>
#include <vector>

namespace {

// Gain, levels, loudness and the writer for output ready at the output's rate.
Status write_ready(FileRun &run, std::vector<float> &ready, int64_t &frames_written, int64_t frame_limit)
{
    if (frame_limit >= 0)
        ready.resize(static_cast<std::size_t>(2 * std::clamp<int64_t>(frame_limit - frames_written, 0,
                                                                       static_cast<int64_t>(ready.size() / 2))));
    if (run.request.loudness.apply_gain)
        for (float &x : ready)
            x *= run.request.loudness.gain;
    measure_peak(ready, run.summary.out);
    static_cast<void>(add_loudness(run.meter_out, std::span<const float>(ready)));
    frames_written += static_cast<int64_t>(ready.size() / 2);
    return write_stereo_at_depth(run.output, ready, run.summary.out.at_limit);
}

} // namespace

Status run_float_path(FileRun &run)
{
    const std::string &out_path = run.request.output_path;
    const int rate = run.input.info.samplerate;
    FloatChain chain;
    if (Status status = start_float_chain(chain, run.engine, rate, run.plan.chain_rate, run.plan.output_rate);
        !status.ok())
        return failure(out_path + ": " + status.message);

    std::vector<float> in_block(2 * kBlockFrames);
    std::vector<float> ready;
    int64_t frames_written = 0;
    RunSummary &summary = run.summary;
    const bool same_rate = run.plan.output_rate == rate;
    for (;;) {
        if (const int signal_number = interrupted_signal(); signal_number != 0)
            return interrupted(out_path, signal_number);
        int64_t frames = 0;
        if (Status status = read_stereo_float(run.input, in_block, frames); !status.ok())
            return status;
        if (frames == 0)
            break;
        const std::span<const float> in_samples(in_block.data(), static_cast<std::size_t>(2 * frames));
        measure_peak(in_samples, summary.in);
        static_cast<void>(add_loudness(run.meter_in, in_samples));
        summary.frames += frames;
        if (Status status = run_float_chain(chain, in_samples, ready); !status.ok())
            return failure(out_path + ": " + status.message);
        if (Status status = write_ready(run, ready, frames_written, same_rate ? summary.frames : -1); !status.ok())
            return status;
        progress_update(run.progress, summary.frames);
        if (run.request.on_progress)
            run.request.on_progress(summary.frames, run.known_frames);
    }

    if (Status status = finish_float_chain(chain, ready); !status.ok())
        return failure(out_path + ": " + status.message);
    if (Status status = write_ready(run, ready, frames_written, same_rate ? summary.frames : -1); !status.ok())
        return status;
    // Never fewer frames than the input's: silence makes up a shortfall.
    if (same_rate && frames_written < summary.frames) {
        ready.assign(static_cast<std::size_t>(2 * (summary.frames - frames_written)), 0.0f);
        return write_ready(run, ready, frames_written, summary.frames);
    }
    return success();
}
