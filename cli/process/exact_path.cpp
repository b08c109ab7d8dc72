// The exact 16-bit path: the engine's 16-bit entry, block by block, as the
// player plug-in runs it, so its output is the same bytes.
#include "file_run.h"

#include "cli/common/interrupt.h"
#include "cli/common/resampler.h"

#include <vector>

Status run_exact_path(FileRun &run)
{
    const std::string &out_path = run.request.output_path;
    const int rate = run.input.info.samplerate;
    Resampler resampler;
    std::vector<float> converted;
    if (run.plan.output_rate != rate)
        if (Status status = start_resampler(rate, run.plan.output_rate, resampler); !status.ok())
            return failure(out_path + ": " + status.message);

    std::vector<int16_t> in_block(2 * kBlockFrames);
    std::vector<int16_t> out_block(2 * kBlockFrames);
    RunSummary &summary = run.summary;
    for (;;) {
        if (const int signal_number = interrupted_signal(); signal_number != 0)
            return interrupted(out_path, signal_number);
        int64_t frames = 0;
        if (Status status = read_stereo(run.input, in_block, frames); !status.ok())
            return status;
        if (frames == 0)
            break;
        const std::span<const int16_t> in_samples(in_block.data(), static_cast<std::size_t>(2 * frames));
        const std::span<int16_t> out_samples(out_block.data(), static_cast<std::size_t>(2 * frames));
        measure(in_samples, summary.in);

        // The rate is stored before every block, as the player does.
        run.engine->sample_rate = rate;
        korva_process(run.engine, in_samples.data(), out_samples.data(), static_cast<int32_t>(frames));
        if (run.request.loudness.apply_gain)
            summary.loudness.clipped += apply_gain(out_samples, run.request.loudness.gain);
        static_cast<void>(add_loudness(run.meter_in, in_samples));
        static_cast<void>(add_loudness(run.meter_out, out_samples));

        measure(out_samples, summary.out);
        Status written = success();
        if (resampler.handle) {
            written = resample(resampler, out_samples, converted);
            if (!written.ok())
                written = failure(out_path + ": " + written.message);
            else
                written = write_stereo_float(run.output, converted);
        } else {
            written = write_stereo(run.output, out_samples);
        }
        if (!written.ok())
            return written;
        summary.frames += frames;
        progress_update(run.progress, summary.frames);
        if (run.request.on_progress)
            run.request.on_progress(summary.frames, run.known_frames);
    }

    if (resampler.handle) {
        Status written = finish_resampler(resampler, converted);
        if (!written.ok())
            written = failure(out_path + ": " + written.message);
        else
            written = write_stereo_float(run.output, converted);
        if (!written.ok())
            return written;
    }
    return success();
}
