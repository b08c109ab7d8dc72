#include "process_options.h"

#include "cli/batch/batch_plan.h"
#include "cli/batch/batch_run.h"
#include "cli/common/interrupt.h"
#include "cli/params/param_options.h"
#include "cli/process/process_file.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

// --format takes an output extension with or without its dot.
std::string without_dot(const std::string &extension)
{
    return !extension.empty() && extension[0] == '.' ? extension.substr(1) : extension;
}

std::string extension_error(const std::string &extension)
{
    if (!output_format_for_name("x." + without_dot(extension)))
        return "unknown output type ." + without_dot(extension) + "; use one of " + known_extensions();
    return {};
}

// Option values that are numbers must be finite: NaN passes every range
// comparison, so it is refused here before CLI::Range sees it.
std::string finite_number(const std::string &text)
{
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(value))
        return "not a finite number: " + text;
    return {};
}

Status run_one(const ProcessOptions &options)
{
    if (options.paths.size() != 2)
        return failure("process: give IN and OUT, or --out-dir DIR and the inputs (run with --help for more)", 2);
    ProcessRequest request;
    request.input_path = options.paths[0];
    request.output_path = options.paths[1];
    request.quiet = options.quiet;
    request.quality = options.quality;
    request.bits = options.bits;
    request.native_rate = options.native_rate;
    PresetChoice preset;
    if (Status status = build_params(options.sources, request.params, &preset); !status.ok())
        return status;
    if (!options.quiet)
        std::fputs(preset_report_line(preset).c_str(), stdout);
    // The loudness figures cost time: measured only when shown or matched.
    request.loudness.true_peak = options.true_peak;
    request.loudness.match = options.match_loudness;
    request.loudness.measure = !options.quiet || options.match_loudness;
    if (options.match_loudness) {
        AudioInput input;
        ProcessPlan plan;
        if (Status status = open_and_plan(request, input, plan); !status.ok())
            return status;
        if (Status status = find_match_gain(request.input_path, request.params, plan.float_path, plan.chain_rate,
                                            request.loudness);
            !status.ok())
            return status;
    }
    RunSummary summary;
    return process_file(request, summary);
}

Status run_many(const ProcessOptions &options)
{
    BatchSettings settings;
    PresetChoice preset;
    if (Status status = build_params(options.sources, settings.params, &preset); !status.ok())
        return status;
    if (!options.quiet)
        std::fputs(preset_report_line(preset).c_str(), stdout);
    settings.quality = options.quality;
    settings.bits = options.bits;
    settings.native_rate = options.native_rate;
    settings.overwrite = options.overwrite;
    settings.quiet = options.quiet;
    settings.jobs = options.jobs > 0 ? options.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));

    BatchOptions plan_options{options.out_dir, options.paths, options.recursive, without_dot(options.format),
                              options.suffix};
    std::vector<BatchItem> items;
    if (Status status = plan_batch(plan_options, items); !status.ok())
        return status;
    if (items.empty())
        return failure("process: no audio files found in the inputs", 1);

    const std::vector<FileResult> results = run_batch(items, settings);
    if (!options.quiet)
        std::fputs(format_batch_table(items, results).c_str(), stdout);
    std::fflush(stdout);

    std::size_t failed = 0;
    std::size_t ended_early = 0;
    for (const FileResult &result : results) {
        if (result.state == FileState::failed || result.state == FileState::ended_early) {
            ++(result.state == FileState::failed ? failed : ended_early);
            std::fprintf(stderr, "korva: %s\n", result.message.c_str());
        } else if (result.state == FileState::kept && !options.quiet) {
            std::fprintf(stderr, "korva: %s\n", result.message.c_str());
        }
    }
    if (interrupted_signal() != 0)
        return interrupted_failure("", "the files in progress were not written");
    if (failed > 0)
        return failure(std::to_string(failed) + " of " + std::to_string(items.size()) + " files failed");
    if (ended_early > 0)
        return failure(std::to_string(ended_early) + " of " + std::to_string(items.size()) +
                       " inputs ended early; their outputs hold what was read", kExitInputEndedEarly);
    return success();
}

} // namespace

CLI::App *add_process_command(CLI::App &app, ProcessOptions &options)
{
    CLI::App *process = app.add_subcommand("process", "run audio files through the effect chain");
    process->add_option("FILES", options.paths,
                        "IN OUT: input audio file (WAV, FLAC, Ogg, Opus, MP3, AIFF, ...; - reads standard input) "
                        "and output file, whose extension chooses the format; with --out-dir: every input file or "
                        "directory")
        ->required();
    add_param_options(process, options.sources);
    process->add_option("--quality", options.quality,
                        "lossy outputs (.ogg, .opus, .mp3): 0 smallest file to 10 best sound")
        ->check(finite_number)
        ->check(CLI::Range(0.0, 10.0))
        ->capture_default_str();
    process->add_option("--bits", options.bits,
                        "output depth: 16, 24, 32 (integer), float or double (32- or 64-bit float; default: the "
                        "input's, where the output format holds it)")
        ->check(CLI::IsMember({"16", "24", "32", "float", "double"}))
        ->type_name("B");
    process->add_flag("--native-rate", options.native_rate,
                      "run the chain at the input's rate even above 48 kHz (by default it runs at the rate "
                      "halved until 48 kHz or below, and the output is brought back up)");
    process->add_flag("-q,--quiet", options.quiet, "print neither the summary nor progress");
    process->add_flag("--true-peak", options.true_peak, "add the true peak (dBTP) of input and output to the summary");
    process->add_flag("--match-loudness", options.match_loudness,
                      "scale the output to the input's integrated loudness (reads the input twice: a file, "
                      "not standard input)");

    CLI::Option *out_dir = process->add_option("--out-dir", options.out_dir,
                                               "process many files, writing the outputs under DIR")
                               ->type_name("DIR")
                               // An empty DIR (an unset variable) would turn the inputs into IN OUT.
                               ->check([](const std::string &dir) { return dir.empty() ? "DIR is empty" : ""; });
    process->add_flag("-r,--recursive", options.recursive,
                      "take the audio files in directories and their subdirectories, mirroring the tree under DIR")
        ->needs(out_dir);
    process->add_option("--format", options.format, "output type for every file, e.g. flac (default: the input's)")
        ->type_name("EXT")
        ->check(extension_error)
        ->needs(out_dir);
    process->add_option("--suffix", options.suffix, "added to each output's name before the extension")
        ->type_name("S")
        ->needs(out_dir);
    process->add_flag("--overwrite", options.overwrite, "replace outputs that exist (default: keep them)")
        ->needs(out_dir);
    out_dir->excludes("--true-peak")->excludes("--match-loudness");
    process->add_option("-j,--jobs", options.jobs, "files processed at once (default: the number of cores)")
        ->type_name("N")
        ->check(CLI::Range(1, kTemporarySlots - 1))
        ->needs(out_dir);

    process->footer(process->get_footer() + "\n\nOutput types: " + known_extensions() +
                    " (a device or FIFO without one of them gets WAV).\n\n"
                    "Exit status: 0 success, 1 a file failed, 2 usage error (a bad option or --set value, an "
                    "unknown output type, an output that is the input), 3 an input ended early (its output holds what "
                    "was read), 128+N stopped by signal N.");
    return process;
}

Status run_process(const ProcessOptions &options)
{
    return options.out_dir.empty() ? run_one(options) : run_many(options);
}
