#include "process_file.h"

#include "cli/common/atomic_output.h"
#include "cli/common/audio_file.h"
#include "cli/common/engine_handle.h"
#include "cli/common/interrupt.h"
#include "cli/common/resampler.h"
#include "tag_keys.h"
#include "tags.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace {

// The format the output name implies. A device or FIFO (such as /dev/null)
// needs no extension: without a known one it gets WAV.
std::optional<OutputFormat> output_format(const std::string &path, double quality)
{
    if (std::optional<OutputFormat> format = output_format_for_name(path, quality))
        return format;
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode))
        return wav_format();
    return std::nullopt;
}

Status interrupted(const std::string &output_path, int signal_number)
{
    return failure(output_path + ": interrupted by " + strsignal(signal_number) + "; no output written",
                   128 + signal_number);
}

} // namespace

Status process_file(const ProcessRequest &request, RunSummary &summary)
{
    const std::string &out_path = request.output_path;
    const std::optional<OutputFormat> format = output_format(out_path, request.quality);
    if (!format && out_path == "-")
        return failure("the output cannot be standard output: name a file (or a FIFO ending in .au)", 2);
    if (!format)
        return failure(out_path + ": unknown output type; use one of " + known_extensions(), 2);
    if (Status status = check_distinct(request.input_path, out_path); !status.ok())
        return status;

    AudioInput input;
    if (Status status = open_input(request.input_path, input); !status.ok())
        return status;

    EngineHandle engine = make_engine();
    if (!engine)
        return failure("out of memory for the engine");
    engine->params = request.params;

    AtomicOutput target;
    if (Status status = begin_output(out_path, target); !status.ok())
        return status;
    const int rate = input.info.samplerate;
    const int out_rate = carried_rate(*format, rate);
    AudioOutput output;
    if (Status status = open_output(target.file.fd, out_path, *format, out_rate, output);
        !status.ok())
        return status;

    summary = RunSummary{};
    summary.input_path = request.input_path;
    summary.output_path = out_path;
    summary.sample_rate = rate;
    summary.output_rate = out_rate;
    summary.format = *format;
    summary.quality = request.quality;
    const TagValues tags = read_tags(input.file.get());
    summary.tags = write_tags(output.file.get(), format->sndfile_format(), tags);
    add_uncarried_tags(request.input_path, tags, summary.tags);

    Resampler resampler;
    std::vector<float> converted;
    if (out_rate != rate)
        if (Status status = start_resampler(rate, out_rate, resampler); !status.ok())
            return failure(out_path + ": " + status.message);

    summary.loudness.request = request.loudness;
    LoudnessMeter meter_in, meter_out;
    // A meter that cannot start (a rate it does not take) or fails later only
    // leaves the figures out of the summary, which says so; the output is
    // written all the same.
    if (request.loudness.measure)
        for (LoudnessMeter *meter : {&meter_in, &meter_out})
            static_cast<void>(start_loudness(input.info.samplerate, request.loudness.true_peak, *meter));

    std::vector<int16_t> in_block(2 * kBlockFrames);
    std::vector<int16_t> out_block(2 * kBlockFrames);
    // A pipe reports SF_COUNT_MAX frames: no bar for an unknown length.
    const int64_t known_frames = input.info.frames == SF_COUNT_MAX ? 0 : input.info.frames;
    Progress progress = progress_start(known_frames, request.quiet);
    const auto started = std::chrono::steady_clock::now();

    for (;;) {
        if (const int signal_number = interrupted_signal(); signal_number != 0) {
            progress_finish(progress);
            return interrupted(out_path, signal_number);
        }
        int64_t frames = 0;
        if (Status status = read_stereo(input, in_block, frames); !status.ok()) {
            progress_finish(progress);
            return status;
        }
        if (frames == 0)
            break;
        const std::span<const int16_t> in_samples(in_block.data(), static_cast<std::size_t>(2 * frames));
        const std::span<int16_t> out_samples(out_block.data(), static_cast<std::size_t>(2 * frames));
        measure(in_samples, summary.in);

        // The rate is stored before every block, as the player does.
        engine->sample_rate = input.info.samplerate;
        korva_process(engine.get(), in_samples.data(), out_samples.data(), static_cast<int32_t>(frames));
        if (request.loudness.apply_gain)
            summary.loudness.clipped += apply_gain(out_samples, request.loudness.gain);
        static_cast<void>(add_loudness(meter_in, in_samples));
        static_cast<void>(add_loudness(meter_out, out_samples));

        measure(out_samples, summary.out);
        Status written = success();
        if (resampler.handle) {
            written = resample(resampler, out_samples, converted);
            if (!written.ok())
                written = failure(out_path + ": " + written.message);
            else
                written = write_stereo_float(output, converted);
        } else {
            written = write_stereo(output, out_samples);
        }
        if (!written.ok()) {
            progress_finish(progress);
            return written;
        }
        summary.frames += frames;
        progress_update(progress, summary.frames);
        if (request.on_progress)
            request.on_progress(summary.frames, known_frames);
    }
    progress_finish(progress);

    if (resampler.handle) {
        Status written = finish_resampler(resampler, converted);
        if (!written.ok())
            written = failure(out_path + ": " + written.message);
        else
            written = write_stereo_float(output, converted);
        if (!written.ok())
            return written;
    }

    if (Status status = close_output(output); !status.ok())
        return status;
    if (const int signal_number = interrupted_signal(); signal_number != 0)
        return interrupted(out_path, signal_number);
    if (Status status = commit_output(target); !status.ok())
        return status;

    summary.shortfall = input_shortfall(input, summary.frames);
    summary.loudness.in = read_loudness(meter_in);
    summary.loudness.out = read_loudness(meter_out);
    summary.wall_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!request.quiet)
        std::fputs(format_summary(summary).c_str(), stdout);
    if (!summary.shortfall.empty())
        return failure(request.input_path + ": " + summary.shortfall + "; the output holds what was read",
                       kExitInputEndedEarly);
    return success();
}
