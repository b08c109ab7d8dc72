#include "process_file.h"

#include "audio/stream_writer.h"
#include "cli/common/atomic_output.h"
#include "cli/audio/stereo_input.h"
#include "cli/audio/audio_output.h"
#include "engine/engine_handle.h"
#include "cli/common/interrupt.h"
#include "file_run.h"
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

} // namespace

Status open_and_plan(const ProcessRequest &request, AudioInput &input, ProcessPlan &plan)
{
    const std::string &out_path = request.output_path;
    const std::optional<OutputFormat> format = output_format(out_path, request.quality);
    if (!format && out_path == "-")
        return failure("the output cannot be standard output: name a file (or a FIFO ending in .au)", 2);
    if (!format)
        return failure(out_path + ": unknown output type; use one of " + known_extensions(), 2);
    if (Status status = check_distinct(request.input_path, out_path); !status.ok())
        return status;
    struct stat target {};
    if (stat(out_path.c_str(), &target) == 0 && (S_ISFIFO(target.st_mode) || S_ISSOCK(target.st_mode)) &&
        !can_stream(format->sndfile_format()))
        return failure(out_path + ": " + format->label + " keeps its length in a header written last, so it "
                       "cannot go into a FIFO; name it .wav, .au, .flac, .ogg, .opus or .mp3", 2);
    if (Status status = open_input(request.input_path, input); !status.ok())
        return status;
    return plan_process(input.info.format, input.info.samplerate, *format, request.bits, request.native_rate, plan);
}

Status process_file(const ProcessRequest &request, RunSummary &summary)
{
    const std::string &out_path = request.output_path;
    AudioInput input;
    ProcessPlan plan;
    if (Status status = open_and_plan(request, input, plan); !status.ok())
        return status;
    const int rate = input.info.samplerate;

    EngineHandle engine = make_engine();
    if (!engine)
        return failure("out of memory for the engine");
    engine->params = request.params;

    AtomicOutput target;
    if (Status status = begin_output(out_path, target); !status.ok())
        return status;
    AudioOutput output;
    if (Status status = open_output(target.file.fd, out_path, plan.format, plan.output_rate, output); !status.ok())
        return status;

    summary = RunSummary{};
    summary.input_path = request.input_path;
    summary.output_path = out_path;
    summary.sample_rate = rate;
    summary.float_path = plan.float_path;
    summary.chain_rate = plan.chain_rate;
    summary.output_rate = plan.output_rate;
    summary.format = plan.format;
    summary.quality = request.quality;
    const TagValues tags = read_tags(input);
    summary.tags = write_tags(output.file.get(), plan.format.sndfile_format(), tags);
    add_uncarried_tags(request.input_path, tags, summary.tags);

    summary.loudness.request = request.loudness;
    // A pipe reports SF_COUNT_MAX frames: no bar for an unknown length.
    const int64_t known_frames = input.info.frames == SF_COUNT_MAX ? 0 : input.info.frames;
    FileRun run{request, plan, input, output, engine.get(), summary, {}, {}, progress_start(known_frames, request.quiet),
                known_frames};
    // A meter that cannot start (a rate it does not take) or fails later only
    // leaves the figures out of the summary, which says so; the output is
    // written all the same.
    if (request.loudness.measure) {
        static_cast<void>(start_loudness(rate, request.loudness.true_peak, run.meter_in));
        static_cast<void>(start_loudness(plan.float_path ? plan.output_rate : rate, request.loudness.true_peak,
                                         run.meter_out));
    }
    const auto started = std::chrono::steady_clock::now();
    Status ran = run_file(run);
    progress_finish(run.progress);
    if (!ran.ok())
        return ran;

    if (Status status = close_output(output); !status.ok())
        return status;
    if (interrupted_signal() != 0)
        return interrupted_failure(out_path);
    if (Status status = commit_output(target); !status.ok())
        return status;

    summary.shortfall = input_shortfall(input, summary.frames);
    summary.repaired = input.repaired_samples;
    if (summary.repaired > 0)
        std::fprintf(stderr, "korva: warning: %s: %s\n", request.input_path.c_str(),
                     repaired_text(summary.repaired).c_str());
    summary.loudness.in = read_loudness(run.meter_in);
    summary.loudness.out = read_loudness(run.meter_out);
    summary.wall_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!request.quiet)
        std::fputs(format_summary(summary).c_str(), stdout);
    if (!summary.shortfall.empty())
        return failure(request.input_path + ": " + summary.shortfall + "; the output holds what was read",
                       kExitInputEndedEarly);
    return success();
}
